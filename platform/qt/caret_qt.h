#pragma once
// Platform-internal: the caret, drawn by the client widget of its owner over the painted
// surface, so that showing, hiding and blinking it only shows the few pixels it covers again;
// the control is never asked to repaint for it.
#include <QPainter>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>

class TWinControl;

struct CaretState {
  QPointer<QWidget> client;  // the owner's client widget
  QPointer<QTimer> timer;    // the blink
  TWinControl* owner = nullptr;
  int width = 0, height = 0, x = 0, y = 0;
  int hideCount = 1;  // a new caret is hidden
  bool on = true;     // the blink phase
  int blinks = 0;     // since the caret last moved or showed
  QRect shown;        // where the screen shows it (empty: nowhere)
};

CaretState& Caret();

// The client widget whose paint event is running: caret changes meanwhile are drawn at its end.
extern QWidget* gPaintingClient;

// Draws the caret over a client widget's paint; a change it missed is shown after it.
void PaintCaret(QWidget* client, QPainter& p, const QRegion& painted);
