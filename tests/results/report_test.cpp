#include "results/report.h"

#include <gtest/gtest.h>

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
    ResultsBlock& r = s.ws.results;
    r = ResultsBlock{};
    r.p = 10.0; r.T = 3000.0; r.V = 0.0893; r.S = 7.5; r.H = 1200.5; r.U = 307.5;
    r.Cp = 1.2345; r.nTotal = 35.7; r.gasVolume = 0.089;
    r.soundSpeed = 1050.26; r.kEquilibrium = 1.2345; r.CpEquilibrium = 2.5;
    r.CvEquilibrium = 2.0; r.CvFrozen = 0.95; r.kFrozen = 1.3; r.aFrozen = 1100.0;
    r.lambdaFrozen = 0.15; r.lambdaReacting = 0.35; r.viscosity = 9.5e-5;
    s.ws.corrections.Gc = 0.01;
    s.ws.state.gasPresent = true;
    s.ws.state.reportFlowVelocity = 77;       // stale values of an earlier point
    s.ws.state.reportExpansionPressure = 5;
  }
};

TEST_F(FullPointSi, MatchesGolden) {
  WritePointReport(s, s.task.elementCount, s.ws.run.count, 10.0f, kParamP, 3000.0f, kParamT);
  EXPECT_EQ(ReportText(), Golden("point_full_si_molkg.txt"));
  EXPECT_NEAR(s.ws.state.reportGasAmount, 35.00000015, 1e-9);
  EXPECT_EQ(s.ws.state.reportFlowVelocity, 0);
  EXPECT_EQ(s.ws.state.reportExpansionPressure, 0);
  EXPECT_FALSE(s.report.failed());
}

}  // namespace
}  // namespace kvil::testing
