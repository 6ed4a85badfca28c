#include "results/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "report_fixture.h"
#include "task/oxidizer_fuel.h"

namespace kvil::testing {
namespace {

// An equilibrium point at given p and T: full results, SI, mol/kg, full composition,
// virial EOS with a gas phase, a source-composition variant, sound block and frozen
// parameters.  Five elements fill one line exactly; three gas species fill one line.
class FullPointSi : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    Task& t = s.task;
    t.options[kOptEos] = 2;
    t.variableComposition = true;
    s.ws.state.componentVariant = 2;
    AddElement(7, 50.0f);     // N
    AddElement(18, 0.5f);     // Ar
    AddElement(2, 0.25f);     // He
    AddElement(10, 0.125f);   // Ne
    AddElement(36, 0.0625f);  // Kr
    AddElement(54, 1e-11f);   // Xe, below the print threshold
    AddSpecies("N2", 2, 28.0134f, 35.0f, 10);
    AddSpecies("NO", 2, 30.006f, 0.0f, 11);
    AddSpecies("N2O(trans)isomer", 2, 44.0f, 1.5e-7f, 12);
    AddSpecies("Al2O3(L)", 1, 101.961f, 0.2f, 13);
    AddSpecies("AlN(cr)", 1, 40.989f, 5e-7f, 14);
    s.ws.results = {.p = 10.0,
                    .T = 3000.0,
                    .V = 0.0893,
                    .S = 7.5,
                    .H = 1200.5,
                    .U = 307.5,
                    .Cp = 1.2345,
                    .nTotal = 35.7,
                    .gasVolume = 0.089,
                    .soundSpeed = 1050.26,
                    .kEquilibrium = 1.2345,
                    .CpEquilibrium = 2.5,
                    .CvEquilibrium = 2.0,
                    .CvFrozen = 0.95,
                    .kFrozen = 1.3,
                    .aFrozen = 1100.0,
                    .lambdaFrozen = 0.15,
                    .lambdaReacting = 0.20,  // equilibrium conductivity 0.35
                    .viscosity = 9.5e-5};
    s.ws.corrections.Gc = 0.01;
    s.ws.state.gasPresent = true;
    s.ws.state.reportFlowVelocity = 77;  // stale values of an earlier point
    s.ws.state.reportExpansionPressure = 5;
  }
};

TEST_F(FullPointSi, MatchesGolden) {
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, s.ws.run.count,
                   10.0f, kParamP, 3000.0f, kParamT);
  // The block is on disk when the writer returns, while the report stays open.
  EXPECT_TRUE(s.report.IsOpen());
  const std::string golden = Golden("point_full_si_molkg.txt");
  EXPECT_EQ(std::filesystem::file_size(s.ReportPath()),
            golden.size() + std::count(golden.begin(), golden.end(), '\n'));  // CR LF
  EXPECT_EQ(ReportText(), golden);
  EXPECT_NEAR(s.ws.state.reportGasAmount, 35.00000015, 1e-9);
  EXPECT_EQ(s.ws.state.reportFlowVelocity, 0);
  EXPECT_EQ(s.ws.state.reportExpansionPressure, 0);
  EXPECT_FALSE(s.report.failed());
}

// Technical units, mole fractions, dominant composition, powder parameters (p and U
// assigned), ideal-gas EOS; six elements wrap after the fifth.
TEST_F(ReportTest, FullPointTechnicalMoleFractionsDominantPowder) {
  Task& t = s.task;
  t.options[kOptOutputUnits] = 1;
  t.options[kOptConcUnit] = 2;
  t.options[kOptDominant] = 1;
  t.unitCodes[1] = 2;
  t.unitCodes[6] = 12;
  s.settings.cutoff = 1e-6;
  AddElement(7, 50.0f);
  AddElement(18, 0.5f);
  AddElement(2, 0.25f);
  AddElement(10, 0.125f);
  AddElement(36, 0.0625f);
  AddElement(54, 0.001f);
  AddSpecies("CO2", 2, 44.0098f, 10.0f, 1);
  AddSpecies("H2O", 2, 18.0153f, 20.0f, 2);
  AddSpecies("OH", 2, 17.0073f, 5e-7f, 3);  // below the cut-off
  AddSpecies("C(gr)", 1, 12.011f, 0.3f, 4);
  AddSpecies("Fe(cr)", 1, 55.845f, 0.2f, 5);
  AddSpecies("Cu(L)", 1, 63.546f, 0.1f, 6);
  s.ws.results = {.p = 5.0,
                  .T = 2500.0,
                  .V = 0.2,
                  .S = 8.0,
                  .H = -500.0,
                  .U = -1000.0,
                  .Cp = 1.5,
                  .nTotal = 40.0,
                  .gasVolume = 0.19,
                  .soundSpeed = 900.0,
                  .kEquilibrium = 1.15,
                  .CpEquilibrium = 3.0,
                  .CvEquilibrium = 2.6,
                  .CvFrozen = 1.2,
                  .kFrozen = 0,
                  .aFrozen = 950.0,
                  .lambdaFrozen = 0.2,
                  .lambdaReacting = 0.3,  // equilibrium conductivity 0.5
                  .viscosity = 8e-5};
  s.ws.state.gasPresent = true;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, t.elementCount, s.ws.run.count, 5.0f,
                   kParamP, -1000.0f, kParamU);
  EXPECT_EQ(ReportText(), Golden("point_full_tech_molefrac_dom.txt"));
}

// Brief results with V and U assigned still get the powder parameters; Kelmost EOS.
TEST_F(ReportTest, BriefPointSiWithPowderParameters) {
  Task& t = s.task;
  t.options[kOptBrief] = 1;
  t.options[kOptEos] = 3;
  s.ws.corrections.phi[3] = 0.2;
  AddElement(7, 35.0f);
  AddSpecies("N2", 2, 28.0134f, 30.0f, 1);
  AddSpecies("CO", 2, 28.0101f, 5.0f, 2);
  s.ws.results = {.p = 350.123456,
                  .T = 3200.0,
                  .V = 0.005,
                  .CpEquilibrium = 1.9,
                  .CvEquilibrium = 1.6,
                  .CvFrozen = 1.1};
  s.ws.state.gasPresent = true;
  s.ws.state.reportGasAmount = 0;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, t.elementCount, s.ws.run.count,
                   0.005f, kParamV, 3500.0f, kParamU);
  EXPECT_EQ(ReportText(), Golden("point_brief_si_powder.txt"));
  // The gas amount is left for the results table in brief reports too.
  EXPECT_DOUBLE_EQ(s.ws.state.reportGasAmount, 35.0);
}

// Shared set-up of the rocket points: chamber H = 700 kJ/kg, chamber p = 5 MPa, throat
// area per flow of the throat point below.
class RocketPoint : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    AddElement(7, 70.0f);
    AddSpecies("N2", 2, 28.0134f, 35.0f, 1);
    AddSpecies("H2", 2, 2.01588f, 1.0f, 2);
    RunState& st = s.ws.state;
    st.gasPresent = true;
    st.expansionFlag = true;
    st.chamberH = 700.0f;
    st.chamberP = 5.0f;
    st.throatAreaPerFlow = static_cast<float>(0.5 / std::sqrt(1.2e6));
  }
};

TEST_F(RocketPoint, ThroatPointFullSiMassFractions) {
  s.task.options[kOptConcUnit] = 3;
  AddSpecies("N", 2, 14.0067f, 2e-6f, 3);
  AddSpecies("Al2O3(a)", 1, 101.961f, 0.05f, 4);
  AddSpecies("Al(L)", 1, 26.98f, 1e-5f, 5);
  AddSpecies("AlN(cr)", 1, 40.989f, 0.02f, 6);
  AddSpecies("C(gr)", 1, 12.011f, 0.0f, 7);
  s.ws.state.throatFlag = true;
  s.ws.results = {.p = 2.2,
                  .T = 3000.0,
                  .V = 0.5,
                  .S = 9.0,
                  .H = 100.0,
                  .U = -1000.0,
                  .Cp = 2.0,
                  .nTotal = 36.0,
                  .gasVolume = 0.5,
                  .soundSpeed = 1000.0,
                  .kEquilibrium = 1.2,
                  .CpEquilibrium = 3.0,
                  .CvEquilibrium = 2.5,
                  .lambdaFrozen = 0.1,
                  .lambdaReacting = 0.2,  // equilibrium conductivity 0.3
                  .viscosity = 7.5e-5};
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, s.ws.run.count,
                   9.0f, kParamS, 100.0f, kParamH);
  EXPECT_EQ(ReportText(), Golden("point_throat_si_massfrac.txt"));
  EXPECT_DOUBLE_EQ(s.ws.state.reportExpansionPressure, 2.2);
  EXPECT_NEAR(s.ws.state.reportFlowVelocity, std::sqrt(1.2e6), 1e-9);
}

// Frozen expansion by area ratio: no sound block, no characteristic velocity, no
// atmospheric impulse (ambient pressure above p), no Mach number (no sound speed);
// dominant composition with every species below the cut-off leaves empty lists.
TEST_F(RocketPoint, FrozenExpansionByAreaRatio) {
  s.task.options[kOptDominant] = 1;
  s.settings.cutoff = 100.0;
  s.settings.record.freezingT = 1234.56f;
  s.settings.record.ambientP = 0.25f;
  s.ws.state.frozenFlag = true;
  s.ws.results = {.p = 0.01,
                  .T = 900.0,
                  .V = 50.0,
                  .S = 9.0,
                  .H = -1300.0,
                  .U = -1800.0,
                  .Cp = 1.1,
                  .nTotal = 36.0,
                  .gasVolume = 50.0,
                  .soundSpeed = 0,
                  .CvFrozen = 0.9,
                  .kFrozen = 1.22,
                  .aFrozen = 620.5};
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, s.ws.run.count,
                   9.0f, kParamS, 10.0f, kParamAreaRatio);
  EXPECT_EQ(ReportText(), Golden("point_expansion_ratio_frozen.txt"));
  EXPECT_DOUBLE_EQ(s.ws.state.reportFlowVelocity, 2000.0);
}

// Expansion to a pressure echoed as "Pa=" in technical units; brief technical results;
// a virial EOS choice without a gas phase prints the ideal-gas line; the flow velocity
// cannot be formed (H above the chamber enthalpy), so the rocket section stops after
// its heading.
TEST_F(RocketPoint, ExpansionToPressureBriefTechnical) {
  Task& t = s.task;
  t.options[kOptBrief] = 1;
  t.options[kOptOutputUnits] = 1;
  t.options[kOptEos] = 2;
  t.unitCodes[1] = 2;
  t.unitCodes[4] = 8;
  s.ws.corrections.Gc = 0.5;
  s.ws.state.gasPresent = false;
  s.ws.state.throatAreaPerFlow = 0;
  s.ws.state.reportFlowVelocity = 123;
  s.ws.results = {.p = 0.1, .T = 1500.0, .V = 5.0, .H = 800.0};
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, t.elementCount, s.ws.run.count, 0.1f,
                   kParamP, 9.0f, kParamS);
  EXPECT_EQ(ReportText(), Golden("point_expansion_pa_brief_tech.txt"));
  EXPECT_EQ(s.ws.state.reportFlowVelocity, 0);
  EXPECT_DOUBLE_EQ(s.ws.state.reportExpansionPressure, 0.1);
}

TEST_F(ReportTest, HeaderWithValueListsComponentsFixedAndCutoff) {
  Task& t = s.task;
  t.comment = "Test task";
  t.options[kOptDominant] = 1;
  s.settings.cutoff = 1e-6;
  t.slots[1].valueText = "1 10";
  t.slots[1].stepText = "3";
  t.slots[2].valueText = "3000";
  t.slots[2].stepText = " ";
  t.slots[3].valueText = "0.1";
  t.components[1].formula = "N2";
  t.components[1].amountText = "100";
  t.massFractions[1] = 0.5f;
  t.components[2].formula = "";
  t.components[2].amountText = "40 60";
  t.components[2].step = 5.0f;
  t.components[2].enthalpy = -123.456f;
  t.massFractions[2] = 0.2f;
  t.components[3].formula = "Zn";  // no fraction in this variant: left out
  t.components[4].formula =
      std::string("C2H5NO3C2H5NO3C2H5NO3C2H5NO3C2H5NO3C2H5NO3") + "C2H5NO3C2H5NO3C2H5NO3Al";
  t.components[4].amountText = "1";
  t.components[4].enthalpy = 1000.5f;
  t.massFractions[4] = 0.3f;
  t.fixedCount = 2;
  t.fixed[1] = {"NO", 0.001f};
  t.fixed[2] = {"VeryLongName13", 12.5f};
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamP, kParamT, kParamPa);
  EXPECT_EQ(ReportText(), Golden("header_plain.txt"));
}

TEST_F(ReportTest, HeaderOfTheThreeTemplates) {
  Task& t = s.task;
  t.comment = " ";
  for (int i = 1; i <= 3; ++i) t.slots[i].valueText.clear();
  t.unitCodes[5] = 10;
  t.unitCodes[6] = 12;
  t.components[1].formula = "CH4";
  t.components[1].amountText = "100";
  t.components[1].enthalpy = -4650.0f;
  t.massFractions[1] = 1.0f;
  s.settings.record.impulseP = 4.0f;
  s.settings.record.impulseH = 0.0f;
  s.settings.record.impulsePa = 0.1f;
  s.settings.record.powderP = 300.0f;
  s.settings.record.powderU = -500.0f;
  s.settings.record.heatV = 0.01f;
  s.settings.record.heatU = 0.0f;
  s.ws.state.templateMode = 1;
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamP, kParamH, kParamPa);
  s.ws.state.templateMode = 2;  // no expansion and no value texts: no date line
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamP, kParamU, kParamNone);
  s.ws.state.templateMode = 3;
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamV, kParamU, kParamNone);
  EXPECT_EQ(ReportText(), Golden("header_templates.txt"));
}

TEST(FormatReportNumber, FieldRules) {
  EXPECT_EQ(FormatReportNumber(0.0), "     0      ");
  EXPECT_EQ(FormatReportNumber(2e-5), " 2.000E-0005");
  EXPECT_EQ(FormatReportNumber(-1e-4), "-1.000E-0004");  // 1e-4 itself is not above 1e-4
  EXPECT_EQ(FormatReportNumber(1.5e-4), "     0.00015");
  EXPECT_EQ(FormatReportNumber(-273.15), "  -273.14999");  // rounded to single precision first
  // A million needs 13 characters at 5 decimals; the field keeps the first 12.
  EXPECT_EQ(FormatReportNumber(1e6), "1000000.0000");
  EXPECT_EQ(FormatReportNumber(-1e6), "-1000000.000");
  EXPECT_EQ(FormatReportNumber(1e-50), "     0      ");  // underflows to 0 in single precision
}

TEST(FormatConcentration, FullAndDominantRules) {
  EXPECT_EQ(FormatConcentration(0.0, false), "        0e00");
  EXPECT_EQ(FormatConcentration(1.23456789e-12, false), " 1.23457e-12");
  EXPECT_EQ(FormatConcentration(-1.23456789e-12, false), "-1.23457e-12");
  EXPECT_EQ(FormatConcentration(123.0, false), "     1.23e02");
  EXPECT_EQ(FormatConcentration(0.0, true), "     0      ");
  EXPECT_EQ(FormatConcentration(9.87654e-7, true), "  9.8765e-07");
  EXPECT_EQ(FormatConcentration(1e-6, true), "    0.000001");
  EXPECT_EQ(FormatConcentration(0.123456789, true), "   0.1234568");
  EXPECT_EQ(FormatConcentration(12.3456789, true), "    12.34568");
  // Long values are cut to 12 characters.
  EXPECT_EQ(FormatConcentration(123456789.123456, true), "123456789.12");
}

TEST_F(ReportTest, SeparatorLineAndCrLf) {
  WriteSeparatorLine(s.report);
  const std::string text = ReportText();
  EXPECT_EQ(text, std::string(76, '_') + "\n\n");
}

// Without a gas phase the mole fractions cannot be formed; the condensed list is still
// written, every condensed species alone in its phase.
TEST_F(ReportTest, MoleFractionsWithoutGasPhase) {
  s.task.options[kOptConcUnit] = 2;
  AddElement(6, 83.26f);
  AddSpecies("CO", 2, 28.0101f, 0.0f, 1);
  AddSpecies("C(gr)", 1, 12.011f, 83.26f, 2);
  s.ws.results.T = 298.15;
  s.ws.results.p = 0.1;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 1, 2, 0.1f, kParamP, 298.15f,
                   kParamT);
  const std::string text = ReportText();
  EXPECT_NE(text.find("                    Concentrations of species, mole fractions:\n"
                      "                   (Gas phase quantity tends to zero).\n\n"
                      "  Calculation of mole fractions is impossible because the gas phase is "
                      "absent.\n\n"
                      "       C(gr)    1.000000 \n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Powder"), std::string::npos);
  EXPECT_EQ(text.find("\"Frozen\""), std::string::npos);
}

// The oxidizer/fuel lines follow the balance of the system's elements: C 1, H 4, O 3
// gives Ox = 6, Fu = 8 and an oxygen balance of 1.6 * (3 - 2 - 2) = -1.6 %.
TEST_F(ReportTest, OxidizerFuelRatioAndOxygenBalance) {
  AddElement(6, 1.0f);
  AddElement(1, 4.0f);
  AddElement(8, 3.0f);
  if (OxidizerFuelBalance(s.task, ui).fuel == 0) GTEST_SKIP() << "no oxidizer/fuel balance yet";
  AddSpecies("CO2", 2, 44.0098f, 1.0f, 1);
  s.ws.results.T = 2000;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 3, 1, 1.0f, kParamP, 2000.0f,
                   kParamT);
  const std::string text = ReportText();
  EXPECT_NE(text.find("  [ C]=  1.0000  [ H]=  4.0000  [ O]=  3.0000  \n"
                      "  Oxidizer/Fuel ratio:    0.750\n"
                      "       Oxygen balance:    -1.60 %\n"),
            std::string::npos)
      << text;
}

// An element without an oxidizer/fuel class is reported once per run, not per point.
TEST_F(ReportTest, UnclassedElementMessageOncePerRun) {
  AddElement(15, 1.0f);  // P
  AddSpecies("P2", 2, 61.9475f, 0.5f, 1);
  s.ws.results.T = 2000;
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamP, kParamT, kParamNone);
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 1, 1, 1.0f, kParamP, 2000.0f,
                   kParamT);
  if (ui.messages.empty()) GTEST_SKIP() << "no oxidizer/fuel balance yet";
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 1, 1, 1.0f, kParamP, 2100.0f,
                   kParamT);
  EXPECT_EQ(ui.messages.size(), 1u);
  WriteReportHeader({s.task, s.settings, s.ws, s.report, s.ui}, kParamP, kParamT, kParamNone);
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 1, 1, 1.0f, kParamP, 2000.0f,
                   kParamT);
  EXPECT_EQ(ui.messages.size(), 2u);
}

// A species list longer than one line, and a PrDom cut-off that hides the middle one.
TEST_F(ReportTest, DominantCompositionSkipsSpeciesBelowCutoff) {
  s.task.options[kOptDominant] = 1;
  s.settings.cutoff = 1e-3;
  AddElement(7, 1.0f);
  AddSpecies("A", 2, 10.0f, 1.0f, 1);
  AddSpecies("B", 2, 10.0f, 1e-4f, 2);
  AddSpecies("C", 2, 10.0f, 2.0f, 3);
  AddSpecies("D", 2, 10.0f, 3.0f, 4);
  AddSpecies("E", 2, 10.0f, 4.0f, 5);
  s.ws.results.T = 1000;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 1, 5, 1.0f, kParamP, 1000.0f,
                   kParamT);
  const std::string text = ReportText();
  EXPECT_NE(text.find("\n           A           1            C           2            D"
                      "           3\n"
                      "           E           4 \n____"),
            std::string::npos)
      << text;
}

// A report that is not open records the failure instead of losing it silently.
TEST_F(ReportTest, WritingToAClosedReportIsAFailure) {
  s.report.Close();
  WriteSeparatorLine(s.report);
  EXPECT_TRUE(s.report.failed());
}

}  // namespace
}  // namespace kvil::testing
