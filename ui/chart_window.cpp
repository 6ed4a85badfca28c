#include "ui/chart_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QDrag>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMimeData>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <cmath>

#ifdef KVIL_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

#include "common/interaction.h"
#include "ui/chart_edit_dialog.h"
#include "ui/formula_text.h"
#include "ui/services.h"

namespace kvil {

namespace {

const char* const kLabelMime = "application/x-kvil-chart-label";

QFont ArialPixels(int pixels, bool bold = false, bool italic = false) {
  QFont f("Arial");
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setItalic(italic);
  return f;
}

QColor SeriesColour(int i) {
  return QColor::fromRgb(kSeriesColours[i]);
}

// Round caps and joins: the segments of a curve meet without darker dots.
QPen CurvePen(const QColor& colour, int width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

int LabelTop(int i) {  // 0-based label
  return 16 + 24 * i;
}

// The label a drag carries, from its MIME data; nullptr when it is not one of ours.
ChartLabel* DraggedLabel(const QMimeData* mime, QWidget* anyWidget) {
  if (!mime || !mime->hasFormat(kLabelMime)) return nullptr;
  const qulonglong address = mime->data(kLabelMime).toULongLong();
  auto* window = qobject_cast<TGR_Form*>(anyWidget->window());
  if (!window) return nullptr;
  for (int i = 0; i < kMaxChartSeries; ++i)
    if (reinterpret_cast<qulonglong>(window->Label(i)) == address) return window->Label(i);
  return nullptr;
}

}  // namespace

// The chart control: reports the cursor and accepts dropped labels.
class ChartView : public QChartView {
 public:
  ChartView(QChart* chart, TGR_Form* owner) : QChartView(chart, owner), owner_(owner) {
    setMouseTracking(true);
    setAcceptDrops(true);
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing);
  }

 protected:
  void mouseMoveEvent(QMouseEvent* e) override {
    owner_->ShowCursor(e->position().toPoint());
    QChartView::mouseMoveEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    owner_->HideCursor();
    QChartView::leaveEvent(e);
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    if (ChartLabel* label = DraggedLabel(e->mimeData(), this)) {
      owner_->DropLabel(label, this, e->position().toPoint());
      e->acceptProposedAction();
    }
  }

 private:
  TGR_Form* owner_;
};

// ---------------------------------------------------------------------------------
// ChartLabel

ChartLabel::ChartLabel(int index, QWidget* parent) : QLabel(parent), index_(index) {
  setFont(ArialPixels(13, true, true));
  setAcceptDrops(true);
  setCursor(Qt::OpenHandCursor);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, SeriesColour(index));
  setPalette(pal);
  setAutoFillBackground(false);
}

QSize ChartLabel::sizeHint() const {
  const QFontMetrics fm(font());
  return QSize(fm.horizontalAdvance(text()) + 6, fm.height() + 2);
}

void ChartLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                           QPalette::WindowText));
  p.setBrush(Qt::NoBrush);  // a transparent label: only the text is drawn
  DrawFormulaText(p, rect(), 2, text(), 1);
}

void ChartLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    Q_EMIT renameRequested(this);
    return;
  }
  if (e->button() == Qt::LeftButton) {
    pressed_ = true;
    pressAt_ = e->position().toPoint();
  }
}

void ChartLabel::mouseMoveEvent(QMouseEvent* e) {
  if (!pressed_ || !(e->buttons() & Qt::LeftButton)) return;
  if ((e->position().toPoint() - pressAt_).manhattanLength() < QApplication::startDragDistance())
    return;
  pressed_ = false;
  auto* mime = new QMimeData;
  mime->setData(kLabelMime, QByteArray::number(reinterpret_cast<qulonglong>(this)));
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  drag->setPixmap(grab());
  drag->setHotSpot(QPoint(0, 0));  // the label lands with its corner at the drop point
  drag->exec(Qt::MoveAction);
}

void ChartLabel::dragEnterEvent(QDragEnterEvent* e) {
  if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
}

void ChartLabel::dragMoveEvent(QDragMoveEvent* e) {
  if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
}

void ChartLabel::dropEvent(QDropEvent* e) {
  ChartLabel* label = DraggedLabel(e->mimeData(), this);
  auto* window = qobject_cast<TGR_Form*>(this->window());
  if (!label || !window) return;
  window->DropLabel(label, this, e->position().toPoint());
  e->acceptProposedAction();
}

// ---------------------------------------------------------------------------------
// TGR_Form

TGR_Form::TGR_Form(const ResultsTable& table, bool concentration, const QString& baseName,
                   Interaction& ui, ChartServices services, QWidget* parent)
    : QDialog(parent),
      table_(table),
      concentration_(concentration),
      baseName_(baseName),
      ui_(ui),
      services_(std::move(services)) {
  setModal(true);
  setAcceptDrops(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setAttribute(Qt::WA_DeleteOnClose, false);

  chart_ = new QChart;
  chart_->setBackgroundBrush(Qt::white);
  chart_->setBackgroundRoundness(0);
  chart_->setDropShadowEnabled(false);
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->hide();
  chart_->legend()->setFont(ArialPixels(12));
  // The chart's own legend (the editor turns it on) sits under the plot, clear of the
  // title at its top.
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(6, 24, 14, 4));
  title_ = new QGraphicsSimpleTextItem(chart_);
  title_->setFont(ArialPixels(14, true));
  connect(chart_, &QChart::plotAreaChanged, this, [this] { PlaceTitle(); });
  for (int i = 0; i < kMaxChartSeries; ++i) {
    series_[i] = new QLineSeries(chart_);
    series_[i]->setPen(CurvePen(SeriesColour(i), 2));
    series_[i]->setPointsVisible(false);
  }
  for (QCategoryAxis** axis : {&bottom_, &left_, &right_}) {
    *axis = new QCategoryAxis;
    (*axis)->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    (*axis)->setLabelsFont(ArialPixels(11));
    (*axis)->setTitleFont(ArialPixels(12));
    (*axis)->setGridLineColor(QColor(0xd8, 0xd8, 0xd8));
    (*axis)->setLinePenColor(Qt::black);
    (*axis)->setLabelsColor(Qt::black);
    (*axis)->setTitleBrush(Qt::black);
  }
  chart_->addAxis(bottom_, Qt::AlignBottom);
  chart_->addAxis(left_, Qt::AlignLeft);
  chart_->addAxis(right_, Qt::AlignRight);
  right_->setGridLineVisible(false);  // the left axis's grid serves both
  right_->setVisible(false);
  view_ = new ChartView(chart_, this);
  view_->setBackgroundBrush(Qt::white);

  for (int i = 0; i < kMaxChartSeries; ++i) {
    labels_[i] = new ChartLabel(i, this);
    labels_[i]->hide();
    connect(labels_[i], &ChartLabel::renameRequested, this, &TGR_Form::RenameLabel);
  }

  panel_ = new QWidget(this);
  cursorCaption_ = new QLabel("Cursor coordinates: ", panel_);
  xyLabel_ = new QLabel(panel_);
  for (QLabel* l : {cursorCaption_, xyLabel_}) l->setFont(ArialPixels(11));
  xyLabel_->setFont([] {
    QFont f("Monospace");
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(11);
    return f;
  }());
  cursorCaption_->hide();
  xyLabel_->hide();

  axisBox_ = new QGroupBox(" Axis scale", this);
  logX_ = new QCheckBox("Log(&X)", axisBox_);
  logY_ = new QCheckBox("Log(&Y)", axisBox_);
  connect(logX_, &QCheckBox::clicked, this, &TGR_Form::ToggleLogX);
  connect(logY_, &QCheckBox::clicked, this, &TGR_Form::ToggleLogY);

  auto button = [this](const QString& text, const QString& hint) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
  };
  editButton_ = button("&Edit", "Graph editor");
  printButton_ = button("&Print", "Print chart area.");
  exportButton_ = button("Expor&t", "Save the chart as a PNG, SVG or PDF file.");
  helpButton_ = button("&Help", QString());
  closeButton_ = button("&Close", "Close the window.");
  editButton_->setObjectName("EditBTN");
  printButton_->setObjectName("PrintBTN");
  exportButton_->setObjectName("ExportBTN");
  helpButton_->setObjectName("HelpBTN");
  closeButton_->setObjectName("CloseBTN");
  helpButton_->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
  closeButton_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  connect(editButton_, &QPushButton::clicked, this, &TGR_Form::EditChart);
  connect(printButton_, &QPushButton::clicked, this, &TGR_Form::PrintChart);
  connect(exportButton_, &QPushButton::clicked, this, &TGR_Form::ExportChart);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (services_.help) services_.help->ShowHelp(this, kChartHelpContext);
  });
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);

  resize(626, 436);
  if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  Rebuild();
  LayOut();
}

TGR_Form::~TGR_Form() = default;

QWidget* TGR_Form::ChartWidget() const {
  return view_;
}

QString TGR_Form::ChartTitle() const {
  return title_->text();
}

void TGR_Form::PlaceTitle() {
  const QRectF area = chart_->plotArea();
  title_->setPos(area.left(), std::max(2.0, area.top() - title_->boundingRect().height() - 4));
}

QStringList TGR_Form::AxisLabels(bool bottom) const {
  return (bottom ? bottom_ : left_)->categoriesLabels();
}

QStringList TGR_Form::RightAxisLabels() const { return right_->categoriesLabels(); }

QString TGR_Form::RightAxisTitle() const { return right_->isVisible() ? right_->titleText() : QString(); }

void TGR_Form::SetAxes(const AxisRange& x, const AxisRange& y, const AxisRange& y2) {
  // The axes live as long as the chart; only their categories change.  The labels of a
  // logarithmic axis are the values at the decades.
  auto fill = [](QCategoryAxis* axis, const AxisRange& r) {
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    const double span = r.max - r.min;
    axis->setRange(r.min, r.max);
    axis->setStartValue(r.min - span * 1e-9);
    for (const AxisTick& t : TicksOf(r)) axis->append(QString::fromStdString(t.text), t.value);
  };
  shownX_ = x;
  shownY_ = y;
  shownY2_ = y2;
  fill(bottom_, x);
  fill(left_, y);
  right_->setVisible(data_.twoAxes);
  if (data_.twoAxes) fill(right_, y2);
  for (int u = 0; u < kMaxChartSeries; ++u) {
    QLineSeries* s = series_[u];
    if (!chart_->series().contains(s)) continue;
    const bool onRight = u < int(data_.series.size()) && data_.series[u].axis == 1;
    QCategoryAxis* vertical = onRight ? right_ : left_;
    QCategoryAxis* other = onRight ? left_ : right_;
    if (!s->attachedAxes().contains(bottom_)) s->attachAxis(bottom_);
    if (s->attachedAxes().contains(other)) s->detachAxis(other);
    if (!s->attachedAxes().contains(vertical)) s->attachAxis(vertical);
  }
  bottom_->setTitleText(QString::fromStdString(data_.foot).trimmed());
  left_->setTitleText(leftTitle_);
  left_->setTitleVisible(!leftTitle_.isEmpty());
  right_->setTitleText(QString::fromStdString(data_.rightTitle));
  right_->setTitleVisible(data_.twoAxes && !data_.rightTitle.empty());
  // With two axes, an axis that carries one curve has its title in that curve's colour.
  for (int a = 0; a < 2; ++a) {
    int only = -1, count = 0;
    for (int u = 0; u < int(data_.series.size()) && u < kMaxChartSeries; ++u)
      if (data_.series[u].axis == a) {
        only = u;
        ++count;
      }
    const QColor colour = data_.twoAxes && count == 1 ? series_[only]->pen().color() : QColor(Qt::black);
    (a == 0 ? left_ : right_)->setTitleBrush(colour);
  }
}

void TGR_Form::Rebuild() {
  setWindowTitle("GRAPH for " + baseName_);
  data_ = BuildChartData(table_, concentration_, logXOn_, logYOn_);
  title_->setText(QString::fromStdString(data_.title));
  leftTitle_ = QString::fromStdString(data_.leftTitle);

  for (int i = 0; i < kMaxChartSeries; ++i) {
    series_[i]->clear();
    if (chart_->series().contains(series_[i])) chart_->removeSeries(series_[i]);
    labels_[i]->setText(QString());
    labels_[i]->hide();
  }
  logX_->setEnabled(true);
  logY_->setEnabled(true);

  for (int u = 0; u < int(data_.series.size()) && u < kMaxChartSeries; ++u) {
    QLineSeries* s = series_[u];
    const ChartSeries& cs = data_.series[u];
    s->setName(QString::fromStdString(cs.title).trimmed());
    QList<QPointF> points;
    for (const auto& [x, y] : cs.points) points.append(QPointF(x, y));
    s->replace(points);
    chart_->addSeries(s);
    ChartLabel* label = labels_[u];
    label->setParent(this);
    label->setText(QString::fromStdString(cs.title).trimmed());
    label->adjustSize();
    label->show();
  }
  logX_->setEnabled(data_.logXAllowed);
  logY_->setEnabled(data_.logYAllowed);
  SetAxes(RoundedRange(data_.x), RoundedRange(data_.y), RoundedRange(data_.y2));
  PlaceTitle();
  if (!data_.ok) ui_.Error("Invalid value in the table. Graph cannot be plotted !");
}

void TGR_Form::ToggleLogX() {
  logXOn_ = !logXOn_;
  logX_->setChecked(logXOn_);
  Rebuild();
  LayOut();
}

void TGR_Form::ToggleLogY() {
  logYOn_ = !logYOn_;
  logY_->setChecked(logYOn_);
  Rebuild();
  LayOut();
}

void TGR_Form::LayOut() {
  int w = 0;
  for (ChartLabel* l : labels_) w = std::max(w, l->fontMetrics().horizontalAdvance(l->text()));
  w = std::max(w + 8, 40);
  const int chartHeight = std::max(height() - 70, 100);
  const int chartWidth = std::max(width() - w - 10, 100);
  view_->setGeometry(0, 0, chartWidth, chartHeight);
  panel_->setGeometry(0, chartHeight, chartWidth, 20);
  cursorCaption_->adjustSize();
  cursorCaption_->move(8, 3);
  xyLabel_->setGeometry(8 + cursorCaption_->width(), 3, chartWidth - cursorCaption_->width() - 16, 14);
  axisBox_->setGeometry(6, chartHeight + 23, 180, 42);
  logX_->setGeometry(10, 16, 80, 22);
  logY_->setGeometry(94, 16, 80, 22);
  int x = 196;
  for (QPushButton* b : {editButton_, printButton_, exportButton_, helpButton_, closeButton_}) {
    b->setGeometry(x, chartHeight + 34, 80, 27);
    x += 84;
  }
  for (int i = 0; i < kMaxChartSeries; ++i) {
    ChartLabel* l = labels_[i];
    const bool visible = !l->isHidden();
    l->setParent(this);
    l->adjustSize();
    l->move(chartWidth + 10, LabelTop(i));
    l->setVisible(visible);
  }
}

void TGR_Form::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  LayOut();
}

void TGR_Form::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    if (services_.help) services_.help->ShowHelp(this, kChartHelpContext);
    return;
  }
  QDialog::keyPressEvent(e);
}

void TGR_Form::ShowCursor(const QPoint& viewPos) {
  const QPointF inChart = chart_->mapFromScene(view_->mapToScene(viewPos));
  if (data_.series.empty() || !chart_->plotArea().contains(inChart)) {
    HideCursor();
    return;
  }
  const QPointF v = chart_->mapToValue(inChart, series_[0]);
  // A logarithmic axis reads out the value, not its logarithm.
  const double x = logXOn_ ? std::pow(10.0, v.x()) : v.x();
  const double y = logYOn_ ? std::pow(10.0, v.y()) : v.y();
  xyLabel_->setText(QString::fromStdString(CursorText(x, y)));
  cursorCaption_->show();
  xyLabel_->show();
}

void TGR_Form::HideCursor() {
  cursorCaption_->hide();
  xyLabel_->hide();
}

void TGR_Form::RenameLabel(ChartLabel* label) {
  std::optional<QString> text;
  if (services_.askText) {
    text = services_.askText(this, "Text Entry Form", "New text", label->text());
  } else {
    bool ok = false;
    const QString t = QInputDialog::getText(this, "Text Entry Form", "New text",
                                            QLineEdit::Normal, label->text(), &ok);
    if (ok) text = t;
  }
  if (!text) return;
  label->setText(*text);
  label->adjustSize();
}

void TGR_Form::DropLabel(ChartLabel* label, QWidget* target, const QPoint& pos) {
  QWidget* parent = target;
  QPoint at = pos;
  if (auto* onto = qobject_cast<ChartLabel*>(target)) {
    if (onto == label) {  // a small move of the label onto itself
      parent = label->parentWidget();
      at = label->pos() + pos;
    } else {
      parent = onto->parentWidget();
      at = onto->pos() + pos;
    }
  }
  if (parent != view_) parent = this;
  label->setParent(parent);
  label->move(at);
  label->show();
  label->raise();
}

bool TGR_Form::LabelOnChart(const ChartLabel* label) const {
  return label->parentWidget() == view_;
}

void TGR_Form::dragEnterEvent(QDragEnterEvent* e) {
  if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
}

void TGR_Form::dragMoveEvent(QDragMoveEvent* e) {
  if (DraggedLabel(e->mimeData(), this)) e->acceptProposedAction();
}

void TGR_Form::dropEvent(QDropEvent* e) {
  if (ChartLabel* label = DraggedLabel(e->mimeData(), this)) {
    DropLabel(label, this, e->position().toPoint());
    e->acceptProposedAction();
  }
}

QSize TGR_Form::RenderSize() const {
  // The labels beside the chart are children of the window, the chart at its corner:
  // window coordinates are those of the drawing.
  int right = view_->width();
  for (ChartLabel* l : labels_)
    if (!l->isHidden() && !LabelOnChart(l)) right = std::max(right, l->x() + l->width() + 10);
  return QSize(right, view_->height());
}

void TGR_Form::RenderChart(QPainter& painter, const QRect& target) {
  const QSize size = RenderSize();
  const double sx = double(target.width()) / size.width();
  const double sy = double(target.height()) / size.height();
  painter.save();
  painter.fillRect(target, Qt::white);
  const QRectF chartPart(target.left(), target.top(), view_->width() * sx, view_->height() * sy);
  view_->render(&painter, chartPart, view_->viewport()->rect(), Qt::IgnoreAspectRatio);
  painter.restore();

  painter.save();
  painter.setBrush(Qt::NoBrush);
  for (ChartLabel* l : labels_) {
    if (l->isHidden()) continue;
    QFont font = l->font();
    font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * sy))));
    painter.setFont(font);
    painter.setPen(l->palette().color(QPalette::WindowText));
    const QRect box(QPoint(target.left() + int(std::lround(l->x() * sx)),
                           target.top() + int(std::lround(l->y() * sy))),
                    QPoint(target.left() + int(std::lround((l->x() + l->width()) * sx)),
                           target.top() + int(std::lround((l->y() + l->height()) * sy))));
    DrawFormulaText(painter, box, target.left() + int(std::lround((l->x() + 2) * sx)), l->text(),
                    box.top());
  }
  painter.restore();
}

bool TGR_Form::PrintTo(QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int W = printer.width(), H = printer.height();
  const QSize size = RenderSize();
  const double sx = 0.8 * W / size.width();
  const int h = int(std::lround(size.height() * sx));
  RenderChart(painter, QRect(QPoint(W / 10, H / 10), QPoint(W - W / 10, h + H / 10)));
  return painter.end();
}

void TGR_Form::PrintChart() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(windowTitle());
  const bool go = services_.askPrinter ? services_.askPrinter(this, printer)
                                       : QPrintDialog(&printer, this).exec() == QDialog::Accepted;
  if (!go) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = PrintTo(printer);
  QApplication::restoreOverrideCursor();
  if (!ok) ui_.Error("The chart could not be printed.");
}

bool TGR_Form::ExportTo(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  const QSize size = RenderSize();
  if (suffix == "svg") {
#ifdef KVIL_HAVE_QT_SVG
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(windowTitle());
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    RenderChart(painter, QRect(QPoint(0, 0), size));
    return painter.end() && QFileInfo(path).size() > 0;
#else
    return false;
#endif
  }
  if (suffix == "pdf") {
    QPdfWriter pdf(path);
    pdf.setTitle(windowTitle());
    pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(size.width() * 0.75, size.height() * 0.75),
                                            QPageSize::Point),
                                  QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    pdf.setResolution(600);
    QPainter painter;
    if (!painter.begin(&pdf)) return false;
    RenderChart(painter, QRect(0, 0, pdf.width(), pdf.height()));
    return painter.end();
  }
  QImage image(size * 2, QImage::Format_ARGB32);
  image.fill(Qt::white);
  image.setDotsPerMeterX(2 * 3780);
  image.setDotsPerMeterY(2 * 3780);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    RenderChart(painter, image.rect());
  }
  return image.save(path, "PNG");
}

void TGR_Form::ExportChart() {
  if (!services_.files) return;
  QString path = services_.files->SaveFile(
      this, "Export chart", QString(),
      {"PNG image (*.png)", "SVG image (*.svg)", "PDF document (*.pdf)"});
  if (path.isEmpty()) return;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != "png" && suffix != "svg" && suffix != "pdf") path += ".png";
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = ExportTo(path);
  QApplication::restoreOverrideCursor();
  if (!ok) ui_.Error("Cannot write " + path.toStdString());
}

TGR_Form::Appearance TGR_Form::CurrentAppearance() const {
  Appearance a;
  a.title = title_->text();
  a.bottomTitle = bottom_->titleText();
  a.xMin = shownX_.min;
  a.xMax = shownX_.max;
  a.leftTitle = left_->titleText();
  a.yMin = shownY_.min;
  a.yMax = shownY_.max;
  for (int i = 0; i < SeriesCount(); ++i) {
    a.colours.push_back(series_[i]->pen().color());
    a.widths.push_back(series_[i]->pen().width());
    a.names.push_back(series_[i]->name());
  }
  a.legend = chart_->legend()->isVisible();
  return a;
}

void TGR_Form::ApplyAppearance(const Appearance& a) {
  title_->setText(a.title);
  data_.foot = a.bottomTitle.toStdString();
  leftTitle_ = a.leftTitle;
  const AxisRange x{a.xMin, a.xMax, AxisPattern(a.xMin, a.xMax), shownX_.log};
  const AxisRange y{a.yMin, a.yMax, AxisPattern(a.yMin, a.yMax), shownY_.log};
  for (int i = 0; i < SeriesCount() && i < int(a.colours.size()); ++i) {
    series_[i]->setPen(CurvePen(a.colours[i], std::max(1, a.widths[i])));
    series_[i]->setName(a.names[i]);
    QPalette pal = labels_[i]->palette();
    pal.setColor(QPalette::WindowText, a.colours[i]);
    labels_[i]->setPalette(pal);
  }
  SetAxes(x, y, shownY2_);
  chart_->legend()->setVisible(a.legend);
  PlaceTitle();
}

void TGR_Form::EditChart() {
  ChartEditDialog dialog(CurrentAppearance(), ui_, services_.colours, this);
  const bool accepted = services_.runDialog ? services_.runDialog(dialog)
                                            : dialog.exec() == QDialog::Accepted;
  if (accepted) ApplyAppearance(dialog.Result());
}

}  // namespace kvil
