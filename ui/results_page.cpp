#include "ui/results_page.h"

#include "core/session.h"

namespace kvil {

ResultsPage::ResultsPage(Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {}

void ResultsPage::PreparePage() {}

void ResultsPage::ResultsChanged() {}

}  // namespace kvil
