// Page 3 of the main window: the text report of the current task in a fixed-pitch list,
// with a search and a font choice.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QFont;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;

namespace kvil {

struct Session;

class ResultsPage : public QWidget {
  Q_OBJECT
 public:
  explicit ResultsPage(Session& session, QWidget* parent = nullptr);

  // Entering the page: the report file is loaded (with a wait cursor).
  void PreparePage();
  // A run has written the report: reloaded now when the page shows.
  void ResultsChanged();
  // Shows another report file (Open on this page).
  void ShowFile(const QString& path);
  // The search button: from the line after the topmost one shown.
  void Search();

  QListView* list() const { return list_; }
  QLineEdit* searchText() const { return searchText_; }
  QPushButton* searchButton() const { return searchButton_; }
  QPushButton* fontButton() const { return fontButton_; }
  int lineCount() const;
  // The font dialog; tests replace it.  std::nullopt when cancelled.
  std::function<std::optional<QFont>(QWidget*, const QFont&)> askFont;

 private:
  void Load(const QString& path);

  Session& session_;
  QListView* list_;
  QStringListModel* model_;
  QLineEdit* searchText_;
  QPushButton* searchButton_;
  QPushButton* fontButton_;
  std::vector<std::string> lines_;
};

}  // namespace kvil
