// The components database as the program sees it: the library "CB" in the folder
// "Components" beside the program, with its four files, loaded at start and released
// at exit.  Its function PickComponent shows the library's own selection dialog.
//
// The library is loaded only when "Class.dat", "Compons.dat", "Class.IDX" and
// "Compons.IDX" all exist in the folder; a missing or unloadable library leaves the
// picker unavailable (the "Data&base" button disabled) and never stops the program.
// The function is looked up at each pick; when it is missing the error
// "Can not find DB on components" is shown through the Interaction.
#pragma once

#include <QLibrary>
#include <QString>
#include <memory>

#include "ui/services.h"

namespace kvil {

class Interaction;

class ComponentLibrary : public ComponentPicker {
 public:
  // `programDirectory` is the directory of the program file.
  ComponentLibrary(const QString& programDirectory, Interaction& ui);
  ~ComponentLibrary() override;

  bool Available() const override;
  std::optional<PickedComponent> Pick(QWidget* parent) override;

  // The folder the library and its files are looked for in.
  static QString ComponentsDirectory(const QString& programDirectory);

 private:
  Interaction& ui_;
  std::unique_ptr<QLibrary> library_;  // null when not loaded
};

}  // namespace kvil
