#include "ui/settings_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "core/session.h"
#include "task/datafile.h"
#include "task/spec_fields.h"
#include "task/task.h"
#include "thermo/bkw.h"
#include "thermo/species_catalog.h"
#include "ui/services.h"

namespace kvil {

namespace {

QColor RecordColour(std::int32_t stored) {
  return QColor(stored & 0xFF, (stored >> 8) & 0xFF, (stored >> 16) & 0xFF);
}
std::int32_t StoredColour(const QColor& c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void SetHint(QWidget* w, const QString& hint) {
  const QString h = hint.startsWith(QLatin1Char('|')) ? hint.mid(1) : hint;
  w->setStatusTip(h);
  w->setToolTip(h);
}

// How a field shows the record's value: the pressures, volume and energies "0.####",
// the freezing point "0.#", the cut-off in exponent form when small.
QString FieldText(SettingsField f, double value) {
  if (f == SettingsField::Cutoff) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%g", value);
    return QString::fromLatin1(buf);
  }
  return QString::fromStdString(FormatDecimals(value, f == SettingsField::FreezingT ? 1 : 4));
}

}  // namespace

SettingsPage::SettingsPage(Session& session, ColourDialog& colours, QWidget* parent)
    : QWidget(parent), session_(session), colours_(colours) {
  setObjectName(QStringLiteral("settingsPage"));

  // Option groups: each writes one position of the task options.
  struct GroupSpec {
    const char* title;
    const char* hint;
    int option;
    int offset;  // stored value = entry + offset
    QStringList entries;
  };
  const GroupSpec specs[] = {
      {" Ou&tput Units ", "|Choose units for output results .", kOptOutputUnits, 0,
       {"J, K, MPa, m cub.", "cal, C, atm, dm cub."}},
      {" &Composition ", "|Write to output file concentrations of all species or only dominant?",
       kOptDominant, 0, {"Full", "Dom."}},
      {" Concentration &Units ", "|Choose concentration units for the composition output.",
       kOptConcUnit, 1, {"Mole/kg", "Mole Fraction", "Mass Fraction"}},
      {" E&quation of state ", "|Choose equation of state.", kOptEos, 1,
       {"Ideal gas EOS", "Virial EOS", "Kelmost EOS", "BKW EOS"}},
      {" Results ", "|Write to the output file full information or brief summary only",
       kOptBrief, 0, {"Full", "Brief"}},
  };
  auto* options = new QGridLayout;
  int index = 0;
  for (const GroupSpec& spec : specs) {
    auto* box = new QGroupBox(QLatin1String(spec.title), this);
    SetHint(box, QLatin1String(spec.hint));
    auto* buttons = new QButtonGroup(box);
    auto* v = new QVBoxLayout(box);
    for (int e = 0; e < spec.entries.size(); ++e) {
      auto* radio = new QRadioButton(spec.entries[e], box);
      SetHint(radio, QLatin1String(spec.hint));
      buttons->addButton(radio, e);
      v->addWidget(radio);
    }
    if (spec.option == kOptEos) {
      // The parameter set of the BKW equation, under its entry.
      bkwSet_ = new QComboBox(box);
      bkwSet_->setObjectName(QStringLiteral("bkwSet"));
      for (const BkwParameters& set : BkwParameterSets()) bkwSet_->addItem(QString::fromStdString(set.name));
      SetHint(bkwSet_, QStringLiteral("|Choose the parameter set of the BKW equation of state."));
      auto* row = new QHBoxLayout;
      row->addSpacing(fontMetrics().horizontalAdvance(QStringLiteral("MM")));
      row->addWidget(bkwSet_);
      row->addStretch(1);
      v->addLayout(row);
      connect(bkwSet_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (showing_ || index < 0) return;
        session_.task.options[kOptBkwSet] = static_cast<std::uint8_t>(index);
        BuildOptionSummary(session_.task.options, session_.view);
        Q_EMIT OptionsEdited();
      });
    }
    v->addStretch(1);
    groups_.emplace_back(spec.option, buttons);
    const int option = spec.option, offset = spec.offset;
    connect(buttons, &QButtonGroup::idClicked, this, [this, option, offset](int id) {
      session_.task.options[option] = static_cast<std::uint8_t>(id + offset);
      BuildOptionSummary(session_.task.options, session_.view);
      Q_EMIT OptionsEdited();
    });
    options->addWidget(box, index / 3, index % 3);
    ++index;
  }

  // Special options.
  auto* specialBox = new QGroupBox(QStringLiteral(" S&pecial Options "), this);
  auto* sv = new QVBoxLayout(specialBox);
  const char* specialNames[] = {" Print ideal gas", " Ions ", " Throat conditions",
                                " Sound velocity", " \"Frozen\" expansion", " Check total sum"};
  const char* specialHints[] = {
      "|Print the ideal-gas results as well when the virial or Kelmost EOS is used.",
      "|Use ions in calculations.", "|Calculate throat parameters.",
      "|Calculate sound velocity.", "|Calculate expansion parameters as \"frozen\".",
      "Calculate total sum of mass parts of the source components and ask for confirmation."};
  for (int n = 1; n <= 6; ++n) {
    special_[n - 1] = new QCheckBox(QLatin1String(specialNames[n - 1]), specialBox);
    special_[n - 1]->setObjectName(QStringLiteral("special%1").arg(n));
    SetHint(special_[n - 1], QLatin1String(specialHints[n - 1]));
    sv->addWidget(special_[n - 1]);
    connect(special_[n - 1], &QCheckBox::toggled, this,
            [this, n](bool checked) { SpecialToggled(n, checked); });
  }
  sv->addStretch(1);
  options->addWidget(specialBox, 1, 2);

  // Template options and values.
  auto* templateBox = new QGroupBox(QStringLiteral("T&emplate Options "), this);
  auto* tv = new QVBoxLayout(templateBox);
  const char* templateNames[] = {" Specific Impulse", " Powder Force", " Heat of Combustion",
                                 " Detonation"};
  const char* templateHints[] = {"|Carry out Specific Impulse Calculation.",
                                 "|Carry out Powder Force Calculation.",
                                 "|Carry out Heat of Combustion at V = const Calculation.",
                                 "|Carry out Detonation Calculation (Chapman-Jouguet state and "
                                 "expansion of the products)."};
  const int templateOptions[] = {kOptTemplateImpulse, kOptTemplatePowder, kOptTemplateHeat,
                                 kOptTemplateDetonation};
  for (int t = 0; t < 4; ++t) {
    templates_[t] = new QCheckBox(QLatin1String(templateNames[t]), templateBox);
    templates_[t]->setObjectName(QStringLiteral("template%1").arg(t + 1));
    SetHint(templates_[t], QLatin1String(templateHints[t]));
    tv->addWidget(templates_[t]);
    const int option = templateOptions[t];
    connect(templates_[t], &QCheckBox::toggled, this, [this, option](bool checked) {
      if (showing_) return;
      session_.task.options[option] = checked ? 1 : 0;
      BuildOptionSummary(session_.task.options, session_.view);
      Q_EMIT OptionsEdited();
    });
  }
  tv->addStretch(1);

  auto* valuesBox = new QGroupBox(QStringLiteral(" Te&mplate Values "), this);
  auto* grid = new QGridLayout(valuesBox);
  auto makeField = [&](SettingsField f, const QString& name) {
    auto* edit = new QLineEdit(valuesBox);
    edit->setObjectName(name);
    edit->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    edit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000000000000")));
    edit->installEventFilter(this);
    fields_[static_cast<int>(f)] = edit;
    return edit;
  };
  auto addRow = [&](int row, int column, const QString& label, SettingsField f,
                    const QString& unit, const QString& name) {
    auto* l = new QLabel(label, valuesBox);
    QLineEdit* e = makeField(f, name);
    l->setBuddy(e);
    grid->addWidget(l, row, column * 3, Qt::AlignRight);
    grid->addWidget(e, row, column * 3 + 1);
    grid->addWidget(new QLabel(unit, valuesBox), row, column * 3 + 2);
  };
  auto heading = [&](int row, int column, const QString& text) {
    auto* l = new QLabel(text, valuesBox);
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    grid->addWidget(l, row, column * 3, 1, 3);
  };
  heading(0, 0, QStringLiteral("Specific impulse"));
  addRow(1, 0, QStringLiteral("p ="), SettingsField::ImpulseP, QStringLiteral("MPa"), "impulseP");
  addRow(2, 0, QStringLiteral("H ="), SettingsField::ImpulseH, QStringLiteral("kJ/kg"), "impulseH");
  addRow(3, 0, QStringLiteral("Pa ="), SettingsField::ImpulsePa, QStringLiteral("MPa"), "impulsePa");
  heading(0, 1, QStringLiteral("Powder force"));
  addRow(1, 1, QStringLiteral("p ="), SettingsField::PowderP, QStringLiteral("MPa"), "powderP");
  addRow(2, 1, QStringLiteral("U ="), SettingsField::PowderU, QStringLiteral("kJ/kg"), "powderU");
  heading(0, 2, QStringLiteral("Heat of combustion"));
  addRow(1, 2, QStringLiteral("V ="), SettingsField::HeatV, QStringLiteral("cub. m/kg"), "heatV");
  addRow(2, 2, QStringLiteral("U ="), SettingsField::HeatU, QStringLiteral("kJ/kg"), "heatU");
  // The detonation below the three templates, its densities in a wide field.
  heading(5, 0, QStringLiteral("Detonation"));
  {
    auto* l = new QLabel(QStringLiteral("rho0 ="), valuesBox);
    densities_ = new QLineEdit(valuesBox);
    densities_->setObjectName(QStringLiteral("detonationDensities"));
    densities_->installEventFilter(this);
    SetHint(densities_, QStringLiteral("|Type the initial density or a list of initial densities, "
                                       "separated by space, or gas for a gaseous mixture. "
                                       "Example: 1.2 1.4 1.6"));
    l->setBuddy(densities_);
    grid->addWidget(l, 6, 0, Qt::AlignRight);
    grid->addWidget(densities_, 6, 1, 1, 7);
    grid->addWidget(new QLabel(QStringLiteral("g/cm3"), valuesBox), 6, 8);
  }
  addRow(7, 0, QStringLiteral("p0 ="), SettingsField::DetonationP0, QStringLiteral("MPa"), "detonationP0");
  addRow(7, 1, QStringLiteral("T0 ="), SettingsField::DetonationT0, QStringLiteral("K"), "detonationT0");
  addRow(4, 0, QStringLiteral("Cut-o&ff =  "), SettingsField::Cutoff, QStringLiteral("mol/kg"), "cutoff");
  addRow(4, 1, QStringLiteral("p(atm.)="), SettingsField::AmbientP, QStringLiteral("MPa"), "ambientP");
  addRow(4, 2, QStringLiteral("Free&zing Point ="), SettingsField::FreezingT, QStringLiteral("K"), "freezingT");
  grid->setColumnStretch(8, 1);

  // Colour panels.
  auto* coloursBox = new QGroupBox(QStringLiteral(" Colors "), this);
  auto* cv = new QVBoxLayout(coloursBox);
  highlight_ = new QPushButton(QStringLiteral("Highlight color"), coloursBox);
  highlight_->setObjectName(QStringLiteral("highlightPanel"));
  SetHint(highlight_, QStringLiteral("|Press this button to change the highlight color"));
  font_ = new QPushButton(QStringLiteral("Font color"), coloursBox);
  font_->setObjectName(QStringLiteral("fontPanel"));
  SetHint(font_, QStringLiteral("|Press this button to change the font color"));
  cv->addWidget(highlight_);
  cv->addWidget(font_);
  cv->addStretch(1);
  connect(highlight_, &QPushButton::clicked, this, [this] { ChooseColour(true); });
  connect(font_, &QPushButton::clicked, this, [this] { ChooseColour(false); });

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(templateBox);
  bottom->addWidget(valuesBox, 1);
  bottom->addWidget(coloursBox);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(options);
  layout->addLayout(bottom);
  layout->addStretch(1);
}

QButtonGroup* SettingsPage::group(int option) const {
  for (const auto& [pos, g] : groups_)
    if (pos == option) return g;
  return nullptr;
}

void SettingsPage::ShowSettings() {
  showing_ = true;
  const SettingsRecord& r = session_.settings.record;
  for (int i = 0; i < kSettingsFieldCount; ++i) {
    const auto f = static_cast<SettingsField>(i);
    fields_[i]->setText(FieldText(f, SettingsFieldValue(r, f)));
  }
  densities_->setText(QString::fromStdString(DetonationDensitiesText(r)));
  ShowColours();
  showing_ = false;
}

void SettingsPage::ShowColours() {
  const SettingsRecord& r = session_.settings.record;
  const QColor back = RecordColour(r.highlightColor);
  const QColor text = RecordColour(r.highlightTextColor);
  const QString style = QStringLiteral("QPushButton { background: %1; color: %2; padding: 6px; }")
                            .arg(back.name(), text.name());
  highlight_->setStyleSheet(style);
  font_->setStyleSheet(style);
}

void SettingsPage::ShowOptions() {
  showing_ = true;
  const TaskOptions& o = session_.task.options;
  for (const auto& [pos, g] : groups_) {
    const int offset = pos == kOptConcUnit || pos == kOptEos ? 1 : 0;
    int entry = o[pos] - offset;
    if (pos == kOptEos && o[pos] == 0) entry = 0;
    if (QAbstractButton* b = g->button(entry)) b->setChecked(true);
  }
  for (int n = 1; n <= 6; ++n) special_[n - 1]->setChecked(o[20 + n] != 0);
  templates_[0]->setChecked(o[kOptTemplateImpulse] != 0);
  templates_[1]->setChecked(o[kOptTemplatePowder] != 0);
  templates_[2]->setChecked(o[kOptTemplateHeat] != 0);
  templates_[3]->setChecked(o[kOptTemplateDetonation] != 0);
  bkwSet_->setCurrentIndex(o[kOptBkwSet] < bkwSet_->count() ? o[kOptBkwSet] : 0);
  showing_ = false;
}

void SettingsPage::SpecialToggled(int number, bool checked) {
  if (showing_) return;
  Task& task = session_.task;
  if (number == 4 && !checked && special_[2]->isChecked()) {
    busy_ = true;
    session_.ui.Info("Sound velocity must be computed to determine the throat parameters");
    busy_ = false;
    showing_ = true;
    special_[3]->setChecked(true);
    showing_ = false;
    return;
  }
  task.options[20 + number] = checked ? 1 : 0;
  if (number == 3 && checked && !special_[3]->isChecked()) {
    showing_ = true;
    special_[3]->setChecked(true);
    showing_ = false;
    task.options[kOptSound] = 1;
  }
  if (number == 2) {
    // Any change of the ions option changes the candidate species: the list is built
    // again from the database, with or without the ions.
    task.elementSetChanged = true;
    task.species.rescanDatabase = true;
    LoadSpeciesList(session_.task, session_.database, session_.grid, session_.ui, session_.view,
                    session_.SpeciesListPath());
    task.species.rescanDatabase = false;
    Q_EMIT IonsChanged();
  }
  BuildOptionSummary(session_.task.options, session_.view);
  Q_EMIT OptionsEdited();
}

bool SettingsPage::LeaveField(SettingsField f) {
  QLineEdit* edit = fields_[static_cast<int>(f)];
  busy_ = true;
  const SettingsCheck check =
      AcceptSettingsField(session_.settings.record, f, edit->text().toStdString(), session_.ui);
  busy_ = false;
  if (check == SettingsCheck::Ok) {
    if (refused_ == edit) refused_ = nullptr;
    if (f == SettingsField::Cutoff) session_.settings.cutoff = session_.settings.record.cutoff;
    if (f == SettingsField::AmbientP) BuildOptionSummary(session_.task.options, session_.view);
    return true;
  }
  if (check == SettingsCheck::NotPositive)
    edit->setText(FieldText(f, SettingsFieldValue(session_.settings.record, f)));
  refused_ = edit;
  edit->setFocus(Qt::OtherFocusReason);
  QTimer::singleShot(0, edit, [edit] { edit->setFocus(Qt::OtherFocusReason); });
  return false;
}

// The initial densities of the detonation: refused, the field keeps the focus and
// shows the densities of the record again.
bool SettingsPage::LeaveDensities() {
  busy_ = true;
  const bool ok = AcceptDetonationDensities(session_.settings.record,
                                            densities_->text().toStdString(), session_.ui);
  busy_ = false;
  if (ok) {
    if (refused_ == densities_) refused_ = nullptr;
    densities_->setText(QString::fromStdString(DetonationDensitiesText(session_.settings.record)));
    return true;
  }
  densities_->setText(QString::fromStdString(DetonationDensitiesText(session_.settings.record)));
  refused_ = densities_;
  densities_->setFocus(Qt::OtherFocusReason);
  QLineEdit* edit = densities_;
  QTimer::singleShot(0, edit, [edit] { edit->setFocus(Qt::OtherFocusReason); });
  return false;
}

bool SettingsPage::ValidateFields() {
  if (busy_) return false;
  const SettingsField order[] = {SettingsField::ImpulseP, SettingsField::ImpulseH,
                                 SettingsField::ImpulsePa, SettingsField::PowderP,
                                 SettingsField::PowderU,   SettingsField::HeatV,
                                 SettingsField::HeatU,     SettingsField::Cutoff,
                                 SettingsField::AmbientP,  SettingsField::FreezingT};
  for (SettingsField f : order)
    if (!LeaveField(f)) return false;
  if (!LeaveDensities()) return false;
  return LeaveField(SettingsField::DetonationP0) && LeaveField(SettingsField::DetonationT0);
}

void SettingsPage::ChooseColour(bool highlight) {
  SettingsRecord& r = session_.settings.record;
  std::int32_t& stored = highlight ? r.highlightColor : r.highlightTextColor;
  const std::optional<QColor> chosen = colours_.ChooseColour(this, RecordColour(stored));
  if (!chosen) return;
  stored = StoredColour(*chosen);
  ShowColours();
  Q_EMIT ColoursChanged();
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !busy_ && !showing_) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      for (int i = 0; i < kSettingsFieldCount; ++i)
        if (watched == fields_[i]) LeaveField(static_cast<SettingsField>(i));
      if (watched == densities_) LeaveDensities();
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kvil
