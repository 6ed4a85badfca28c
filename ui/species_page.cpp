#include "ui/species_page.h"

#include "core/session.h"

namespace kvil {

SpeciesPage::SpeciesPage(Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {}

void SpeciesPage::PreparePage() {}

bool SpeciesPage::LeavePage() { return true; }

void SpeciesPage::GridChanged() {}

void SpeciesPage::ShowCounts(const QString&) {}

}  // namespace kvil
