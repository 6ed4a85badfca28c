// The selection dialog of the components library: classes on the left, the
// components of the chosen class on the right, a search box over names, synonyms and
// formulas, and the commands that add, edit and delete the user's own entries.
#pragma once

#include <QDialog>
#include <QString>

#include "components/catalog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace kvilcb {

class PickerDialog : public QDialog {
  Q_OBJECT
 public:
  // `catalog` has been read by LoadCatalogs; the user's entries are saved to the
  // user's data folder `userDirectory`.
  PickerDialog(const std::string& userDirectory, Catalog catalog, QWidget* parent);

  // The component chosen by OK or a double click; null before that.
  const Component* Chosen() const { return chosen_ < 0 ? nullptr : &catalog_.components[chosen_]; }

 protected:
  // Up, Down, Page Up and Page Down in the search box move through the components.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillClasses();
  void FillComponents();
  void ShowDetails();
  int CurrentComponent() const;
  QString CurrentClass() const;
  void Accept();
  void AddComponent();
  void EditComponent();
  void DeleteComponent();
  void AddClass();
  void DeleteClass();
  bool EditDialog(Component& component, const QString& title, int self);
  bool Save();

  std::string directory_;
  Catalog catalog_;
  int chosen_ = -1;
  QLineEdit* search_;
  QListWidget* classes_;
  QTableWidget* table_;
  QLabel* details_;
  QPushButton* edit_;
  QPushButton* delete_;
  QPushButton* deleteClass_;
  QPushButton* ok_;
};

}  // namespace kvilcb
