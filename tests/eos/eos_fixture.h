// Hand-built workspace states for the equation-of-state, sound-velocity and transport
// tests: species are added directly to the run tables and the species state.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/interaction.h"
#include "core/session.h"
#include "task/task_view.h"

namespace kvil::testing_eos {

struct GasSpec {
  const char* name;
  double n;                // mol/kg
  double H;                // cal/mol
  double Cp;               // cal/(mol K)
  float sigma;             // A (condensed: molar volume)
  float eps;               // K
  float M;                 // g/mol
  std::vector<int> atoms;  // per system element
  int phase = 2;
  int ionCode = 0;
  float delta = 0;
};

class EosFixture : public ::testing::Test {
 protected:
  EosFixture() : session(ui, view) {
    reportPath = ::testing::TempDir() + "kvil_eos_report_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::remove(reportPath.c_str());
    session.report.Open(reportPath);
  }
  ~EosFixture() override {
    session.report.Close();
    std::remove(reportPath.c_str());
  }

  // Adds a species; returns its run number.
  int Add(const GasSpec& s) {
    CalcWorkspace& ws = session.ws;
    const int k = ++ws.run.count;
    ws.run.composition(1, k) = s.phase;
    for (std::size_t j = 0; j < s.atoms.size(); ++j) ws.run.composition(j + 2, k) = s.atoms[j];
    if (ionRow > 0) ws.run.composition(ionRow, k) = s.ionCode;
    ws.run.names[k] = s.name;
    ws.run.sigma[k] = s.sigma;
    ws.run.epsilon[k] = s.eps;
    ws.run.molarMass[k] = s.M;
    ws.run.delta[k] = s.delta;
    ws.species.n[k] = s.n;
    ws.species.H[k] = s.H;
    ws.species.Cp[k] = s.Cp;
    ws.species.eosFlag[k] = s.phase == 2 ? 2 : s.phase;
    return k;
  }

  // State of ws.results: T (K), p (MPa); V and frozen Cp from the ideal-gas law and
  // the species.
  void SetIdealState(double T, double p) {
    CalcWorkspace& ws = session.ws;
    double ng = 0, cp = 0;
    for (int k = 1; k <= ws.run.count; ++k) {
      if (ws.run.Phase(k) != 1) ng += ws.species.n[k];
      cp += ws.species.n[k] * ws.species.Cp[k];
    }
    ws.results.T = T;
    ws.results.p = p;
    ws.results.V = ng * kGasConstantJ * T / (p * 1e6);
    ws.results.Cp = cp * kCalToKJ;
  }

  void SetEos(int code) { session.task.options[kOptEos] = static_cast<std::uint8_t>(code); }

  std::vector<std::string> ReportLines() {
    session.report.Flush();
    std::ifstream in(reportPath, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

  RecordingInteraction ui;
  NullTaskView view;
  Session session;
  std::string reportPath;
  int ionRow = 0;  // composition row of the ion code (0 = no ions)
};

}  // namespace kvil::testing_eos
