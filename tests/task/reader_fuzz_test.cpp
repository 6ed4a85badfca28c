// Damaged files, many of them: a seeded mutation run of the task datafile, the species
// list file and the configuration file, read together as Open reads them.  Whatever
// the bytes, reading must neither crash nor leave a task or settings the rest of the
// program cannot trust: lists within their limits, every number finite, a settings
// record that passes the checks of the settings page.  Bounded and deterministic (a
// fixed seed, a fixed number of rounds), so that it runs in every test run and under
// the sanitizers.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/binio.h"
#include "task/datafile.h"
#include "task/settings.h"
#include "task/settings_fields.h"
#include "task/species_list_file.h"
#include "task_fixture.h"

namespace kvil {
namespace {

// Bytes a mutation writes over a number: texts that are not numbers, and numbers
// beyond what the fields hold.
const char* const kNastyNumbers[] = {"1e400",
                                     "-1e400",
                                     "nan",
                                     "inf",
                                     "1e-400",
                                     "-0",
                                     "1e39",
                                     "3e38",
                                     "-1",
                                     "0",
                                     "1,5,7",
                                     "",
                                     "99999999999999999999",
                                     "0x10",
                                     "1e",
                                     "+"};
const char kNastyBytes[] = {' ', '\r', '\n', '\0', '-', '.', ',', 'e', '9', '*', '\x7f', '\xff'};

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  // A number in 0..n-1 (n > 0), the same on every platform.
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }

  std::string Text(std::string s) {
    const std::size_t rounds = 1 + Below(4);
    for (std::size_t r = 0; r < rounds; ++r) {
      const std::size_t at = s.empty() ? 0 : Below(s.size());
      switch (Below(7)) {
        case 0:  // one byte changed
          if (!s.empty()) s[at] = kNastyBytes[Below(sizeof kNastyBytes)];
          break;
        case 1: {  // a number replaced
          const std::size_t start = s.find_first_of("0123456789", at);
          if (start == std::string::npos) break;
          const std::size_t end = s.find_first_of(" \r\n", start);
          s.replace(start, (end == std::string::npos ? s.size() : end) - start,
                    kNastyNumbers[Below(std::size(kNastyNumbers))]);
          break;
        }
        case 2:  // a range cut out
          s.erase(at, Below(64));
          break;
        case 3:  // bytes inserted
          s.insert(at, std::string(1 + Below(3), kNastyBytes[Below(sizeof kNastyBytes)]));
          break;
        case 4: {  // a line repeated
          const std::size_t begin = s.rfind('\n', at);
          const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
          const std::size_t end = s.find('\n', at);
          s.insert(from, s.substr(from, (end == std::string::npos ? s.size() : end + 1) - from));
          break;
        }
        case 5: {  // a whole line replaced by a number
          const std::size_t begin = s.rfind('\n', at);
          const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
          const std::size_t end = s.find_first_of("\r\n", from);
          s.replace(from, (end == std::string::npos ? s.size() : end) - from,
                    kNastyNumbers[Below(std::size(kNastyNumbers))]);
          break;
        }
        default:  // cut short
          s.resize(at);
          break;
      }
    }
    return s;
  }

  std::vector<std::uint8_t> Binary(std::vector<std::uint8_t> b) {
    const std::size_t rounds = 1 + Below(3);
    for (std::size_t r = 0; r < rounds; ++r) {
      switch (Below(4)) {
        case 0:
          if (!b.empty()) b[Below(b.size())] = static_cast<std::uint8_t>(rng_());
          break;
        case 1: {  // a 32-bit field set to a value at the edge of the floats
          if (b.size() < 4) break;
          const float edges[] = {NAN, INFINITY, -INFINITY, -1.0f, 0.0f, FLT_MIN / 4, FLT_MAX};
          PutLE<float>(b.data(), Below(b.size() / 4) * 4, edges[Below(std::size(edges))]);
          break;
        }
        case 2:
          b.resize(Below(b.size() + 1));
          break;
        default:
          b.insert(b.begin() + Below(b.size() + 1), 1 + Below(8),
                   static_cast<std::uint8_t>(rng_()));
          break;
      }
    }
    return b;
  }

 private:
  std::mt19937 rng_;
};

class ReaderFuzz : public testing::TaskTest {
 protected:
  // What every read must leave, whatever it read.
  void ExpectTrustworthy(const std::string& what) {
    SCOPED_TRACE(what);
    const Task& t = session.task;
    EXPECT_TRUE(SettingsRecordValid(session.settings.record));
    EXPECT_EQ(session.settings.cutoff, session.settings.record.cutoff);
    EXPECT_GE(t.species.total, 0);
    EXPECT_LE(t.species.total, kMaxCandidateSpecies);
    EXPECT_GE(t.fixedCount, 0);
    EXPECT_LE(t.fixedCount, kMaxFixedConcentrations);
    EXPECT_EQ(t.options[kOptFixedCount], t.fixedCount);
    for (int f = 1; f <= t.fixedCount && f <= kMaxFixedConcentrations; ++f)
      EXPECT_TRUE(std::isfinite(t.fixed[f].value)) << f;
    EXPECT_LE(t.elementCount, kMaxSystemElements);
    for (int n = 1; n <= 3; ++n) {
      const ParameterSlot& s = t.slots[n];
      ASSERT_GE(s.count, 0);
      ASSERT_LE(s.count, kMaxListValues);
      for (int i = 1; i <= s.count; ++i) EXPECT_TRUE(std::isfinite(s.values[i])) << n;
      EXPECT_TRUE(std::isfinite(s.step)) << n;
    }
    for (int r = 1; r <= kMaxComponents; ++r) {
      const SourceComponent& c = t.components[r];
      for (float a : c.amounts) EXPECT_TRUE(std::isfinite(a)) << r;
      EXPECT_TRUE(std::isfinite(c.enthalpy)) << r;
      EXPECT_TRUE(std::isfinite(c.step)) << r;
    }
  }
};

TEST_F(ReaderFuzz, DamagedFilesNeverLeaveATaskOrSettingsThatCannotBeTrusted) {
  OpenTinyDatabase({{"H2O", 2, 1, 2, 8, 1},
                    {"H2", 2, 1, 2, 0, 0},
                    {"O2", 2, 8, 2, 0, 0},
                    {"CO2", 2, 6, 1, 8, 2},
                    {"C(gr)", 1, 6, 1, 0, 0},
                    {"N2", 2, 7, 2, 0, 0}});

  // Seeds: a task with lists, ranges, stepped components and fixed concentrations;
  // its species list; a settings record with every field set.
  std::string example;
  ASSERT_TRUE(ReadWholeFile(std::string(KVIL_SOURCE_DIR) + "/examples/propellant.dat", example));
  ASSERT_FALSE(example.empty());
  Task& t = session.task;
  t.firstCode = kParamP;
  t.slots[1].valueText = "1 100";
  t.slots[1].stepText = "10";
  t.secondCode = kParamT;
  t.slots[2].valueText = "3000 3500 4000";
  t.expansionCode = kParamPa;
  t.slots[3].valueText = "0.1 0.01";
  SetComponent(1, "H2", "10 20");
  t.components[1].stepText = "2,5";
  SetComponent(2, "O2", "80");
  SetComponent(3, "C", "0 5 10");
  t.components[1].enthalpy = -5.5f;
  t.comment = "ranges and steps";
  const std::string ranged = DatafileText(t);
  const std::string seeds[] = {example, ranged};
  std::vector<std::uint8_t> speciesList;
  for (int i = 0; i < 6; ++i) {
    const std::uint8_t entry[kSpeciesEntrySize] = {
        static_cast<std::uint8_t>(i == 4 ? 1 : 2), static_cast<std::uint8_t>(i), 0, 0, 0, 1};
    speciesList.insert(speciesList.end(), entry, entry + kSpeciesEntrySize);
  }
  SettingsRecord record;
  SetDefaultSettings(record);
  record.options[kOptTemplateImpulse] = 1;
  record.impulseH = -120;
  const auto encoded = EncodeSettings(record);
  const std::vector<std::uint8_t> settings(encoded.begin(), encoded.end());

  // The seeds themselves are read cleanly.
  WriteText("task.dat", ranged);
  ASSERT_TRUE(WriteFileAtomically(Path("task.tdf"), speciesList.data(), speciesList.size()));
  ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), settings.data(), settings.size()));
  ASSERT_EQ(ReadTaskFile(session, Path("task.dat")), ReadTaskResult::Ok);
  ExpectTrustworthy("seed");
  ASSERT_EQ(t.components[1].step, 2.5f);
  ASSERT_EQ(t.slots[2].count, 3);
  ASSERT_EQ(t.species.total, 6);
  ASSERT_EQ(session.settings.record.impulseH, -120.0f);

  constexpr int kRounds = 800;
  Mutator m(20261209);
  for (int round = 0; round < kRounds; ++round) {
    // Each round damages one, two or all three files.
    const std::size_t which = 1 + m.Below(7);
    const std::string& seed = seeds[round % 2];
    const std::string dat = which & 1 ? m.Text(seed) : seed;
    const auto tdf = which & 2 ? m.Binary(speciesList) : speciesList;
    const auto cfg = which & 4 ? m.Binary(settings) : settings;
    WriteText("task.dat", dat);
    ASSERT_TRUE(WriteFileAtomically(Path("task.tdf"), tdf.data(), tdf.size()));
    ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), cfg.data(), cfg.size()));
    ui.Clear();
    ReadTaskFile(session, Path("task.dat"));
    ExpectTrustworthy("round " + std::to_string(round));

    // A template opened on the settings page goes through the same checks.
    session.settings.fileName = "kvil.cfg";
    ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), cfg.data(), cfg.size()));
    LoadSettingsFile(session);
    ExpectTrustworthy("template, round " + std::to_string(round));

    std::vector<SpeciesEntry> entries;
    ASSERT_TRUE(ReadSpeciesListFile(Path("task.tdf"), entries));
    EXPECT_EQ(entries.size(), tdf.size() / kSpeciesEntrySize);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round << ", files damaged: " << which << "\n" << dat;
      break;
    }
  }
}

}  // namespace
}  // namespace kvil
