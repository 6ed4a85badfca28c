#include "ui/qt_interaction.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/services.h"

namespace kvil {

namespace {

QString Title(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information: return QStringLiteral("Information");
    case MessageKind::Warning: return QStringLiteral("Warning");
    case MessageKind::Error: return QStringLiteral("Error");
    case MessageKind::Confirmation: return QStringLiteral("Confirm");
    case MessageKind::Plain: break;
  }
  return QStringLiteral("KVIL");
}

QMessageBox::Icon Icon(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Confirmation: return QMessageBox::Question;
    case MessageKind::Plain: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

Answer QtInteraction::Message(MessageKind kind, const std::string& text, Buttons buttons) {
  QMessageBox box(Icon(kind), Title(kind), QString::fromStdString(text), QMessageBox::NoButton,
                  parent_ ? parent_->window() : nullptr);
  box.setObjectName(QStringLiteral("kvilMessageBox"));
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::YesNoDefaultNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  const int pressed = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  switch (pressed) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::No;
  }
}

void QtInteraction::ShowProgress(bool visible) {
  if (progress_) progress_->ShowProgress(visible);
}

void QtInteraction::SetProgressLabels(const ProgressLabels& labels) {
  if (!progress_) return;
  progress_->SetLabels(QString::fromStdString(labels.parameter1),
                       QString::fromStdString(labels.parameter2),
                       QString::fromStdString(labels.parameterVariant),
                       QString::fromStdString(labels.componentVariant));
  progress_->SetPoint(labels.point, labels.points);
}

void QtInteraction::SetProgressPosition(int position) {
  if (progress_) progress_->SetPosition(position);
}

void QtInteraction::ProcessPendingInput() {
  // The run asks before every solve, thousands of times a second on a fast task; the
  // desktop is asked for its events at most every kInputInterval, which keeps STOP
  // and the window's repaints as prompt as a person can tell.
  if (inputClock_.isValid() && inputClock_.elapsed() < kInputIntervalMs) return;
  QApplication::processEvents();
  inputClock_.start();
}

}  // namespace kvil
