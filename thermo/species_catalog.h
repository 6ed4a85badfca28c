// Candidate species of a task and the run tables of the selected ones.
//
//  - LoadSpeciesList: rebuilds the task's SpeciesList from its species list file or by
//    scanning the species database, fills the species grid rows and shows the counts.
//  - ShowSpeciesCounts: recounts the selected entries and shows the counts line.
//  - PrepareRunSpecies: builds the run tables (CalcWorkspace::run) of the selected
//    species; on failure sets the task's element count to 0 and returns false.
#pragma once

#include <string>

namespace kvil {

struct Session;

void LoadSpeciesList(Session& session);
std::string SpeciesCountsText(const Session& session);
void ShowSpeciesCounts(Session& session);
bool PrepareRunSpecies(Session& session);

}  // namespace kvil
