// Candidate species of a task and the run tables of the selected ones.
//
//  - LoadSpeciesList: rebuilds the task's SpeciesList from its species list file or by
//    scanning the species database, fills the species grid rows (`grid`) and
//    shows the counts line.  A task without elements only gets its selected count set
//    to 0.  A scan finding more than 259 candidates shows "Too many substances ! (260)"
//    and leaves list, grid and counts unchanged.  A species list file that does not
//    fit (more than 259 records, a record number outside the species file, a phase
//    code that differs from the species' kind) is refused with a message and the
//    list is rebuilt from the database instead; the file itself is not touched.
//  - SpeciesCountsText / ShowSpeciesCounts: recount the selected entries and show
//    "Total: ...; selected: ...; gas species: ...; phase quantity: ...".
//  - PrepareRunSpecies: sorts the list by phase, moves the selected entries to
//    positions 1..K and builds the run tables (ws.run) of them: composition
//    matrix, molecular parameters, molar masses, polynomial intervals in calories
//    (x 1/4.184) with a continuation of every species to 6000 K.  On failure (database
//    error, too many reserve intervals, fixed amounts using up an element) it shows
//    the message, sets the task's element count to 0 and returns false.  The run
//    driver restores the list after the run.
#pragma once

#include <string>

#include "task/species_list.h"

namespace kvil {

class Interaction;
class SpeciesDatabase;
class TaskView;
struct CalcWorkspace;
struct Task;

// False when a scan was refused ("Too many substances ! (260)"): the list is unchanged.
// The species list file is `speciesListPath` (the task's ".tdf").
bool LoadSpeciesList(Task& task, const SpeciesDatabase& database, SpeciesGrid& grid,
                     Interaction& ui, TaskView& view, const std::string& speciesListPath);
std::string SpeciesCountsText(const SpeciesList& list);
void ShowSpeciesCounts(SpeciesList& list, TaskView& view);
bool PrepareRunSpecies(Task& task, const SpeciesDatabase& database, CalcWorkspace& ws,
                       Interaction& ui);

// Sorts entries 1..list.total by phase code, ascending, with a selection sort (for
// each position b the first smallest entry of b..n is swapped into b); this fixes
// the order of equal phase codes: phases (2, 1, 2, 1) give entries 2, 4, 3, 1.
void SortSpeciesListByPhase(SpeciesList& list);

}  // namespace kvil
