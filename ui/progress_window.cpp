#include "ui/progress_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/interaction.h"
#include "core/run.h"
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
  const char* names[] = {"P1", "P2", "VarNo", "CVarNo", "PointOf"};
  for (int i = 0; i < 5; ++i) {
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
  labels_[4]->setMinimumWidth(
      QFontMetrics(mono).horizontalAdvance(QStringLiteral("Point 100000 of 100000, about 10:00:00 left")));
  setFixedSize(sizeHint().expandedTo(QSize(237, 230)));
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &TShowState::Refresh);
}

void TShowState::ShowProgress(bool visible) {
  if (visible) {
    hidePending_ = false;
    if (isVisible()) return;
    // While a run goes on only this window and message boxes take input.
    setWindowModality(Qt::ApplicationModal);
    runClock_.start();
    // A new run: nothing of the last one is shown; its first labels are shown at once.
    for (QString& t : texts_) t.clear();
    position_ = point_ = points_ = 0;
    changed_ = true;
    labels_[4]->clear();
    Refresh();
    show();
    refresh_.start();
  } else if (isVisible() && !hidePending_) {
    hidePending_ = true;
    QTimer::singleShot(0, this, [this] {
      if (hidePending_) Finish();
    });
  }
}

void TShowState::Finish() {
  hidePending_ = false;
  refresh_.stop();
  hide();
}

void TShowState::SetLabels(const QString& parameter1, const QString& parameter2,
                           const QString& parameterVariant, const QString& componentVariant) {
  texts_[0] = parameter1;
  texts_[1] = parameter2;
  texts_[2] = parameterVariant;
  texts_[3] = componentVariant;
  changed_ = true;
  if (labels_[0]->text().isEmpty()) Refresh();
}

void TShowState::SetPosition(int position) {
  position_ = std::clamp(position, 0, 100);
  changed_ = true;
}

void TShowState::SetPoint(int point, int points) {
  point_ = point;
  points_ = points;
  changed_ = true;
  if (labels_[4]->text().isEmpty() && point > 0) Refresh();
}

void TShowState::Refresh() {
  // The time left changes with the clock even when the values do not.
  if (point_ > 0)
    labels_[4]->setText(QString::fromStdString(
        PointProgressText(point_, points_, runClock_.isValid() ? runClock_.elapsed() / 1000.0 : 0)));
  if (!changed_) return;
  changed_ = false;
  for (int i = 0; i < 4; ++i)
    if (labels_[i]->text() != texts_[i]) labels_[i]->setText(texts_[i]);
  meter_->setValue(position_);
}

QString TShowState::labelText(int which) const {
  if (which >= 0 && which < 4) return texts_[which];
  return labels_[4]->text();
}

void TShowState::Stop() {
  if (ui_.AskYesNo(MessageKind::Confirmation, "Terminate calculations ?"))
    session_.ws.state.cancel = true;
}

void TShowState::reject() {}

void TShowState::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace kvil
