// Small services the windows ask of the desktop, injectable so that tests script them.
//
// The program installs the Qt implementations (real dialogs, the help window, the
// components library); the window tests install scripted ones that return prepared
// answers and record what was asked.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QColor;
class QWidget;

namespace kvil {

// Open and save file dialogs.  `filters` are Qt name filters ("Data files (*.dat)");
// the answer is the chosen path, or empty when the user cancelled.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual QString OpenFile(QWidget* parent, const QString& title, const QString& directory,
                           const QStringList& filters) = 0;
  virtual QString SaveFile(QWidget* parent, const QString& title, const QString& directory,
                           const QStringList& filters) = 0;
  // A directory (the species database); empty when cancelled.
  virtual QString ChooseDirectory(QWidget* parent, const QString& title,
                                  const QString& directory) = 0;
};

// The colour dialog; std::nullopt when cancelled.
class ColourDialog {
 public:
  virtual ~ColourDialog() = default;
  virtual std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial) = 0;
};

// The help window, opened at a help context number (1 the window as a whole).
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void ShowHelp(QWidget* parent, int context) = 0;
};

// A component picked from the components database: its formula and specific
// enthalpy in kJ/kg.
struct PickedComponent {
  QString formula;
  float enthalpy = 0.0f;
};

// The components database.  Available() is false when the library or its files are
// missing (the "Data&base" button is then disabled); Pick() shows the library's own
// selection dialog over `parent` and returns std::nullopt when nothing was picked.
class ComponentPicker {
 public:
  virtual ~ComponentPicker() = default;
  virtual bool Available() const = 0;
  virtual std::optional<PickedComponent> Pick(QWidget* parent) = 0;
};

// The progress window as the Qt Interaction drives it during a run.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetLabels(const QString& parameter1, const QString& parameter2,
                         const QString& parameterVariant, const QString& componentVariant) = 0;
  virtual void SetPosition(int position) = 0;  // 0..100
  // The chamber point being computed and the points of the run (0: not known).
  virtual void SetPoint(int /*point*/, int /*points*/) {}
};

}  // namespace kvil
