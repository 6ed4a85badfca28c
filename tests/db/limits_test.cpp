// The shipped species database in the program's candidate scan: the element systems of
// common propellants, explosives and pyrotechnics must give at most 130 candidates
// (every one selected can run), at most 37 elements plus condensed candidates, and run
// tables within the 259 further polynomial intervals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/interaction.h"
#include "core/session.h"
#include "db/db_sources.h"
#include "task/task_view.h"
#include "thermo/species_catalog.h"

namespace kvil {
namespace {

struct SystemCase {
  const char* label;
  std::vector<int> elements;  // atomic numbers
  bool ions;
};

constexpr int H = 1, B = 5, C = 6, N = 7, O = 8, F = 9, Mg = 12, Al = 13, S = 16, Cl = 17, K = 19;

class CandidateLimits : public ::testing::TestWithParam<SystemCase> {};

TEST_P(CandidateLimits, StayWithinTheRunLimits) {
  const SystemCase& c = GetParam();
  RecordingInteraction ui;
  NullTaskView view;
  auto session = std::make_unique<Session>(ui, view);
  ASSERT_TRUE(session->database.Open(dbtest::DatabaseDir()));
  Task& t = session->task;
  t.elementCount = 0;
  for (int z : c.elements) t.elements[++t.elementCount] = {z, 10.0f};
  t.options[kOptIons] = c.ions ? 1 : 0;
  t.species.rescanDatabase = true;
  LoadSpeciesList(session->task, session->database, session->grid, session->ui, session->view,
                  session->SpeciesListPath());
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text;

  const SpeciesList& list = t.species;
  int condensed = 0, ions = 0;
  for (int i = 1; i <= list.total; ++i) {
    if (list.items[i].entry.phase == 1) ++condensed;
    const std::string& n = list.items[i].displayName;
    if (n.find("(+)") != std::string::npos || n.find("(-)") != std::string::npos) ++ions;
  }
  EXPECT_LE(list.total, 130);
  EXPECT_EQ(list.selected, list.total);
  EXPECT_LE(t.elementCount + condensed, 37);
  EXPECT_GE(condensed, 1);
  EXPECT_EQ(ions > 0, c.ions);

  ASSERT_TRUE(PrepareRunSpecies(session->task, session->database, session->ws, session->ui))
      << (ui.messages.empty() ? std::string() : ui.messages.back().text);
  EXPECT_EQ(session->ws.run.count, list.total);
  EXPECT_LE(session->ws.run.reserveCount, 259);
  std::printf("%s: %d candidates, %d condensed, %d reserve intervals\n", c.label, list.total,
              condensed, session->ws.run.reserveCount);
}

INSTANTIATE_TEST_SUITE_P(PropellantSystems, CandidateLimits,
                         ::testing::Values(SystemCase{"CHNO", {C, H, N, O}, false},
                                           SystemCase{"CHNOAlCl", {C, H, N, O, Al, Cl}, false},
                                           SystemCase{"CHNOFCl", {C, H, N, O, F, Cl}, false},
                                           SystemCase{"CHNOB", {C, H, N, O, B}, false},
                                           SystemCase{"CHNOKS", {C, H, N, O, K, S}, false},
                                           SystemCase{"CHNOMgF", {C, H, N, O, Mg, F}, false},
                                           SystemCase{"CHNOAlClIons", {C, H, N, O, Al, Cl}, true}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kvil
