#include "task/settings.h"

#include <cmath>
#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

#include "common/binio.h"
#include "task/settings_fields.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

// The read error of a configuration file: the program's message, then the file and what
// is wrong with it.
bool IsReadErrorFor(const std::string& text, const std::string& path) {
  return text.rfind(std::string(kConfigurationReadError) + "\n" + path + ": ", 0) == 0;
}

TEST(SettingsRecordFile, DefaultsAtTheirOffsets) {
  SettingsRecord r;
  r.options[5] = 9;
  SetDefaultSettings(r);
  const auto b = EncodeSettings(r);
  ASSERT_EQ(b.size(), 124u);
  for (int p = 0; p < 64; ++p) EXPECT_EQ(b[p], (p == 11 || p == 14 || p == 24) ? 1 : 0) << p;
  EXPECT_EQ(GetLE<double>(b.data(), 64), 1e-6);
  EXPECT_EQ(GetLE<float>(b.data(), 72), 4.0f);
  EXPECT_EQ(GetLE<float>(b.data(), 76), 0.0f);
  EXPECT_EQ(GetLE<float>(b.data(), 80), 0.1f);
  EXPECT_EQ(GetLE<float>(b.data(), 84), 300.0f);
  EXPECT_EQ(GetLE<float>(b.data(), 92), 0.01f);
  EXPECT_EQ(GetLE<float>(b.data(), 100), 0.1f);
  EXPECT_EQ(GetLE<float>(b.data(), 104), 1500.0f);
  EXPECT_EQ(GetLE<std::int32_t>(b.data(), 116), 0);
  EXPECT_EQ(GetLE<std::int32_t>(b.data(), 120), 1);
}

TEST(SettingsRecordFile, EncodeDecodeRoundTrip) {
  SettingsRecord r;
  SetDefaultSettings(r);
  r.options[60] = 1;
  r.cutoff = 2.5e-8;
  r.impulseP = 7;
  r.impulseH = -12.5f;
  r.impulsePa = 0.05f;
  r.powderP = 250;
  r.powderU = -3;
  r.heatV = 0.002f;
  r.heatU = 4;
  r.ambientP = 0.09f;
  r.freezingT = 1800;
  r.highlightColor = 0x123456;
  r.highlightTextColor = -1;
  r.firstChooser = 4;
  r.secondChooser = 0;
  const auto b = EncodeSettings(r);
  const SettingsRecord d = DecodeSettings(b.data());
  EXPECT_EQ(EncodeSettings(d), b);
  EXPECT_EQ(d.options, r.options);
  EXPECT_EQ(d.freezingT, 1800.0f);
  EXPECT_EQ(d.highlightTextColor, -1);
}

class ConfigurationTest : public TaskTest {};

TEST_F(ConfigurationTest, MissingFileGivesDefaultsSilently) {
  session.task.comment = "old";
  session.task.components[1].formula = "H2";
  ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                session.view);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(Path("kvil.cfg")));
  const SettingsRecord& r = session.settings.record;
  EXPECT_EQ(r.options[kOptSound], 1);
  EXPECT_EQ(r.impulseP, 4.0f);
  EXPECT_EQ(session.settings.cutoff, 1e-6);
  const Task& t = session.task;
  EXPECT_EQ(t.comment, "");
  EXPECT_EQ(t.components[1].formula, " ");
  EXPECT_EQ(t.firstCode, kParamP);
  EXPECT_EQ(t.secondCode, kParamT);
  EXPECT_EQ(t.expansionCode, kParamNone);
  EXPECT_EQ(t.unitCodes[8], 15);
  EXPECT_EQ(t.options[kOptEos], 1);
  EXPECT_EQ(t.slots[1].valueText, " ");
}

TEST_F(ConfigurationTest, ShortFileIsReplacedByTheDefaults) {
  WriteText("kvil.cfg", std::string(123, '\x7f'));
  ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                session.view);
  ASSERT_EQ(ui.messages.size(), 1u);
  // One message naming the file, what is wrong, and where the damaged file is kept.
  EXPECT_TRUE(IsReadErrorFor(ui.messages[0].text, Path("kvil.cfg"))) << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find("123 bytes"), std::string::npos) << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find(Path("kvil.cfg.damaged")), std::string::npos);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(ReadText("kvil.cfg.damaged"), std::string(123, '\x7f'));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(Path("kvil.cfg"), bytes));
  SettingsRecord defaults;
  SetDefaultSettings(defaults);
  const auto expected = EncodeSettings(defaults);
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(ConfigurationTest, SavedSettingsComeBack) {
  session.task.options[kOptIons] = 1;
  session.task.options[kOptEos] = 2;
  session.task.firstCode = kParamH;
  session.task.secondCode = kParamP;
  session.settings.record.powderP = 123;
  session.settings.record.cutoff = 1e-9;
  ASSERT_TRUE(WriteSettingsFile(session.task, session.settings, session.ui, "kvil.cfg"));
  const auto written = EncodeSettings(session.settings.record);

  RecordingInteraction ui2;
  NullTaskView view2;
  Session other(ui2, view2);
  other.settings.directory = dir.string();
  ResetTaskAndReadConfiguration(other.task, other.settings, other.grid, other.ui, other.view);
  EXPECT_TRUE(ui2.messages.empty());
  EXPECT_EQ(EncodeSettings(other.settings.record), written);
  EXPECT_EQ(other.task.options[kOptIons], 1);
  EXPECT_EQ(other.task.options[kOptEos], 2);
  EXPECT_EQ(other.task.firstCode, kParamH);
  EXPECT_EQ(other.task.secondCode, kParamP);
  EXPECT_EQ(other.settings.cutoff, 1e-9);
}

TEST_F(ConfigurationTest, TemplatesLoadAndDamagedTemplatesStay) {
  session.settings.record.heatV = 0.02f;
  session.task.options[kOptTemplateImpulse] = 1;
  session.task.options[kOptFixedCount] = 3;
  ASSERT_TRUE(WriteSettingsFile(session.task, session.settings, session.ui, "rocket.cfg"));
  ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                session.view);
  EXPECT_EQ(session.settings.record.heatV, 0.01f);

  session.settings.fileName = "rocket.cfg";
  session.task.fixedCount = 1;
  session.task.options[kOptFixedCount] = 1;
  ASSERT_TRUE(LoadSettingsFile(session.task, session.settings, session.ui, session.view));
  EXPECT_EQ(session.task.options[kOptFixedCount], 1);  // the task's own count stays
  EXPECT_EQ(session.settings.record.heatV, 0.02f);
  EXPECT_EQ(session.task.options[kOptTemplateImpulse], 1);

  // A missing template keeps the record; a damaged one gives the defaults and stays.
  session.settings.fileName = "missing.cfg";
  EXPECT_FALSE(LoadSettingsFile(session.task, session.settings, session.ui, session.view));
  EXPECT_EQ(session.settings.record.heatV, 0.02f);
  EXPECT_TRUE(ui.messages.empty());
  WriteText("damaged.cfg", "short");
  session.settings.fileName = "damaged.cfg";
  EXPECT_FALSE(LoadSettingsFile(session.task, session.settings, session.ui, session.view));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(IsReadErrorFor(ui.messages[0].text, Path("damaged.cfg"))) << ui.messages[0].text;
  EXPECT_EQ(session.settings.record.heatV, 0.01f);
  EXPECT_EQ(ReadText("damaged.cfg"), "short");
  EXPECT_FALSE(std::filesystem::exists(Path("damaged.cfg.damaged")));
}

TEST(SettingsFields, TheFieldsTakeWhatTheirQuantityAllows) {
  struct Case {
    SettingsField field;
    const char* text;
    SettingsCheck expected;
    double stored;  // the record's value afterwards
  };
  const Case cases[] = {
      {SettingsField::ImpulseP, "7,5", SettingsCheck::Ok, 7.5},
      {SettingsField::ImpulseP, "-1", SettingsCheck::NotPositive, 4},
      {SettingsField::ImpulseP, "abc", SettingsCheck::WrongNumber, 4},
      {SettingsField::ImpulseP, "1e39", SettingsCheck::WrongNumber, 4},  // beyond a float
      {SettingsField::ImpulseP, "1e400", SettingsCheck::WrongNumber, 4},
      {SettingsField::ImpulseH, "-250", SettingsCheck::Ok, -250},
      {SettingsField::ImpulsePa, "0", SettingsCheck::NotPositive, 0.1f},
      {SettingsField::PowderP, "0", SettingsCheck::NotPositive, 300},
      {SettingsField::PowderU, "0", SettingsCheck::Ok, 0},
      {SettingsField::HeatV, "-0.01", SettingsCheck::NotPositive, 0.01f},
      {SettingsField::HeatU, "-3", SettingsCheck::Ok, -3},
      {SettingsField::AmbientP, "0", SettingsCheck::NotPositive, 0.1f},
      {SettingsField::FreezingT, "1e-50", SettingsCheck::NotPositive, 1500},  // 0 as a float
      {SettingsField::FreezingT, "1800", SettingsCheck::Ok, 1800},
      {SettingsField::Cutoff, "0", SettingsCheck::Ok, 0},
      {SettingsField::Cutoff, "-1e-6", SettingsCheck::NotPositive, 1e-6},
      {SettingsField::Cutoff, "1e-300", SettingsCheck::Ok, 1e-300},
  };
  for (const Case& c : cases) {
    SettingsRecord r;
    SetDefaultSettings(r);
    RecordingInteraction ui;
    EXPECT_EQ(AcceptSettingsField(r, c.field, c.text, ui), c.expected) << c.text;
    EXPECT_EQ(SettingsFieldValue(r, c.field), c.stored) << c.text;
    if (c.expected == SettingsCheck::Ok) {
      EXPECT_TRUE(ui.messages.empty()) << c.text;
    } else {
      ASSERT_EQ(ui.messages.size(), 1u) << c.text;
      EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
      EXPECT_EQ(ui.messages[0].text, c.expected == SettingsCheck::WrongNumber
                                         ? std::string("Wrong number: ") + c.text
                                         : "This parameter must have the positive value.")
          << c.text;
    }
  }
}

TEST_F(ConfigurationTest, ARecordTheSettingsPageWouldRefuseIsAReadError) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    SettingsField field;
    double value;
  } bad[] = {{SettingsField::ImpulseP, nan}, {SettingsField::ImpulsePa, -0.1},
             {SettingsField::PowderP, inf},  {SettingsField::HeatV, 0},
             {SettingsField::HeatU, nan},    {SettingsField::AmbientP, nan},
             {SettingsField::AmbientP, -1},  {SettingsField::FreezingT, -inf},
             {SettingsField::Cutoff, nan},   {SettingsField::Cutoff, -1}};
  SettingsRecord defaults;
  SetDefaultSettings(defaults);
  const auto defaultBytes = EncodeSettings(defaults);
  for (const auto& b : bad) {
    SettingsRecord r;
    SetDefaultSettings(r);
    r.powderP = 123;
    SetSettingsFieldValue(r, b.field, b.value);
    EXPECT_FALSE(SettingsRecordValid(r));
    const auto bytes = EncodeSettings(r);
    const std::string text(bytes.begin(), bytes.end());

    // kvil.cfg: the defaults, and the file is rewritten with them; the damaged one is
    // kept beside it.
    WriteText("kvil.cfg", text);
    ui.Clear();
    ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                  session.view);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(IsReadErrorFor(ui.messages[0].text, Path("kvil.cfg"))) << ui.messages[0].text;
    EXPECT_NE(ui.messages[0].text.find("settings page refuses"), std::string::npos);
    EXPECT_EQ(EncodeSettings(session.settings.record), defaultBytes);
    EXPECT_EQ(ReadText("kvil.cfg"), std::string(defaultBytes.begin(), defaultBytes.end()));
    EXPECT_EQ(ReadText("kvil.cfg.damaged"), text);

    // A template: the defaults; the file stays as it is.
    WriteText("bad.cfg", text);
    session.settings.fileName = "bad.cfg";
    session.settings.record.powderP = 7;
    ui.Clear();
    EXPECT_FALSE(LoadSettingsFile(session.task, session.settings, session.ui, session.view));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(IsReadErrorFor(ui.messages[0].text, Path("bad.cfg"))) << ui.messages[0].text;
    EXPECT_EQ(session.settings.record.powderP, 300.0f);
    EXPECT_EQ(ReadText("bad.cfg"), text);
  }
  // Negative energies and entries out of range are no damage.
  SettingsRecord r;
  SetDefaultSettings(r);
  r.impulseH = -1000;
  r.firstChooser = -1;
  EXPECT_TRUE(SettingsRecordValid(r));
}

TEST_F(ConfigurationTest, FailedWriteKeepsThePreviousFile) {
  ASSERT_TRUE(WriteSettingsFile(session.task, session.settings, session.ui, "kvil.cfg"));
  const std::string before = ReadText("kvil.cfg");
  std::filesystem::create_directory(Path("kvil.cfg.tmp~"));
  session.settings.record.powderP = 1;
  EXPECT_FALSE(WriteSettingsFile(session.task, session.settings, session.ui, "kvil.cfg"));
  EXPECT_EQ(ReadText("kvil.cfg"), before);
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(ConfigurationTest, ParameterChoosers) {
  ApplyParameterChoosers(session.task, session.ui, 6, 1);  // Template
  EXPECT_EQ(session.task.firstCode, kParamTemplate);
  EXPECT_EQ(session.task.secondCode, kParamNone);
  ApplyParameterChoosers(session.task, session.ui, 1, 1);  // T and T
  EXPECT_EQ(ui.Texts().back(), "Equilibrium must be specified by different parameters !");
  EXPECT_EQ(session.task.firstCode, kParamNone);
  EXPECT_EQ(session.task.secondCode, kParamT);
  ui.Clear();
  ApplyParameterChoosers(session.task, session.ui, 99, -5);  // damaged entries change nothing
  EXPECT_EQ(session.task.secondCode, kParamT);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace kvil

namespace kvil {
namespace {

// The detonation values follow the 124-byte record: a file without them is read with
// their defaults and written as before, one with them keeps them, a damaged extension
// is a read error; the density field takes lists, "gas" and refuses what is no density
// of an explosive.
TEST_F(ConfigurationTest, DetonationValuesFollowTheRecord) {
  // Untouched values: 124 bytes, as written before.
  ASSERT_TRUE(WriteSettingsFile(session.task, session.settings, session.ui, "kvil.cfg"));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(Path("kvil.cfg"), bytes));
  EXPECT_EQ(bytes.size(), 124u);

  SettingsRecord& r = session.settings.record;
  ASSERT_TRUE(AcceptDetonationDensities(r, "1 1,2 gas 1.8", ui));
  r.detonationP0 = 0.2f;
  r.detonationT0 = 300;
  session.task.options[kOptTemplateDetonation] = 1;
  ASSERT_TRUE(WriteSettingsFile(session.task, session.settings, session.ui, "kvil.cfg"));
  ASSERT_TRUE(ReadWholeFile(Path("kvil.cfg"), bytes));
  ASSERT_EQ(bytes.size(), 180u);
  EXPECT_EQ(std::string(bytes.begin() + 124, bytes.begin() + 128), "DET1");
  // The first record is what a reader of 124-byte records sees: unchanged layout.
  const auto head = EncodeSettings(r);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));

  RecordingInteraction ui2;
  NullTaskView view2;
  Session other(ui2, view2);
  other.settings.directory = dir.string();
  ResetTaskAndReadConfiguration(other.task, other.settings, other.grid, other.ui, other.view);
  EXPECT_TRUE(ui2.messages.empty());
  const SettingsRecord& o = other.settings.record;
  EXPECT_EQ(o.detonationCount, 4);
  EXPECT_EQ(o.detonationDensities[1], 1.2f);
  EXPECT_EQ(o.detonationDensities[2], 0.0f);
  EXPECT_EQ(o.detonationP0, 0.2f);
  EXPECT_EQ(o.detonationT0, 300.0f);
  EXPECT_EQ(DetonationDensitiesText(o), "1 1.2 gas 1.8");
  EXPECT_EQ(other.task.options[kOptTemplateDetonation], 1);

  // A 124-byte file of before gives the defaults of the detonation values.
  WriteText("kvil.cfg", std::string(bytes.begin(), bytes.begin() + 124));
  ResetTaskAndReadConfiguration(other.task, other.settings, other.grid, other.ui, other.view);
  EXPECT_EQ(other.settings.record.detonationCount, 1);
  EXPECT_EQ(other.settings.record.detonationDensities[0], 1.8f);

  // An extension with a density out of range is a damaged record.
  PutLE<float>(bytes.data(), 132, -1.0f);
  WriteText("kvil.cfg", std::string(bytes.begin(), bytes.end()));
  ResetTaskAndReadConfiguration(other.task, other.settings, other.grid, other.ui, other.view);
  ASSERT_FALSE(ui2.messages.empty());
  EXPECT_EQ(ui2.messages.back().text.rfind(" Configuration file read error ! ", 0), 0u);
  EXPECT_NE(ui2.messages.back().text.find("initial densities"), std::string::npos);
  EXPECT_EQ(other.settings.record.detonationCount, 1);

  // The field.
  SettingsRecord f;
  RecordingInteraction u;
  EXPECT_FALSE(AcceptDetonationDensities(f, "1.8 0", u));
  EXPECT_EQ(u.Texts().back(), "This parameter must have the positive value.");
  EXPECT_FALSE(AcceptDetonationDensities(f, "5.01", u));
  EXPECT_EQ(u.Texts().back(), "The initial density must not exceed 5 g/cm3.");
  EXPECT_FALSE(AcceptDetonationDensities(f, "1.8 dense", u));
  EXPECT_EQ(u.Texts().back(), "Wrong number: dense");
  EXPECT_FALSE(AcceptDetonationDensities(f, "   ", u));
  EXPECT_FALSE(AcceptDetonationDensities(f, "1 1 1 1 1 1 1 1 1 1 1", u));
  EXPECT_EQ(u.Texts().back(), "Give 1 to 10 initial densities.");
  EXPECT_EQ(f.detonationCount, 1);  // every refusal left the record as it was
  EXPECT_TRUE(AcceptDetonationDensities(f, "GAS 5", u));
  EXPECT_EQ(DetonationDensitiesText(f), "gas 5");
}

}  // namespace
}  // namespace kvil
