#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "platform/qt/caret_qt.h"
#include "platform/qt/control_host.h"

// The caret is drawn by the client widget of its owner over the painted surface, so that
// showing, hiding and blinking it only shows the few pixels it covers again; the control is
// never asked to repaint for it.
CaretState& Caret() {
  static CaretState c;
  return c;
}

QWidget* gPaintingClient = nullptr;

namespace {

QRect WantedCaretRect() {
  const CaretState& c = Caret();
  if (!c.client || c.hideCount > 0 || !c.on) return QRect();
  return QRect(c.x, c.y, std::max(c.width, 1), std::max(c.height, 1));
}

// Shows the caret where it is now wanted: the old and the new place are shown again.
void RefreshCaret() {
  CaretState& c = Caret();
  if (!c.client || c.client == gPaintingClient) return;
  QRect want = WantedCaretRect();
  if (want == c.shown) return;
  QRegion r = QRegion(c.shown) + QRegion(want);
  c.shown = want;
  c.client->update(r);
}

void SyncCaret() {
  CaretState& c = Caret();
  if (!c.client) return;
  if (c.hideCount <= 0) {
    // A caret that moves or shows starts its blink shown.
    c.on = true;
    c.blinks = 0;
    if (c.timer) c.timer->start();
  } else if (c.timer) {
    c.timer->stop();
  }
  RefreshCaret();
}

}  // namespace

void PaintCaret(QWidget* client, QPainter& p, const QRegion& painted) {
  CaretState& c = Caret();
  if (c.client != client) return;
  QRect want = WantedCaretRect();
  if (!want.isEmpty()) {
    p.save();
    p.setClipRegion(painted);
    p.setCompositionMode(QPainter::CompositionMode_Difference);
    p.fillRect(want, Qt::white);
    p.restore();
  }
  if (want != c.shown) {
    QRegion rest = (QRegion(c.shown) + QRegion(want)) - painted;
    c.shown = want;
    if (!rest.isEmpty()) client->update(rest);
  }
}

void CreateCaret(TWinControl* Owner, int Width, int Height) {
  DestroyCaret();
  if (!Owner || !Owner->HandleAllocated()) return;
  CaretState& c = Caret();
  c.owner = Owner;
  c.width = Width;
  c.height = Height;
  c.hideCount = 1;
  c.on = true;
  c.shown = QRect();
  QWidget* client = Owner->Host()->Client();
  c.client = client;
  auto* timer = new QTimer(client);
  timer->setInterval(CaretBlinkTime());
  QObject::connect(timer, &QTimer::timeout, timer, [] {
    CaretState& c = Caret();
    // A caret left alone for a while stops blinking, shown, as the desktop's carets do: an idle
    // window draws nothing.
    const int blinksBeforeRest = std::max(2, 10000 / std::max(CaretBlinkTime(), 1));  // about ten seconds
    if (++c.blinks >= blinksBeforeRest && c.on) {
      c.timer->stop();
      return;
    }
    c.on = !c.on;
    RefreshCaret();
  });
  c.timer = timer;
  SyncCaret();
}

void DestroyCaret() {
  CaretState& c = Caret();
  delete c.timer.data();
  if (c.client && !c.shown.isEmpty()) c.client->update(c.shown);
  c = CaretState();
}

void SetCaretPos(int X, int Y) {
  CaretState& c = Caret();
  c.x = X;
  c.y = Y;
  SyncCaret();
}

TPoint GetCaretPos() { return TPoint{Caret().x, Caret().y}; }

void ShowSystemCaret(TWinControl* Owner) {
  CaretState& c = Caret();
  if (c.owner != Owner || !c.client) return;
  if (c.hideCount > 0) --c.hideCount;
  SyncCaret();
}

void HideSystemCaret(TWinControl* Owner) {
  CaretState& c = Caret();
  if (c.owner != Owner || !c.client) return;
  ++c.hideCount;
  SyncCaret();
}

bool CaretVisible() { return Caret().client && Caret().hideCount <= 0; }

int CaretBlinkTime() {
  int t = QApplication::cursorFlashTime();
  return t > 0 ? t / 2 : 530;
}
