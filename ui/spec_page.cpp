#include "ui/spec_page.h"

#include "core/session.h"

namespace kvil {

SpecPage::SpecPage(Session& session, ComponentPicker* picker, QWidget* parent)
    : QWidget(parent), session_(session), picker_(picker) {}

void SpecPage::ShowTask() {}

bool SpecPage::ValidateFields() { return true; }

QWidget* SpecPage::FirstValueField() const { return const_cast<SpecPage*>(this); }

}  // namespace kvil
