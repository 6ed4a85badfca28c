#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/file_commands.h"
#include "core/run.h"
#include "task/datafile.h"
#include "task/settings.h"
#include "task/value_lists.h"
#include "thermo/db_location.h"
#include "ui/about_window.h"
#include "ui/analysis_page.h"
#include "ui/chart_window.h"
#include "ui/elemental_window.h"
#include "ui/progress_window.h"
#include "ui/results_page.h"
#include "ui/settings_page.h"
#include "ui/spec_page.h"
#include "ui/species_page.h"
#include "ui/table_view_window.h"

namespace kvil {

namespace {

const QStringList kDataFilter{QStringLiteral("Data files (*.dat)")};
const QStringList kTemplateFilter{QStringLiteral("Template files (*.cfg)")};
const QStringList kTextFilter{QStringLiteral("Text files (*.txt)")};

// The part of a hint after "|" goes to the status line, the part before it (or the
// caption) to the tool tip.
void SetHint(QAction* action, const QString& caption, const QString& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  const QString tip = bar < 0 ? hint : hint.left(bar);
  const QString status = bar < 0 ? QString() : hint.mid(bar + 1);
  QString plain = caption;
  plain.remove(QLatin1Char('&'));
  action->setToolTip(tip.isEmpty() ? plain : tip);
  action->setStatusTip(status);
}

// A colour of the settings record: stored as the Windows RGB value 0x00BBGGRR.
QColor RecordColour(std::int32_t stored) {
  return QColor(stored & 0xFF, (stored >> 8) & 0xFF, (stored >> 16) & 0xFF);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

TKVILForm::TKVILForm(Interaction& ui, const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), session_(ui, *this), services_(services) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(Q(MainCaption(kNoName)));
  BuildToolBar();
  BuildPages();
  statusBar()->setObjectName(QStringLiteral("statusLine"));

  progress_ = std::make_unique<TShowState>(session_, ui, this);
  info_ = std::make_unique<TInfo>(session_, *services_.files, this);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const WindowSize size = InitialWindowSize(area.width(), area.height(), 780, 560);
    resize(std::max(size.width, minimumSizeHint().width()),
           std::max(size.height, minimumSizeHint().height()));
  }
}

TKVILForm::~TKVILForm() = default;

void TKVILForm::BuildToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Commands"), this);
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setMovable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  addToolBar(Qt::TopToolBarArea, toolBar_);
  QStyle* st = style();
  auto add = [&](const char* name, const char* caption, const char* hint, auto fn,
                 QStyle::StandardPixmap icon) {
    auto* a = new QAction(st->standardIcon(icon), QLatin1String(caption), this);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(QKeySequence::mnemonic(QLatin1String(caption)));
    SetHint(a, QLatin1String(caption), QLatin1String(hint));
    connect(a, &QAction::triggered, this, fn);
    toolBar_->addAction(a);
    return a;
  };
  add("actionOpen", "&Open", "|Read information from the file", [this] { OpenCommand(); },
      QStyle::SP_DialogOpenButton);
  add("actionSave", "&Save", "|Save current dataset into file", [this] { SaveCommand(); },
      QStyle::SP_DialogSaveButton);
  add("actionInfo", "&Info",
      "|Watch information about elemental composition and enthalpy of variants for the "
      "elemental composition.",
      [this] { InfoCommand(); }, QStyle::SP_FileDialogInfoView);
  add("actionRun", "&Run", "|Start calculation process.", [this] { RunCalculation(); },
      QStyle::SP_MediaPlay);
  add("actionNew", "&New", "|Create new datafile", [this] { NewCommand(); },
      QStyle::SP_FileIcon);
  add("actionSaveAs", "Sa&veAs", "|Save current dataset into another file",
      [this] { SaveAsCommand(); }, QStyle::SP_DriveFDIcon);
  add("actionDelete", "&Delete", "|Remove datafile and corresponding file of results.",
      [this] { DeleteCommand(); }, QStyle::SP_TrashIcon);
  auto* spacer = new QWidget(toolBar_);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolBar_->addWidget(spacer);
  add("actionAbout", "&About", "|Information about KVIL", [this] { AboutCommand(); },
      QStyle::SP_MessageBoxInformation);
  QAction* help = add("actionHelp", "&Help", "|Show help.", [this] { HelpCommand(); },
                      QStyle::SP_DialogHelpButton);
  help->setShortcuts({QKeySequence::mnemonic(QStringLiteral("&Help")), QKeySequence::HelpContents});
  add("actionExit", "E&xit", "|Quit KVIL", [this] { close(); }, QStyle::SP_DialogCloseButton);
}

void TKVILForm::BuildPages() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 2);
  layout->setSpacing(4);

  tabs_ = new QTabWidget(central);
  tabs_->setObjectName(QStringLiteral("pages"));
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setDocumentMode(false);

  spec_ = new SpecPage(session_, services_.picker, tabs_);
  species_ = new SpeciesPage(session_, tabs_);
  results_ = new ResultsPage(session_, tabs_);
  ChartServices chart;
  chart.files = services_.files;
  chart.help = services_.help;
  chart.colours = services_.colours;
  tableView_ = std::make_unique<TViewForm>(session_, *services_.files, *services_.help, chart,
                                           this);
  analysis_ = new AnalysisPage(session_, *tableView_, tabs_);
  settings_ = new SettingsPage(session_, *services_.colours, tabs_);
  tabs_->addTab(spec_, QStringLiteral("&1) Equilibrium specification"));
  tabs_->addTab(species_, QStringLiteral("&2) List of substances"));
  tabs_->addTab(results_, QStringLiteral("&3) Results"));
  tabs_->addTab(analysis_, QStringLiteral("&4) Analysis"));
  tabs_->addTab(settings_, QStringLiteral("&5) Settings"));
  layout->addWidget(tabs_, 1);

  // The page's own "&Run" and "&Info" are the tool bar's commands: one shortcut each.
  for (QAbstractButton* b : spec_->findChildren<QAbstractButton*>()) {
    if (b->text() == QLatin1String("&Run") || b->text() == QLatin1String("&Info"))
      b->setShortcut(QKeySequence());
  }
  connect(spec_, &SpecPage::RunRequested, this, [this] { RunCalculation(); });
  connect(spec_, &SpecPage::InfoRequested, this, [this] { InfoCommand(); });
  connect(spec_, &SpecPage::TaskEdited, this, [this] {
    UpdateTemplateIndicator();
    ShowFixedIndicator(session_.task.fixedCount > 0);
  });
  connect(settings_, &SettingsPage::OptionsEdited, this, [this] {
    BuildOptionSummary(session_.task.options, session_.view);
    UpdateTemplateIndicator();
  });
  connect(settings_, &SettingsPage::ColoursChanged, this, [this] { ApplyColours(); });

  // The status panel " Settings:" under the pages.
  auto* panel = new QFrame(central);
  panel->setObjectName(QStringLiteral("statusPanel"));
  panel->setFrameShape(QFrame::StyledPanel);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(6, 2, 6, 2);
  auto* caption = new QLabel(QStringLiteral(" Settings:"), panel);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  summary_ = new QLabel(panel);
  summary_->setObjectName(QStringLiteral("optionSummary"));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fixed_ = new QLabel(QStringLiteral("Fixed mol."), panel);
  fixed_->setObjectName(QStringLiteral("fixedIndicator"));
  fixed_->setFont(bold);
  fixed_->setVisible(false);
  template_ = new QLabel(QStringLiteral("Template"), panel);
  template_->setObjectName(QStringLiteral("templateIndicator"));
  template_->setFont(bold);
  template_->setVisible(false);
  row->addWidget(caption);
  row->addWidget(summary_, 1);
  row->addWidget(fixed_);
  row->addSpacing(12);
  row->addWidget(template_);
  layout->addWidget(panel);
  setCentralWidget(central);

  connect(tabs_, &QTabWidget::currentChanged, this, &TKVILForm::PageChanged);
}

QAction* TKVILForm::action(const QString& name) const {
  return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

QString TKVILForm::optionSummary() const { return summary_->text(); }
bool TKVILForm::fixedIndicatorVisible() const { return !fixed_->isHidden(); }
bool TKVILForm::templateIndicatorVisible() const { return !template_->isHidden(); }
QString TKVILForm::statusMessage() const { return statusBar()->currentMessage(); }

// ---- Start-up ---------------------------------------------------------------------

bool TKVILForm::Start(const std::string& workingDir, const std::string& executablePath) {
  session_.settings.directory = workingDir;
  ResetTaskAndReadConfiguration(session_.task, session_.settings, session_.grid, session_.ui,
                                session_.view);
  ApplyColours();

  const DatabaseLocation where =
      LocateSpeciesDatabase(session_.database, workingDir, executablePath);
  if (!where.found && !ChooseDatabase(workingDir)) return false;

  session_.task.name = kNoName;
  session_.datafilePath.clear();
  session_.settings.fileName = kConfigurationFileName;
  LoadSettingsFile(session_.task, session_.settings, session_.ui, session_.view);
  UpdateCaption();
  std::string kept;
  BindDefaultFiles(session_, &kept);
  if (!kept.empty()) ShowStatus(Q(kept));
  spec_->ShowTask();
  settings_->ShowSettings();
  settings_->ShowOptions();
  BuildOptionSummary(session_.task.options, session_.view);
  UpdateTemplateIndicator();
  UpdateToolBar();
  if (QWidget* first = spec_->FirstValueField()) first->setFocus();
  return true;
}

bool TKVILForm::ChooseDatabase(const std::string& workingDir) {
  const QString start = workingDir.empty() ? QDir::currentPath() : Q(workingDir);
  for (;;) {
    const QString chosen = services_.files->OpenFile(
        this, QStringLiteral("Species database"), start, {QStringLiteral("Database (*.bas)")});
    if (chosen.isEmpty()) {
      if (session_.ui.AskYesNo(MessageKind::Confirmation, "Quit KVIL")) return false;
      continue;
    }
    std::string error;
    if (AcceptChosenDatabase(session_.database, workingDir, S(chosen), &error)) {
      if (!error.empty()) session_.ui.Warn(error);
      return true;
    }
  }
}

void TKVILForm::ApplyColours() {
  QPalette palette = QApplication::palette();
  const SettingsRecord& r = session_.settings.record;
  palette.setColor(QPalette::Highlight, RecordColour(r.highlightColor));
  palette.setColor(QPalette::HighlightedText, RecordColour(r.highlightTextColor));
  QApplication::setPalette(palette);
}

// ---- TaskView ---------------------------------------------------------------------

void TKVILForm::TaskChanged(const Task&) {
  spec_->ShowTask();
  UpdateTemplateIndicator();
}

void TKVILForm::SettingsChanged(const SettingsRecord&) {
  settings_->ShowSettings();
  ApplyColours();
}

void TKVILForm::OptionsChanged(const std::array<std::uint8_t, 64>&) {
  settings_->ShowOptions();
  UpdateTemplateIndicator();
}

void TKVILForm::ShowOptionSummary(const std::string& summary) { summary_->setText(Q(summary)); }

void TKVILForm::ShowFixedIndicator(bool visible) { fixed_->setVisible(visible); }

void TKVILForm::ShowTemplateBoxes(bool impulse, bool powder, bool heat) {
  templateSelected_ = impulse || powder || heat;
  UpdateTemplateIndicator();
}

void TKVILForm::ShowSpeciesCounts(const std::string& counts) { species_->ShowCounts(Q(counts)); }

void TKVILForm::SpeciesGridChanged() { species_->GridChanged(); }

void TKVILForm::UpdateTemplateIndicator() {
  const TaskOptions& o = session_.task.options;
  templateSelected_ = o[kOptTemplateImpulse] || o[kOptTemplatePowder] || o[kOptTemplateHeat] ||
                      o[kOptTemplateDetonation];
  template_->setVisible(session_.task.firstCode == kParamTemplate);
  template_->setStyleSheet(templateSelected_ ? QStringLiteral("color: #d00000;")
                                             : QStringLiteral("color: #808080;"));
}

void TKVILForm::UpdateCaption() { setWindowTitle(Q(MainCaption(session_.task.name))); }

void TKVILForm::ShowStatus(const QString& text) { statusBar()->showMessage(text); }

// ---- Pages ------------------------------------------------------------------------

void TKVILForm::PageChanged(int index) {
  if (changingPage_) return;
  const int leaving = currentPage_;
  // A field refused as the page was left (its message has been shown), or refused fixed
  // amounts: the user stays on the page to correct them.
  QWidget* refused = leaving == kSpecPage       ? spec_->RefusedField()
                     : leaving == kSettingsPage ? settings_->RefusedField()
                                                : nullptr;
  if (refused || (leaving == kSpeciesPage && !species_->LeavePage())) {
    changingPage_ = true;
    tabs_->setCurrentIndex(leaving);
    changingPage_ = false;
    if (refused) refused->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (leaving == kSettingsPage) BuildOptionSummary(session_.task.options, session_.view);
  currentPage_ = index;
  UpdateToolBar();
  switch (index) {
    case kSpeciesPage: species_->PreparePage(); break;
    case kResultsPage: results_->PreparePage(); break;
    case kAnalysisPage: analysis_->PreparePage(); break;
    default: break;
  }
}

void TKVILForm::UpdateToolBar() {
  const bool results = currentPage_ == kResultsPage;
  const bool settings = currentPage_ == kSettingsPage;
  for (QAction* a : actions()) a->setEnabled(!running_);
  if (running_) return;
  action(QStringLiteral("actionNew"))->setEnabled(!results);
  action(QStringLiteral("actionSave"))->setEnabled(!results);
  action(QStringLiteral("actionSaveAs"))->setEnabled(!results);
  QAction* open = action(QStringLiteral("actionOpen"));
  QAction* save = action(QStringLiteral("actionSave"));
  QAction* saveAs = action(QStringLiteral("actionSaveAs"));
  if (results) {
    SetHint(open, open->text(), QStringLiteral("|Open file of results"));
  } else if (settings) {
    SetHint(open, open->text(), QStringLiteral("|Read template settings from the file"));
    SetHint(save, save->text(), QStringLiteral("|Save current settings into the template file"));
    SetHint(saveAs, saveAs->text(),
            QStringLiteral("|Save current settings into another template file"));
  } else {
    SetHint(open, open->text(), QStringLiteral("|Read information from the file"));
    SetHint(save, save->text(), QStringLiteral("|Save current dataset into file"));
    SetHint(saveAs, saveAs->text(), QStringLiteral("|Save current dataset into another file"));
  }
}

bool TKVILForm::ValidateAllFields() {
  switch (currentPage_) {
    case kSpecPage: return spec_->ValidateFields();
    case kSettingsPage:
      return settings_->ValidateFields();
    case kSpeciesPage:
      return CollectFixedConcentrations(session_.task, session_.grid, session_.ui, session_.view);
    default: return true;
  }
}

int TKVILForm::HelpContext() const {
  switch (currentPage_) {
    case kSpecPage: return spec_->HelpContext();
    case kSpeciesPage: return 12;
    case kResultsPage: return 16;
    case kAnalysisPage: return 20;
    case kSettingsPage: return settings_->HelpContext() == 1 ? 30 : settings_->HelpContext();
  }
  return 1;
}

// ---- File commands ----------------------------------------------------------------

void TKVILForm::RememberSavedTask() { savedSnapshot_ = TaskSnapshot(session_); }

bool TKVILForm::ChangedSinceSaved() {
  // A task never saved is as new as it looks; a task of a datafile has changed when its
  // snapshot differs from that of the last Open or Save (edits still in a field are
  // taken in first: a field refused there counts as a change).
  if (session_.task.name == kNoName || session_.datafilePath.empty()) return true;
  if (!ValidateAllFields()) return true;
  return TaskSnapshot(session_) != savedSnapshot_;
}

bool TKVILForm::AskSaveFirst() {
  if (!TaskWorthSaving(session_.task)) return true;
  if (!ChangedSinceSaved()) return true;
  switch (session_.ui.Message(MessageKind::Confirmation, SaveFirstQuestion(session_.task),
                              Buttons::YesNoCancel)) {
    case Answer::Yes: return SaveCommand();  // go on only when the task was saved
    case Answer::No: return true;
    default: return false;
  }
}

bool TKVILForm::OpenCommand() {
  if (running_) return false;
  if (currentPage_ == kSettingsPage) {
    if (!ValidateAllFields()) return false;
    const QString path = services_.files->OpenFile(this, QStringLiteral("Open template"),
                                                   Q(session_.settings.directory), kTemplateFilter);
    if (path.isEmpty()) return false;
    session_.settings.fileName = S(path);
    const bool ok = LoadSettingsFile(session_.task, session_.settings, session_.ui, session_.view);
    settings_->ShowSettings();
    settings_->ShowOptions();
    BuildOptionSummary(session_.task.options, session_.view);
    return ok;
  }
  if (currentPage_ == kResultsPage) {
    const QString path = services_.files->OpenFile(
        this, QStringLiteral("Open file of results"), Q(session_.ReportPath()), kTextFilter);
    if (path.isEmpty()) return false;
    results_->ShowFile(path);
    return true;
  }
  if (!AskSaveFirst()) return false;
  const QString path =
      services_.files->OpenFile(this, QStringLiteral("Open"), QString(), kDataFilter);
  if (path.isEmpty()) return false;
  return OpenDatafile(path);
}

bool TKVILForm::NewCommand() {
  if (running_) return false;
  if (currentPage_ == kSettingsPage || currentPage_ == kResultsPage) return OpenCommand();
  if (!AskSaveFirst()) return false;
  // A save dialog, which takes a name that does not exist yet; the datafile is created
  // empty by the Open that follows.
  QString path = services_.files->SaveFile(this, QStringLiteral("New"), QString(), kDataFilter);
  if (path.isEmpty()) return false;
  return OpenDatafile(Q(WithDatafileExtension(S(path))));
}

bool TKVILForm::OpenDatafile(const QString& path) {
  const OpenOutcome out = OpenTaskFile(session_, S(path));
  UpdateCaption();
  if (!out.ok) {
    if (!out.error.empty()) session_.ui.Error(out.error);
    return false;
  }
  // Yes empties the results: No is the default answer.
  if (out.resultsExist &&
      session_.ui.AskYesNoDefaultNo(MessageKind::Confirmation,
                                    "File of results " + session_.task.name +
                                        ".txt already exists. Overwrite it?")) {
    std::string error;
    if (!EmptyResultFiles(session_, &error)) session_.ui.Error(error);
  }
  spec_->ShowTask();
  settings_->ShowOptions();
  BuildOptionSummary(session_.task.options, session_.view);
  UpdateTemplateIndicator();
  analysis_->ResultsChanged();
  if (currentPage_ == kSpeciesPage) species_->PreparePage();
  RememberSavedTask();
  return true;
}

bool TKVILForm::SaveCommand() {
  if (running_) return false;
  if (!ValidateAllFields()) return false;
  if (currentPage_ == kSettingsPage) {
    if (!WriteSettingsFile(session_.task, session_.settings, session_.ui,
                           session_.settings.fileName))
      return false;
    ShowStatus(QLatin1String(kInformationSaved));
    return true;
  }
  if (session_.task.name != kNoName && !session_.datafilePath.empty()) {
    if (!WriteTaskFile(session_, session_.datafilePath)) return false;
    RememberSavedTask();
    ShowStatus(QLatin1String(kInformationSaved));
    return true;
  }
  QString path = services_.files->SaveFile(this, QStringLiteral("Save"), QString(), kDataFilter);
  if (path.isEmpty()) return false;
  path = Q(WithDatafileExtension(S(path)));
  if (QFileInfo::exists(path) &&
      !session_.ui.AskYesNo(MessageKind::Confirmation,
                            "Datafile " + S(QFileInfo(path).fileName()) +
                                " already exists. Overwrite ?"))
    return false;
  std::string error;
  const bool ok = SaveNoNameTaskAs(session_, S(path), session_.settings.directory, &error);
  UpdateCaption();
  if (!ok) {
    session_.ui.Error(error);
    return false;
  }
  RememberSavedTask();
  analysis_->ResultsChanged();
  ShowStatus(QLatin1String(kInformationSaved));
  return true;
}

bool TKVILForm::SaveSettingsAs() {
  const QString path = services_.files->SaveFile(this, QStringLiteral("Save template as"),
                                                 Q(session_.settings.directory), kTemplateFilter);
  if (path.isEmpty()) return false;
  if (QFileInfo::exists(path) &&
      !session_.ui.AskYesNo(MessageKind::Confirmation,
                            "Datafile " + S(QFileInfo(path).fileName()) +
                                " already exists. Overwrite ?"))
    return false;
  if (!WriteSettingsFile(session_.task, session_.settings, session_.ui, S(path))) return false;
  ShowStatus(QLatin1String(kInformationSaved));
  return true;
}

bool TKVILForm::SaveAsCommand() {
  if (running_) return false;
  if (!ValidateAllFields()) return false;
  if (currentPage_ == kSettingsPage) return SaveSettingsAs();
  QString path =
      services_.files->SaveFile(this, QStringLiteral("Save As"), QString(), kDataFilter);
  if (path.isEmpty()) return false;
  path = Q(WithDatafileExtension(S(path)));
  if (QFileInfo::exists(path) &&
      !session_.ui.AskYesNo(MessageKind::Confirmation,
                            "Datafile " + S(QFileInfo(path).fileName()) +
                                " already exists. Overwrite ?"))
    return false;
  std::string error;
  const bool ok = SaveTaskAs(session_, S(path), &error);
  UpdateCaption();
  if (!ok) {
    session_.ui.Error(error);
    return false;
  }
  RememberSavedTask();
  analysis_->ResultsChanged();
  ShowStatus(QLatin1String(kInformationSaved));
  return true;
}

bool TKVILForm::DeleteCommand() {
  if (running_) return false;
  const QString path =
      services_.files->OpenFile(this, QStringLiteral("Delete file"), QString(), kDataFilter);
  if (path.isEmpty()) return false;
  const std::string fileName = S(QFileInfo(path).fileName());
  if (!session_.ui.AskYesNo(MessageKind::Confirmation,
                            "All information related to " + fileName + " will be deleted."))
    return false;
  std::string error;
  const std::string name = DeleteTaskFiles(session_, S(path), &error);
  if (!error.empty()) {
    session_.ui.Error(error);
    return false;
  }
  ShowStatus(Q(DeletedMessage(name)));
  return true;
}

void TKVILForm::closeEvent(QCloseEvent* event) {
  // A run works on this window's session: it cannot close under the run.
  if (running_) {
    event->ignore();
    return;
  }
  if (!AskSaveFirst()) {
    event->ignore();
    return;
  }
  event->accept();
}

// ---- Run, Info, About, Help -------------------------------------------------------

bool TKVILForm::RunCalculation() {
  if (running_) return false;
  if (!ValidateAllFields()) return false;
  running_ = true;
  const QPointer<QWidget> focus = QApplication::focusWidget();
  UpdateToolBar();
  tabs_->setEnabled(false);
  const bool ok = RunCommand(session_);
  progress_->Finish();
  tabs_->setEnabled(true);
  running_ = false;
  if (ok || session_.ws.state.cancel) ShowStatus(Q(RunSummaryText(session_.ws.state)));
  UpdateToolBar();
  results_->ResultsChanged();
  analysis_->ResultsChanged();
  activateWindow();
  if (focus) focus->setFocus();
  return ok;
}

void TKVILForm::InfoCommand() {
  if (running_) return;
  if (currentPage_ == kSpecPage && !spec_->ValidateFields()) return;
  // A row that is no component (read from a datafile) gets no composition.
  if (!ComponentsUsable(session_.task, session_.ui)) return;
  info_->Open();
}

void TKVILForm::AboutCommand() {
  if (!about_) about_ = std::make_unique<TAboutForm>(this);
  about_->exec();
}

void TKVILForm::HelpCommand() {
  if (services_.help) services_.help->ShowHelp(this, HelpContext());
}

}  // namespace kvil
