#include "ui/progress_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/interaction.h"
#include "core/session.h"

namespace kvil {

TShowState::TShowState(Session& session, Interaction& ui, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      session_(session),
      ui_(ui),
      meter_(new QProgressBar(this)),
      stop_(new QPushButton(QStringLiteral("STOP"), this)) {
  setWindowTitle(QStringLiteral("Calculation parameters"));
  setObjectName(QStringLiteral("progressWindow"));
  setModal(false);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(13);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 14, 20, 14);
  layout->setSpacing(10);
  const char* names[] = {"P1", "P2", "VarNo", "CVarNo"};
  for (int i = 0; i < 4; ++i) {
    labels_[i] = new QLabel(this);
    labels_[i]->setObjectName(QLatin1String(names[i]));
    labels_[i]->setFont(mono);
    labels_[i]->setStyleSheet(QStringLiteral("color: navy;"));
    labels_[i]->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QString(24, QLatin1Char('0'))));
    layout->addWidget(labels_[i]);
  }
  auto* iteration = new QLabel(QStringLiteral("Iteration"), this);
  iteration->setFont(mono);
  iteration->setStyleSheet(QStringLiteral("color: navy;"));
  iteration->setAlignment(Qt::AlignHCenter);
  layout->addWidget(iteration);
  meter_->setObjectName(QStringLiteral("Meter"));
  meter_->setRange(0, 100);
  meter_->setTextVisible(false);
  meter_->setFixedHeight(23);
  layout->addWidget(meter_);
  stop_->setObjectName(QStringLiteral("STOP"));
  stop_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
  stop_->setMinimumWidth(125);
  stop_->setAutoDefault(false);
  layout->addWidget(stop_, 0, Qt::AlignHCenter);
  connect(stop_, &QPushButton::clicked, this, &TShowState::Stop);
  setFixedSize(sizeHint().expandedTo(QSize(237, 230)));
}

void TShowState::ShowProgress(bool visible) {
  if (visible) {
    // While a run goes on only this window and message boxes take input.
    setWindowModality(Qt::ApplicationModal);
    if (!isVisible()) show();
    repaint();
  } else {
    hide();
  }
}

void TShowState::SetLabels(const QString& parameter1, const QString& parameter2,
                           const QString& parameterVariant, const QString& componentVariant) {
  labels_[0]->setText(parameter1);
  labels_[1]->setText(parameter2);
  labels_[2]->setText(parameterVariant);
  labels_[3]->setText(componentVariant);
  if (isVisible()) repaint();
}

void TShowState::SetPosition(int position) {
  meter_->setValue(std::clamp(position, 0, 100));
  if (isVisible()) meter_->repaint();
}

QString TShowState::labelText(int which) const { return labels_[which]->text(); }

void TShowState::Stop() {
  if (ui_.AskYesNo(MessageKind::Confirmation, "Terminate calculations ?"))
    session_.ws.state.cancel = true;
}

void TShowState::reject() {}

void TShowState::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace kvil
