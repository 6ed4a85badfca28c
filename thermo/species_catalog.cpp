#include "thermo/species_catalog.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the species database module replaces them.
void LoadSpeciesList(Session&) {}
std::string SpeciesCountsText(const Session&) { return {}; }
void ShowSpeciesCounts(Session&) {}
bool PrepareRunSpecies(Session&) { return false; }

}  // namespace kvil
