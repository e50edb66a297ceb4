// The hint window on a Qt tool-tip window.
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include "platform/hint_window.h"
#include "platform/qt/graphics_qt.h"

namespace {

constexpr int kMarginX = 3, kMarginY = 1;

class THintWidget : public QWidget {
public:
  THintWidget()
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
  }
  QString text;
  QColor ground;

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), ground);
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawText(rect().adjusted(kMarginX + 1, kMarginY, -kMarginX, -kMarginY),
               Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
  }
};

}  // namespace

struct THintWindow::Impl {
  QPointer<THintWidget> widget;
};

THintWindow::THintWindow(TComponent* AOwner) : TComponent(AOwner), impl_(std::make_unique<Impl>()) {
  EnsureGuiApplication();
  impl_->widget = new THintWidget();
  impl_->widget->ground = ToQColor(color_);
}

THintWindow::~THintWindow() { delete impl_->widget.data(); }

void THintWindow::SetColor(TColor Value) {
  color_ = Value;
  if (impl_->widget) {
    impl_->widget->ground = ToQColor(Value);
    impl_->widget->update();
  }
}

TRect THintWindow::CalcHintRect(int MaxWidth, const AnsiString& Hint) const {
  QFontMetrics fm(impl_->widget ? impl_->widget->font() : QApplication::font());
  QString t = DecodeAnsi(Hint.data(), static_cast<int>(Hint.size()));
  int inner = std::max(MaxWidth - 2 * kMarginX - 2, 1);
  QRect r = fm.boundingRect(QRect(0, 0, inner, 0), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, t);
  return TRect{0, 0, r.width() + 2 * kMarginX + 3, r.height() + 2 * kMarginY + 2};
}

void THintWindow::ActivateHint(const TRect& Rect, const AnsiString& Hint) {
  caption_ = Hint;
  bounds_ = Rect;
  THintWidget* w = impl_->widget;
  if (!w) return;
  w->text = DecodeAnsi(Hint.data(), static_cast<int>(Hint.size()));
  w->setGeometry(Rect.Left, Rect.Top, std::max(Rect.Width(), 1), std::max(Rect.Height(), 1));
  w->show();
  w->update();
}

void THintWindow::ReleaseHandle() {
  if (impl_->widget) impl_->widget->hide();
}

bool THintWindow::Showing() const { return impl_->widget && impl_->widget->isVisible(); }

void THintWindow::Update() {
  if (impl_->widget && impl_->widget->isVisible()) impl_->widget->repaint();
}
