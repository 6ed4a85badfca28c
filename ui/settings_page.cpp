#include "ui/settings_page.h"

#include "core/session.h"

namespace kvil {

SettingsPage::SettingsPage(Session& session, ColourDialog& colours, QWidget* parent)
    : QWidget(parent), session_(session), colours_(colours) {}

void SettingsPage::ShowSettings() {}

void SettingsPage::ShowOptions() {}

bool SettingsPage::ValidateFields() { return true; }

}  // namespace kvil
