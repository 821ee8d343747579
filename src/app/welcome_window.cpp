#include "app/welcome_window.h"

#include <cmath>
#include <iterator>
#include <numbers>

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

namespace tarvik::app {

namespace {

constexpr int kW = WelcomeWindow::kPictureWidth;
constexpr int kH = WelcomeWindow::kPictureHeight;
constexpr int kHorizon = 236;
// Where the label "Начать работу" lies on the picture.
const QRect kStartRect(520, 536, 233, 81);

void DrawSky(QPainter& p) {
  QLinearGradient sky(0, 0, 0, kHorizon);
  sky.setColorAt(0.0, QColor(14, 33, 64));
  sky.setColorAt(0.65, QColor(52, 96, 150));
  sky.setColorAt(1.0, QColor(240, 170, 110));
  p.fillRect(QRect(0, 0, kW, kHorizon), sky);

  // Low sun on the horizon with its glow.
  QRadialGradient glow(QPointF(575, kHorizon), 170);
  glow.setColorAt(0.0, QColor(255, 214, 140, 200));
  glow.setColorAt(1.0, QColor(255, 214, 140, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(575, kHorizon), 170, 170);
  p.setBrush(QColor(255, 228, 170));
  p.drawChord(QRectF(540, kHorizon - 35, 70, 70), 0, 180 * 16);
}

void DrawSea(QPainter& p) {
  QLinearGradient sea(0, kHorizon, 0, kH);
  sea.setColorAt(0.0, QColor(38, 96, 128));
  sea.setColorAt(0.35, QColor(17, 62, 92));
  sea.setColorAt(1.0, QColor(6, 24, 42));
  p.fillRect(QRect(0, kHorizon, kW, kH - kHorizon), sea);

  // Swell: sine lines that flatten and fade towards the horizon.
  p.setBrush(Qt::NoBrush);
  for (int row = 0; row < 9; ++row) {
    const double y0 = kHorizon + 6 + row * row * 1.6 + row * 3;
    const double amplitude = 0.6 + row * 0.35;
    const double length = 40 + row * 9;
    QPainterPath wave;
    wave.moveTo(0, y0);
    for (int x = 0; x <= kW; x += 4) {
      wave.lineTo(x, y0 + amplitude * std::sin(x / length * 2 * std::numbers::pi + row));
    }
    p.setPen(QPen(QColor(200, 230, 245, 70 - row * 5), 1.2));
    p.drawPath(wave);
  }
  // The sun's path on the water.
  for (int i = 0; i < 12; ++i) {
    const double y = kHorizon + 4 + i * 7;
    const double half = 10 + i * 4;
    p.setPen(QPen(QColor(255, 220, 160, 150 - i * 11), 2));
    p.drawLine(QPointF(575 - half, y), QPointF(575 + half * 0.6, y));
  }
}

void DrawVessel(QPainter& p) {
  const QColor dark(20, 28, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(dark);
  QPainterPath hull;
  hull.moveTo(150, kHorizon - 14);
  hull.lineTo(262, kHorizon - 14);
  hull.lineTo(250, kHorizon + 2);
  hull.lineTo(160, kHorizon + 2);
  hull.closeSubpath();
  p.drawPath(hull);
  p.drawRect(QRectF(200, kHorizon - 30, 34, 16));   // wheelhouse
  p.drawRect(QRectF(170, kHorizon - 52, 3, 38));    // mast
  p.setPen(QPen(dark, 1.5));
  p.drawLine(QPointF(171, kHorizon - 50), QPointF(150, kHorizon - 14));  // derrick
  p.drawLine(QPointF(171, kHorizon - 50), QPointF(262, kHorizon - 14));
  p.drawLine(QPointF(171, kHorizon - 50), QPointF(120, kHorizon + 30));  // trawl warp
}

void DrawFish(QPainter& p, QPointF centre, double length, QColor colour, bool facingLeft) {
  p.save();
  p.translate(centre);
  if (facingLeft) p.scale(-1, 1);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  QPainterPath body;
  body.moveTo(length * 0.5, 0);
  body.cubicTo(length * 0.25, -length * 0.26, -length * 0.25, -length * 0.22, -length * 0.36, 0);
  body.cubicTo(-length * 0.25, length * 0.22, length * 0.25, length * 0.26, length * 0.5, 0);
  p.drawPath(body);
  QPainterPath tail;
  tail.moveTo(-length * 0.33, 0);
  tail.lineTo(-length * 0.56, -length * 0.17);
  tail.lineTo(-length * 0.5, 0);
  tail.lineTo(-length * 0.56, length * 0.17);
  tail.closeSubpath();
  p.drawPath(tail);
  p.setBrush(QColor(10, 20, 30, colour.alpha()));
  p.drawEllipse(QPointF(length * 0.32, -length * 0.04), length * 0.035, length * 0.035);
  p.restore();
}

void DrawShoal(QPainter& p) {
  struct Fish {
    double x, y, length;
    int alpha;
    bool left;
  };
  const Fish shoal[] = {
      {95, 330, 46, 150, false},  {150, 356, 38, 130, false}, {120, 392, 52, 160, false},
      {196, 382, 34, 120, false}, {60, 372, 30, 110, false},  {232, 348, 28, 100, false},
      {640, 318, 40, 120, true},  {688, 346, 30, 100, true},  {612, 362, 26, 90, true},
      {420, 470, 70, 60, false},  {470, 505, 44, 50, false},
  };
  for (const Fish& f : shoal) {
    DrawFish(p, QPointF(f.x, f.y), f.length, QColor(190, 222, 236, f.alpha), f.left);
  }
}

// A catch-per-effort series falling over the years with a fitted curve,
// the subject of the program, drawn like a chart on the water.
void DrawChartMotif(QPainter& p) {
  const QRectF frame(40, 440, 400, 140);
  p.setPen(QPen(QColor(230, 240, 248, 150), 1.5));
  p.drawLine(frame.bottomLeft(), frame.topLeft());
  p.drawLine(frame.bottomLeft(), frame.bottomRight());
  const double cpue[] = {0.92, 0.95, 0.84, 0.80, 0.82, 0.70, 0.63, 0.66, 0.55, 0.50, 0.52, 0.44};
  const int n = static_cast<int>(std::size(cpue));
  QPainterPath fit;
  for (int i = 0; i <= 100; ++i) {
    const double t = i / 100.0;
    const double y = 0.95 * std::exp(-0.75 * t);
    const QPointF point(frame.left() + 12 + t * (frame.width() - 24),
                        frame.bottom() - y * frame.height());
    if (i == 0) fit.moveTo(point); else fit.lineTo(point);
  }
  p.setPen(QPen(QColor(255, 190, 120, 200), 2.2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(fit);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 210));
  for (int i = 0; i < n; ++i) {
    const double x = frame.left() + 12 + i * (frame.width() - 24) / (n - 1);
    const double y = frame.bottom() - cpue[i] * frame.height();
    p.drawRect(QRectF(x - 3, y - 3, 6, 6));
  }
}

void DrawTitles(QPainter& p) {
  QFont title(QStringLiteral("Sans Serif"));
  title.setPixelSize(58);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0, 0, 0, 90));
  p.drawText(QPointF(42, 84), QStringLiteral("Tarvik 4.0"));
  p.setPen(QColor(250, 250, 252));
  p.drawText(QPointF(40, 82), QStringLiteral("Tarvik 4.0"));

  QFont subtitle(QStringLiteral("Sans Serif"));
  subtitle.setPixelSize(19);
  p.setFont(subtitle);
  p.setPen(QColor(225, 236, 246));
  p.drawText(QPointF(42, 118), QStringLiteral("Оценка состояния запаса и обоснование ОДУ"));
  p.drawText(QPointF(42, 142), QStringLiteral("по данным об уловах и промысловом усилии"));
}

void DrawStartPlate(QPainter& p) {
  const QRectF plate = QRectF(kStartRect).adjusted(14, 12, -14, -12);
  QLinearGradient fill(plate.topLeft(), plate.bottomLeft());
  fill.setColorAt(0.0, QColor(238, 132, 84, 235));
  fill.setColorAt(1.0, QColor(196, 86, 52, 235));
  p.setPen(QPen(QColor(255, 255, 255, 200), 2));
  p.setBrush(fill);
  p.drawRoundedRect(plate, 14, 14);
}

}  // namespace

QPixmap WelcomeWindow::DrawPicture() {
  QImage image(kW, kH, QImage::Format_RGB888);  // 24-bit colour
  image.fill(Qt::black);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawSky(p);
  DrawSea(p);
  DrawVessel(p);
  DrawShoal(p);
  DrawChartMotif(p);
  DrawTitles(p);
  DrawStartPlate(p);
  p.end();
  return QPixmap::fromImage(image);
}

WelcomeWindow::WelcomeWindow(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName("Form2");
  setWindowTitle(QStringLiteral("Добро пожаловать!"));
  setFixedSize(kPictureWidth, kPictureHeight);

  img1_ = new QLabel(this);
  img1_->setObjectName("img1");
  img1_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
  img1_->setPixmap(DrawPicture());

  // The label lies on the picture's own plate, so it keeps the picture's
  // coordinates rather than a layout.
  label3_ = new QLabel(QStringLiteral("Начать работу"), this);
  label3_->setObjectName("Label3");
  label3_->setGeometry(kStartRect);
  label3_->setAlignment(Qt::AlignCenter);
  label3_->setWordWrap(true);
  label3_->setAttribute(Qt::WA_TranslucentBackground);
  label3_->setCursor(Qt::PointingHandCursor);
  QFont font(QStringLiteral("Comic Sans MS"));
  font.setPixelSize(21);
  font.setBold(true);
  label3_->setFont(font);
  label3_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  label3_->installEventFilter(this);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

bool WelcomeWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label3_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Label3Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void WelcomeWindow::Label3Click() {
  started_ = true;
  hide();
  emit StartRequested();
}

void WelcomeWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (!started_) emit Dismissed();
}

}  // namespace tarvik::app
