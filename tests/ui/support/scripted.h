// Scripted window services for the window tests: file dialogs that answer from a queue
// and remember what they were asked, a help viewer that records contexts, a colour
// dialog with a fixed answer, and a component picker with a prepared pick.
#pragma once

#include <QColor>
#include <QList>
#include <QStringList>

#include "ui/services.h"

namespace kvil::uitest {

class ScriptedFiles : public FileDialogs {
 public:
  QString OpenFile(QWidget*, const QString& title, const QString&,
                   const QStringList& f) override {
    kinds << QStringLiteral("open");
    return Next(title, f);
  }
  QString SaveFile(QWidget*, const QString& title, const QString&,
                   const QStringList& f) override {
    kinds << QStringLiteral("save");
    return Next(title, f);
  }
  QString ChooseDirectory(QWidget*, const QString& title, const QString&) override {
    return Next(title, {});
  }
  QStringList answers;  // consumed first to last; an empty queue cancels
  QStringList titles;
  QStringList kinds;  // "open" (an existing file) or "save" (any name) per dialog
  QList<QStringList> filters;

 private:
  QString Next(const QString& title, const QStringList& f) {
    titles << title;
    filters << f;
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
};

class RecordingHelp : public HelpViewer {
 public:
  void ShowHelp(QWidget*, int context) override { contexts.append(context); }
  QList<int> contexts;
};

class FixedColour : public ColourDialog {
 public:
  std::optional<QColor> ChooseColour(QWidget*, const QColor&) override {
    ++asked;
    if (!colour.isValid()) return std::nullopt;
    return colour;
  }
  QColor colour = Qt::darkGreen;
  int asked = 0;
};

class ScriptedPicker : public ComponentPicker {
 public:
  bool Available() const override { return available; }
  std::optional<PickedComponent> Pick(QWidget*) override {
    ++picks;
    return pick;
  }
  bool available = true;
  std::optional<PickedComponent> pick;
  int picks = 0;
};

}  // namespace kvil::uitest
