// The main window: tool bar, the five pages on tabs at the bottom, the status panel with
// the option summary, and the file commands.  It holds the program's one Session and is
// the session's TaskView: the engine refreshes the controls through it.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "core/session.h"
#include "task/task_view.h"
#include "ui/services.h"

class QAction;
class QLabel;
class QTabWidget;
class QToolBar;

namespace kvil {

class AnalysisPage;
class ResultsPage;
class SettingsPage;
class SpecPage;
class SpeciesPage;
class TAboutForm;
class TInfo;
class TShowState;
class TViewForm;

// What the window asks of the desktop; tests pass scripted ones.
struct MainWindowServices {
  FileDialogs* files = nullptr;
  ColourDialog* colours = nullptr;
  HelpViewer* help = nullptr;
  ComponentPicker* picker = nullptr;  // null: no components library
};

class TKVILForm : public QMainWindow, public TaskView {
  Q_OBJECT
 public:
  enum Page { kSpecPage = 0, kSpeciesPage, kResultsPage, kAnalysisPage, kSettingsPage };

  // `ui` is the interaction the session talks through; when it is a QtInteraction the
  // caller points it at this window and its progress window.
  TKVILForm(Interaction& ui, const MainWindowServices& services, QWidget* parent = nullptr);
  ~TKVILForm() override;

  // Start-up after the window is built: configuration, colours, species database (the
  // directory dialog when none is found), default files, caption.  False when the user
  // chose to quit at the database dialog.
  bool Start(const std::string& workingDir, const std::string& executablePath);

  Session& session() { return session_; }
  TShowState& progressWindow() { return *progress_; }
  QTabWidget* pages() const { return tabs_; }
  SpecPage* specPage() const { return spec_; }
  SettingsPage* settingsPage() const { return settings_; }
  SpeciesPage* speciesPage() const { return species_; }
  ResultsPage* resultsPage() const { return results_; }
  AnalysisPage* analysisPage() const { return analysis_; }
  QAction* action(const QString& name) const;
  bool running() const { return running_; }
  // Status panel texts, for tests and the screenshots.
  QString optionSummary() const;
  bool fixedIndicatorVisible() const;
  bool templateIndicatorVisible() const;
  QString statusMessage() const;

  // The commands.  Each returns true when it did what it was asked.
  bool OpenCommand();
  // New: a datafile dialog that takes a name not yet used (the task is created) as well
  // as an existing datafile (which is opened).  On the settings page it is Open.
  bool NewCommand();
  bool SaveCommand();
  bool SaveAsCommand();
  bool DeleteCommand();
  bool RunCalculation();
  void InfoCommand();
  void AboutCommand();
  void HelpCommand();
  // Opens the datafile `path` as Open does after its dialog.
  bool OpenDatafile(const QString& path);
  // The leave handlers of the current page's fields; false at the first refusal.
  bool ValidateAllFields();

  // TaskView.
  void TaskChanged(const Task&) override;
  void SettingsChanged(const SettingsRecord&) override;
  void OptionsChanged(const std::array<std::uint8_t, 64>&) override;
  void ShowOptionSummary(const std::string& summary) override;
  void ShowFixedIndicator(bool visible) override;
  void ShowTemplateBoxes(bool impulse, bool powder, bool heat) override;
  void ShowSpeciesCounts(const std::string& counts) override;
  void SpeciesGridChanged() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildToolBar();
  void BuildPages();
  void PageChanged(int index);
  void UpdateToolBar();
  void UpdateCaption();
  void UpdateTemplateIndicator();
  void ApplyColours();
  void ShowStatus(const QString& text);
  bool AskSaveFirst();  // true to go on
  // The task as it was last opened or saved, to tell whether it changed since.
  void RememberSavedTask();
  bool ChangedSinceSaved();
  bool ChooseDatabase(const std::string& workingDir);
  bool SaveSettingsAs();
  int HelpContext() const;

  Session session_;
  MainWindowServices services_;
  QTabWidget* tabs_ = nullptr;
  SpecPage* spec_ = nullptr;
  SpeciesPage* species_ = nullptr;
  ResultsPage* results_ = nullptr;
  AnalysisPage* analysis_ = nullptr;
  SettingsPage* settings_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* fixed_ = nullptr;
  QLabel* template_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  std::unique_ptr<TShowState> progress_;
  std::unique_ptr<TInfo> info_;
  std::unique_ptr<TViewForm> tableView_;
  std::unique_ptr<TAboutForm> about_;
  int currentPage_ = kSpecPage;
  bool running_ = false;
  bool changingPage_ = false;
  bool templateSelected_ = false;
  std::string savedSnapshot_;  // TaskSnapshot after the last Open, Save or SaveAs
};

}  // namespace kvil
