#include "core/file_commands.h"
#include "task/datafile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <sys/stat.h>

#include "common/numfmt.h"
#include "task/formula.h"
#include "task/species_list_file.h"
#include "task/value_lists.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

std::vector<std::string> Items(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> items;
  for (std::string s; in >> s;) items.push_back(s);
  return items;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class DatafileTest : public TaskTest {
 protected:
  // A task that uses every part of the datafile.
  void BuildRichTask() {
    Task& t = session.task;
    t.firstCode = kParamP;
    t.secondCode = kParamH;
    t.expansionCode = kParamPa;
    t.unitCodes[1] = 2;  // atm
    t.options[kOptIons] = 1;
    t.options[kOptThroat] = 1;
    t.options[40] = 7;  // carried without meaning
    ASSERT_TRUE(AcceptValueList(t, 1, "40 60 80", ui));
    ASSERT_TRUE(AcceptValueList(t, 2, "0", ui));
    ASSERT_TRUE(AcceptValueList(t, 3, "1 0.1", ui));
    t.slots[3].stepText = "-0.1";
    ASSERT_TRUE(ParseStep(t, t.slots[3].stepText, 3, ui));
    SetComponent(1, "NH4ClO4", "68 70", -2517);
    SetComponent(2, "Al", "18");
    SetComponent(3, "C7.075H10.65O0.223N0.063", "14", -300.5f);
    for (int r = 1; r <= 3; ++r) ASSERT_TRUE(ParseAmountList(t, r, ui));
    ASSERT_EQ(ComponentStepCell(t, 1, "1", ui), CellResult::Ok);
    ASSERT_TRUE(CheckVariants(t, ui));
    ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
    t.comment = "Composite propellant";
    OpenTinyDatabase(
        {{"H2O", 2, 1, 2, 8, 1}, {"Al2O3(c)", 1, 13, 2, 8, 3}, {"HCl", 2, 1, 1, 17, 1}});
    SetSpecies({"H2O", "Al2O3(c)", "HCl"}, {"", "0.5", "1e-3"});
    ASSERT_TRUE(ui.messages.empty()) << ui.Texts()[0];
  }
  // Species list and grid rows, all marked, with the given Fixed cells.
  void SetSpecies(const std::vector<std::string>& names, const std::vector<std::string>& fixed) {
    SpeciesList& list = session.task.species;
    session.grid.clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::uint8_t phase = names[i].find("(c)") != std::string::npos ? 1 : 2;
      list.items[i + 1].entry = {phase, static_cast<std::int32_t>(i), 1};
      list.items[i + 1].displayName = names[i];
      session.grid.push_back({"  " + std::to_string(i + 1), "  *", phase == 1 ? "  c" : "  g",
                              "  " + names[i], fixed[i]});
    }
    list.total = static_cast<int>(names.size());
    list.selected = list.total;
  }
};

TEST_F(DatafileTest, WrittenLayout) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("rich.dat")));
  const std::string text = ReadText("rich.dat");
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 68u + 4u);
  // Line 1: 135 items, each followed by a blank, one more blank at the end.
  EXPECT_EQ(Items(lines[0]).size(), 135u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "  ");
  EXPECT_EQ(lines[0].substr(0, 16), "2 3 5 7 9 11 13 ");
  EXPECT_NE(lines[0].find(" 1 5 7 "), std::string::npos);  // parameter codes
  EXPECT_NE(lines[0].find(" -2.51700000000000E+0003 "), std::string::npos);
  EXPECT_EQ(lines[1], "40 60 80 ");
  EXPECT_EQ(lines[3], "1 0.1 ");
  EXPECT_EQ(lines[6], "-0.1");
  EXPECT_EQ(lines[7], "NH4ClO4");
  EXPECT_EQ(lines[10], " ");
  EXPECT_EQ(lines[27], "68 70");
  EXPECT_EQ(lines[28], "1");
  EXPECT_EQ(lines[67], "Composite propellant");
  EXPECT_EQ(lines[68], "Al2O3(c)");
  EXPECT_EQ(lines[69], " 5.00000000000000E-0001");
  EXPECT_EQ(lines[70], "HCl");
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(session.task.options[kOptFixedCount], 2);

  std::vector<SpeciesEntry> entries;
  ASSERT_TRUE(ReadSpeciesListFile(Path("rich.tdf"), entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].record, 2);
  EXPECT_EQ(entries[1].phase, 1);
}

TEST_F(DatafileTest, RoundTripRestoresTheTaskAndRewritesIdentically) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("rich.dat")));
  const Task before = session.task;
  const std::string first = ReadText("rich.dat");

  ASSERT_EQ(ReadTaskFile(session, Path("rich.dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts()[0];
  const Task& t = session.task;
  EXPECT_EQ(t.name, "rich");
  EXPECT_EQ(t.options, before.options);
  EXPECT_EQ(t.firstCode, kParamP);
  EXPECT_EQ(t.secondCode, kParamH);
  EXPECT_EQ(t.expansionCode, kParamPa);
  EXPECT_EQ(t.unitCodes, before.unitCodes);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(t.slots[n].valueText, before.slots[n].valueText);
    EXPECT_EQ(t.slots[n].stepText, before.slots[n].stepText);
    EXPECT_EQ(t.slots[n].count, before.slots[n].count);
    EXPECT_EQ(t.slots[n].values, before.slots[n].values);
    EXPECT_FLOAT_EQ(t.slots[n].step, before.slots[n].step);
  }
  for (int r = 1; r <= kMaxComponents; ++r) {
    EXPECT_EQ(t.components[r].formula, before.components[r].formula);
    EXPECT_EQ(t.components[r].amountText, before.components[r].amountText);
    EXPECT_EQ(t.components[r].amounts, before.components[r].amounts);
    EXPECT_EQ(t.components[r].stepText, before.components[r].stepText);
    EXPECT_FLOAT_EQ(t.components[r].step, before.components[r].step);
    EXPECT_FLOAT_EQ(t.components[r].enthalpy, before.components[r].enthalpy);
  }
  EXPECT_EQ(t.comment, before.comment);
  ASSERT_EQ(t.fixedCount, 2);
  EXPECT_EQ(t.fixed[1].name, "Al2O3(c)");
  EXPECT_FLOAT_EQ(t.fixed[2].value, 1e-3f);
  EXPECT_EQ(t.elementCount, before.elementCount);
  for (int e = 1; e <= kMaxSystemElements; ++e) {
    EXPECT_EQ(t.elements[e].index, before.elements[e].index);
    EXPECT_FLOAT_EQ(t.elements[e].amount, before.elements[e].amount);
  }
  EXPECT_TRUE(t.variableComposition);
  EXPECT_TRUE(t.steppedComposition);
  EXPECT_FALSE(t.elementSetChanged);
  EXPECT_EQ(t.referenceElementCount, t.elementCount);
  // The species list comes back from the species list file, with the fixed values in
  // the grid.
  ASSERT_EQ(t.species.total, 3);
  EXPECT_EQ(t.species.items[2].displayName, "Al2O3(c)");
  EXPECT_FALSE(t.species.rescanDatabase);
  ASSERT_EQ(session.grid.size(), 3u);
  EXPECT_EQ(session.grid[1].fixed, "0.5");

  ASSERT_TRUE(WriteTaskFile(session, Path("rich.dat")));
  EXPECT_EQ(ReadText("rich.dat"), first);
}

TEST_F(DatafileTest, DefaultTaskLineOneHas135Items) {
  const std::string text = DatafileText(session.task);
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 68u);
  EXPECT_EQ(Items(lines[0]).size(), 135u);
  EXPECT_EQ(lines[1], "  ");  // the value text is a single blank
}

TEST_F(DatafileTest, LfOnlyAndOtherNotationsAreRead) {
  BuildRichTask();
  std::string text = DatafileText(session.task);
  std::string lf;
  for (char c : text)
    if (c != '\r') lf += c;
  // Line 1 with other float notations and tabs.
  auto nl = lf.find('\n');
  std::string line1 = lf.substr(0, nl);
  auto pos = line1.find(" -2.51700000000000E+0003");
  ASSERT_NE(pos, std::string::npos);
  line1.replace(pos, 24, "\t-2517.0");
  WriteText("lf.dat", "\xEF\xBB\xBF" + line1 + lf.substr(nl));  // with a UTF-8 mark
  ASSERT_EQ(ReadTaskFile(session, Path("lf.dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FLOAT_EQ(session.task.components[1].enthalpy, -2517);
  EXPECT_EQ(session.task.components[3].formula, "C7.075H10.65O0.223N0.063");
  EXPECT_EQ(session.task.comment, "Composite propellant");
}

TEST_F(DatafileTest, LineBreaksInsideTextsCannotShiftTheLines) {
  BuildRichTask();
  session.task.comment = "two\r\nlines";
  session.task.components[2].amountText = "18\n";
  ASSERT_TRUE(WriteTaskFile(session, Path("nl.dat")));
  EXPECT_EQ(Lines(ReadText("nl.dat")).size(), 68u + 4u);
  ASSERT_EQ(ReadTaskFile(session, Path("nl.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(session.task.comment, "two  lines");
  EXPECT_EQ(session.task.fixedCount, 2);
}

TEST_F(DatafileTest, EmptyFileGivesTheDefaults) {
  session.task.comment = "old";
  WriteText("new.dat", "");
  EXPECT_EQ(ReadTaskFile(session, Path("new.dat")), ReadTaskResult::Empty);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(session.task.comment, "");
  EXPECT_EQ(session.task.name, "new");
  EXPECT_EQ(session.task.firstCode, kParamP);
  EXPECT_EQ(session.task.secondCode, kParamT);
}

TEST_F(DatafileTest, MissingSpeciesListFileIsCreatedEmpty) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("t.dat")));
  std::filesystem::remove(Path("t.tdf"));
  ASSERT_EQ(ReadTaskFile(session, Path("t.dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(std::filesystem::exists(Path("t.tdf")));
  EXPECT_EQ(std::filesystem::file_size(Path("t.tdf")), 0u);
  EXPECT_EQ(session.task.species.total, 0);
}

TEST_F(DatafileTest, DamagedFilesGiveTheReadErrorAndTheDefaults) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("good.dat")));
  const std::string good = ReadText("good.dat");
  const auto line1End = good.find("\r\n");

  std::vector<std::pair<std::string, std::string>> cases = {
      {"truncated in line 1", good.substr(0, 300)},
      {"truncated after line 30", good.substr(0, good.find("68 70"))},
      {"missing fixed value", good.substr(0, good.rfind("HCl") + 5)},
      {"garbage in line 1", "abc" + good},
      {"bad number in line 1", good.substr(0, 2) + "x" + good.substr(3)},
      {"element index out of range",
       [&] {
         auto items = Items(good.substr(0, line1End));
         std::string l1;  // item 96 is the first element index
         for (std::size_t i = 0; i < items.size(); ++i) l1 += (i == 95 ? "200" : items[i]) + " ";
         return l1 + " " + good.substr(line1End);
       }()},
      {"six fixed values",
       [&] {
         auto items = Items(good.substr(0, line1End));
         std::string l1;
         for (std::size_t i = 0; i < items.size(); ++i) l1 += (i == 8 + 32 ? "6" : items[i]) + " ";
         std::string rest = good.substr(line1End);
         for (int i = 0; i < 4; ++i) rest += "X\r\n 1.0E+0000\r\n";
         return l1 + " " + rest;
       }()},
      {"binary", std::string("\0\1\2\3\r\n", 6)},
      // A 21st formula line shifts every amount by one line.
      {"21 formula lines",
       [&] {
         std::string text = good;
         std::size_t at = 0;
         for (int line = 1; line < 28; ++line) at = text.find("\r\n", at) + 2;
         return text.insert(at, "N2\r\n");
       }()},
      {"a blank 21st formula and a line after the end",
       [&] {
         std::string text = good;
         std::size_t at = 0;
         for (int line = 1; line < 28; ++line) at = text.find("\r\n", at) + 2;
         return text.insert(at, " \r\n") + "comment\r\n";
       }()},
  };
  for (const auto& [what, content] : cases) {
    SCOPED_TRACE(what);
    WriteText("bad.dat", content);
    ui.Clear();
    EXPECT_EQ(ReadTaskFile(session, Path("bad.dat")), ReadTaskResult::ReadError);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "    Datafile read error !    ");
    EXPECT_EQ(ui.messages.back().kind, MessageKind::Error);
    EXPECT_EQ(session.task.components[1].formula, " ");
    EXPECT_EQ(session.task.comment, "");
    EXPECT_EQ(session.task.fixedCount, 0);
  }
}

TEST_F(DatafileTest, WhatIsNotARegularFileIsAnUnreadableDatafile) {
  std::filesystem::create_directories(Path("dir.dat"));
  ASSERT_EQ(::mkfifo(Path("fifo.dat").c_str(), 0600), 0);  // would block an open
  for (const char* name : {"dir.dat", "fifo.dat"}) {
    ui.Clear();
    EXPECT_EQ(ReadTaskFile(session, Path(name)), ReadTaskResult::CannotOpen) << name;
    const std::string reason =
        name == std::string("dir.dat") ? "Is a directory" : "not a regular file";
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"    Datafile read error !    \n" +
                                                   Path(name) + ": " + reason});
    std::string content, why;
    EXPECT_FALSE(ReadWholeFile(Path(name), content, &why));
    EXPECT_EQ(why, reason);
  }
}

TEST_F(DatafileTest, RowsThatAreNoComponentsAndPositiveExpansionValuesOnReading) {
  // Rows that are no components keep their texts unread, silently: the run refuses
  // them with one message.  A zero expansion pressure is refused as a zero p is.
  SetComponent(1, "H2", "11.19");
  SetComponent(2, "CH4 O2", "5");
  SetComponent(3, "C0", "5");
  SetComponent(4, "N2", "-5");
  session.task.expansionCode = kParamPa;
  session.task.slots[3].valueText = "0";
  WriteText("rows.dat", DatafileText(session.task));
  ui.Clear();
  ASSERT_EQ(ReadTaskFile(session, Path("rows.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Given parameter must have positive value!"});
  const Task& t = session.task;
  EXPECT_EQ(t.components[2].formula, "CH4 O2");
  EXPECT_EQ(t.components[4].amountText, "-5");
  EXPECT_EQ(t.slots[3].count, 0);
  EXPECT_EQ(ComponentProblem(t, 1), "");
  EXPECT_NE(ComponentProblem(t, 2), "");
  EXPECT_NE(ComponentProblem(t, 3), "");
  EXPECT_NE(ComponentProblem(t, 4), "");
  // "CH4 O2" is not CH4O2
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
}

TEST_F(DatafileTest, TooManySpeciesInTheSpeciesListFile) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("big.dat")));
  WriteText("big.tdf", std::string(6 * 260, '\0'));
  EXPECT_EQ(ReadTaskFile(session, Path("big.dat")), ReadTaskResult::ReadError);
  EXPECT_TRUE(ui.Saw("    Datafile read error !    "));
}

TEST_F(DatafileTest, UnitCodesFollowTheUnitChoosers) {
  BuildRichTask();
  std::string text = DatafileText(session.task);
  text.replace(0, 4, "0 4 ");  // p: code 0 -> first unit; T: code 4 = second unit
  WriteText("u.dat", text);
  ASSERT_EQ(ReadTaskFile(session, Path("u.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(session.task.unitCodes[1], 1);
  EXPECT_EQ(session.task.unitCodes[2], 4);
}

TEST_F(DatafileTest, ParameterChoicesAreCheckedOnReading) {
  BuildRichTask();
  session.task.firstCode = kParamTemplate;  // template: no second, no adiabatic parameter
  WriteText("tpl.dat", DatafileText(session.task));
  ASSERT_EQ(ReadTaskFile(session, Path("tpl.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(session.task.secondCode, kParamNone);
  EXPECT_EQ(session.task.expansionCode, kParamNone);
  EXPECT_EQ(session.task.slots[2].count, 0);

  session.task.firstCode = kParamH;
  session.task.secondCode = kParamH;
  session.task.expansionCode = 5;  // not an adiabatic parameter
  WriteText("hh.dat", DatafileText(session.task));
  ASSERT_EQ(ReadTaskFile(session, Path("hh.dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(ui.Saw("Equilibrium must be specified by different parameters !"));
  EXPECT_EQ(session.task.firstCode, kParamNone);
  EXPECT_EQ(session.task.expansionCode, kParamNone);

  // Codes the choosers do not offer leave them empty, with no value list.
  session.task.firstCode = kParamAreaRatio;
  session.task.secondCode = kParamTemplate;
  WriteText("bad.dat", DatafileText(session.task));
  ASSERT_EQ(ReadTaskFile(session, Path("bad.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(session.task.firstCode, kParamNone);
  EXPECT_EQ(session.task.secondCode, kParamNone);
  EXPECT_EQ(session.task.slots[1].count, 0);
}

TEST_F(DatafileTest, FailedWriteKeepsThePreviousFiles) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("keep.dat")));
  const std::string before = ReadText("keep.dat");
  std::filesystem::create_directory(Path("keep.dat.tmp~"));  // the temporary cannot be made
  session.task.comment = "changed";
  EXPECT_FALSE(WriteTaskFile(session, Path("keep.dat")));
  EXPECT_EQ(ReadText("keep.dat"), before);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().kind, MessageKind::Error);
  EXPECT_NE(ui.messages.back().text.find("keep.dat"), std::string::npos);
}

TEST_F(DatafileTest, CollectFixedConcentrations) {
  SetSpecies({"A", "B", "C", "D", "E", "F", "G"}, {"1", "", "2", "3", "4", "5", "6"});
  session.grid[1].fixed = "9";
  session.grid[1].mark = "";  // not marked: ignored
  EXPECT_FALSE(CollectFixedConcentrations(session.task, session.grid, session.ui, session.view));
  EXPECT_TRUE(ui.Saw("Too many constraints !"));
  EXPECT_EQ(session.task.fixedCount, 5);
  EXPECT_EQ(session.task.options[kOptFixedCount], 5);
  EXPECT_EQ(session.task.fixed[5].name, "F");
  EXPECT_FLOAT_EQ(session.task.fixed[5].value, 5);

  ui.Clear();
  SetSpecies({"A", "B"}, {"1", "x"});
  EXPECT_FALSE(CollectFixedConcentrations(session.task, session.grid, session.ui, session.view));
  EXPECT_EQ(ui.Texts().back(), "Invalid fixed concentration for   B  : x");
  EXPECT_EQ(session.task.options[kOptFixedCount], session.task.fixedCount);

  // Without species nothing is fixed.
  session.task.species.total = 0;
  EXPECT_TRUE(CollectFixedConcentrations(session.task, session.grid, session.ui, session.view));
  EXPECT_EQ(session.task.fixedCount, 0);
}

TEST(OptionSummary, Keywords) {
  TaskOptions o{};
  o[kOptEos] = 1;
  o[kOptConcUnit] = 1;
  EXPECT_EQ(OptionSummaryText(o),
            "Ideal gas EOS; mol/kg; SI; PrFull; NoION; NoSound; NoFrozen; NoSumChk; ResFull");
  o[kOptEos] = 3;
  o[kOptConcUnit] = 3;
  for (int p : {19, 20, 21, 22, 23, 24, 25, 26, 60}) o[p] = 1;
  EXPECT_EQ(OptionSummaryText(o),
            "Kelmost EOS; mass fractions; TSU; PrDom; Id. gas print; ION; Throat; Sound; Frozen; "
            "SumChk; ResBrief");
}

// The reference cases: every file reads without a message, and the element balance
// gives the amounts stored in line 1.
struct ReferenceCase {
  const char* name;
  std::vector<std::string> formulas;
  std::vector<std::string> amounts;
};

class ReferenceTest : public TaskTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ReferenceTest, ReadsWithoutMessagesAndBalancesAsStored) {
  const ReferenceCase& c = GetParam();
  const std::string source = std::string(KVIL_TEST_DATA_DIR) + "/reference/" + c.name + ".dat";
  std::string content;
  ASSERT_TRUE(ReadWholeFile(source, content));
  WriteText(std::string(c.name) + ".dat", content);

  ASSERT_EQ(ReadTaskFile(session, Path(std::string(c.name) + ".dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts()[0];
  const Task& t = session.task;
  for (std::size_t i = 0; i < c.formulas.size(); ++i) {
    EXPECT_EQ(t.components[i + 1].formula, c.formulas[i]);
    EXPECT_EQ(t.components[i + 1].amountText, c.amounts[i]);
  }
  EXPECT_EQ(t.components[c.formulas.size() + 1].formula, " ");

  const auto items = Items(content.substr(0, content.find('\n')));
  ASSERT_GE(items.size(), 135u);
  int stored = 0;
  for (int e = 1; e <= kMaxSystemElements; ++e) {
    const int index = std::atoi(items[94 + e].c_str());
    const double amount = std::strtod(items[74 + e].c_str(), nullptr);
    if (index == 0) continue;
    ++stored;
    ASSERT_LE(e, t.elementCount);
    EXPECT_EQ(t.elements[e].index, index);
    EXPECT_NEAR(t.elements[e].amount, amount, amount * 1e-6);
  }
  EXPECT_EQ(stored, t.elementCount);

  // Written and read back, the file is rewritten byte for byte.
  ASSERT_TRUE(WriteTaskFile(session, Path("copy.dat")));
  const std::string first = ReadText("copy.dat");
  ASSERT_EQ(ReadTaskFile(session, Path("copy.dat")), ReadTaskResult::Ok);
  ASSERT_TRUE(WriteTaskFile(session, Path("copy.dat")));
  EXPECT_EQ(ReadText("copy.dat"), first);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReferenceTest,
    ::testing::Values(ReferenceCase{"h2o2-tp", {"H2", "O2"}, {"11.19", "88.81"}},
                      ReferenceCase{"air-ions-tp", {"N2", "O2", "Ar"}, {"75.52", "23.14", "1.34"}},
                      ReferenceCase{"ch4-air-hp", {"CH4", "O2", "N2"}, {"5.5", "22.0", "72.5"}},
                      ReferenceCase{"h2lox-rocket", {"H2", "O2"}, {"14.2857", "85.7143"}},
                      ReferenceCase{"nitromethane-uv", {"CH3NO2"}, {"100"}}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n)
        if (ch == '-') ch = '_';
      return n;
    });

}  // namespace
}  // namespace kvil

namespace kvil {
namespace {

// Every prefix and many single-byte corruptions of a datafile are read without a crash
// or an out-of-bounds read (run under the sanitizers), and a prefix that ends before
// line 68 is always a read error.
TEST_F(DatafileTest, PrefixesAndCorruptionsNeverBreakTheReader) {
  BuildRichTask();
  ASSERT_TRUE(WriteTaskFile(session, Path("src.dat")));
  const std::string good = ReadText("src.dat");
  std::size_t line68 = 0;
  for (int n = 0; n < 67; ++n) line68 = good.find("\r\n", line68) + 2;
  for (std::size_t len = 1; len < good.size(); len += 5) {
    WriteText("p.dat", good.substr(0, len));
    const ReadTaskResult r = ReadTaskFile(session, Path("p.dat"));
    if (len < line68) {
      EXPECT_EQ(r, ReadTaskResult::ReadError) << len;
    }
  }
  const char replacements[] = {'\0', '\n', ' ', '9', '-', 'e', '(', '\xff'};
  for (std::size_t pos = 0; pos < good.size(); pos += 3) {
    std::string bad = good;
    bad[pos] = replacements[pos % sizeof replacements];
    WriteText("c.dat", bad);
    ReadTaskFile(session, Path("c.dat"));
  }
  SUCCEED();
}

}  // namespace
}  // namespace kvil
