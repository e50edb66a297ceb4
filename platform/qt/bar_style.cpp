#include "platform/qt/bar_style.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace {

struct Look {
  bool xp = true;
  bool shadows = false;
};

// The look of every bar that has one; a bar leaves the table when it is destroyed.
QHash<const QWidget*, Look>& Looks() {
  static QHash<const QWidget*, Look> looks;
  return looks;
}

const Look* LookOfBar(const QWidget* bar) {
  auto& looks = Looks();
  auto it = looks.constFind(bar);
  return it == looks.constEnd() ? nullptr : &*it;
}

// XP colours.
const QColor kXpBar(0xf3, 0xf2, 0xec);
const QColor kXpMenu(0xfc, 0xfc, 0xf9);
const QColor kXpMenuBorder(0x8a, 0x86, 0x7a);
const QColor kXpSelected(0xc1, 0xd2, 0xee);
const QColor kXpSelectedBorder(0x31, 0x6a, 0xc5);
const QColor kXpChecked(0xe1, 0xe6, 0xee);
const QColor kXpDisabledText(0xac, 0xa8, 0x99);
const QColor kXpSeparator(0xc5, 0xc2, 0xb8);
const QColor kXpToolTop(0xfb, 0xfb, 0xf8);
const QColor kXpToolBottom(0xde, 0xdb, 0xd0);
const QColor kShadow(0x9a, 0x9a, 0x9a);

// Paddings of a drop-down menu's entries and of a menu bar's items.
constexpr int kItemPadV = 3;
constexpr int kBarItemPadH = 7;
constexpr int kMenuPadRight = 24;
int MenuPadLeft(const Look& l) { return l.xp ? 28 : 24; }
int MenuIconLeft(const Look& l) { return l.xp ? 6 : 4; }
// A tool button: a 1-pixel border and 2 pixels of padding around its content.
constexpr int kButtonInset = 3;
// The submenu arrow of a drop-down menu's entry.
constexpr int kArrow = 9;

QColor Active(const QPalette& pal, QPalette::ColorRole role) { return pal.color(QPalette::Active, role); }

// A frame inside r: top and left 1 pixel wide in one colour (owning the corners), bottom and
// right `width` pixels wide in another.
void DrawFrame(QPainter* p, const QRect& r, const QColor& topLeft, const QColor& bottomRight, int width = 1) {
  p->fillRect(QRect(r.left(), r.bottom() + 1 - width, r.width(), width), bottomRight);
  p->fillRect(QRect(r.right() + 1 - width, r.top(), width, r.height()), bottomRight);
  p->fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  p->fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
}

// A raised (outset) or sunken (inset) 1-pixel frame in colour c: the lit edges take c lighter.
void DrawBevel(QPainter* p, const QRect& r, const QColor& c, bool raised) {
  QColor light = c.lighter();
  if (raised) DrawFrame(p, r, light, c);
  else DrawFrame(p, r, c, light);
}

// The icon of a standard pixmap made by the base style only when first drawn or measured: the
// extension buttons of the bars ask for theirs when built, and most never show.
class TDeferredStandardIcon : public QIconEngine {
public:
  TDeferredStandardIcon(QStyle* base, QStyle::StandardPixmap which) : base_(base), which_(which) {}

  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Icon().paint(p, rect, Qt::AlignCenter, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().actualSize(size, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    return Icon().pixmap(size, scale, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Icon().availableSizes(mode, state);
  }
  bool isNull() override { return false; }
  QString key() const override { return QStringLiteral("vt-deferred-standard"); }
  QIconEngine* clone() const override { return new TDeferredStandardIcon(*this); }

private:
  const QIcon& Icon() {
    if (!made_) {
      QStyle* s = base_ ? base_.data() : QApplication::style();
      icon_ = s->standardIcon(which_);
      made_ = true;
    }
    return icon_;
  }
  QPointer<QStyle> base_;
  QStyle::StandardPixmap which_;
  QIcon icon_;
  bool made_ = false;
};

class TActionBarStyle : public QProxyStyle {
public:
  TActionBarStyle() = default;

  int styleHint(StyleHint h, const QStyleOption* opt, const QWidget* w, QStyleHintReturn* r) const override {
    if (h == SH_MenuBar_AltKeyNavigation) return w && w->property(kMenuKeysProperty).toBool();
    return QProxyStyle::styleHint(h, opt, w, r);
  }

  int pixelMetric(PixelMetric m, const QStyleOption* opt, const QWidget* w) const override {
    switch (m) {
      case PM_MenuPanelWidth:
        if (MenuLook(w)) return 1;
        break;
      case PM_MenuHMargin:
      case PM_MenuVMargin:
        if (MenuLook(w)) return 0;
        break;
      case PM_ToolBarItemMargin:
        if (ToolBarLook(w)) return 0;
        break;
      case PM_ToolBarFrameWidth:
      case PM_ToolBarItemSpacing:
        if (ToolBarLook(w)) return 1;
        break;
      case PM_MenuButtonIndicator:
        if (ButtonLook(w)) return 0;
        break;
      default:
        break;
    }
    return QProxyStyle::pixelMetric(m, opt, w);
  }

  QSize sizeFromContents(ContentsType t, const QStyleOption* opt, const QSize& size,
                         const QWidget* w) const override {
    switch (t) {
      case CT_MenuBarItem:
        if (MenuBarLook(w)) return size + QSize(2 * kBarItemPadH, 2 * kItemPadV);
        break;
      case CT_MenuItem:
        if (const Look* l = MenuLook(w))
          if (auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt)) return MenuItemSize(*l, mi, size);
        break;
      case CT_ToolButton:
        // Border and padding, and 3 pixels of air around the picture (a 16-pixel picture makes
        // a 25-pixel button).
        if (ButtonLook(w)) return size + QSize(3 + 2 * kButtonInset, 3 + 2 * kButtonInset);
        break;
      default:
        break;
    }
    return QProxyStyle::sizeFromContents(t, opt, size, w);
  }

  void drawPrimitive(PrimitiveElement e, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
    switch (e) {
      case PE_PanelMenu:
        if (const Look* l = MenuLook(w)) {
          DrawMenuPanel(*l, opt, p, true);
          return;
        }
        break;
      case PE_FrameMenu:
        if (const Look* l = MenuLook(w)) {
          DrawMenuPanel(*l, opt, p, false);
          return;
        }
        break;
      default:
        break;
    }
    QProxyStyle::drawPrimitive(e, opt, p, w);
  }

  void drawControl(ControlElement e, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
    switch (e) {
      case CE_MenuBarEmptyArea:
        if (const Look* l = MenuBarLook(w)) {
          p->fillRect(opt->rect, BarBackground(*l, opt->palette));
          return;
        }
        break;
      case CE_MenuBarItem:
        if (const Look* l = MenuBarLook(w))
          if (auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt)) {
            DrawMenuBarItem(*l, mi, p, w);
            return;
          }
        break;
      case CE_MenuEmptyArea:
        if (MenuLook(w)) return;  // the panel is filled already
        break;
      case CE_MenuItem:
        if (const Look* l = MenuLook(w))
          if (auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt)) {
            DrawMenuItem(*l, mi, p, w);
            return;
          }
        break;
      case CE_ToolBar:
        if (const Look* l = ToolBarLook(w)) {
          DrawToolBar(*l, opt, p);
          return;
        }
        break;
      default:
        break;
    }
    QProxyStyle::drawControl(e, opt, p, w);
  }

  void drawComplexControl(ComplexControl cc, const QStyleOptionComplex* opt, QPainter* p,
                          const QWidget* w) const override {
    if (cc == CC_ToolButton)
      if (const Look* l = ButtonLook(w))
        if (auto* tb = qstyleoption_cast<const QStyleOptionToolButton*>(opt)) {
          DrawToolButton(*l, tb, p, w);
          return;
        }
    QProxyStyle::drawComplexControl(cc, opt, p, w);
  }

  QIcon standardIcon(StandardPixmap sp, const QStyleOption* opt, const QWidget* w) const override {
    if (sp == SP_ToolBarHorizontalExtensionButton || sp == SP_ToolBarVerticalExtensionButton)
      return QIcon(new TDeferredStandardIcon(baseStyle(), sp));
    return QProxyStyle::standardIcon(sp, opt, w);
  }

private:
  static const Look* MenuBarLook(const QWidget* w) {
    return qobject_cast<const QMenuBar*>(w) ? LookOfBar(w) : nullptr;
  }
  static const Look* ToolBarLook(const QWidget* w) {
    return qobject_cast<const QToolBar*>(w) ? LookOfBar(w) : nullptr;
  }
  // A button of a tool bar (its extension button too).
  static const Look* ButtonLook(const QWidget* w) {
    if (!qobject_cast<const QToolButton*>(w)) return nullptr;
    return ToolBarLook(w->parentWidget());
  }
  // A drop-down menu of a menu bar, or of anything inside one (a submenu).
  static const Look* MenuLook(const QWidget* w) {
    if (!qobject_cast<const QMenu*>(w)) return nullptr;
    for (const QWidget* up = w->parentWidget(); up; up = up->parentWidget()) {
      if (qobject_cast<const QMenuBar*>(up)) return LookOfBar(up);
      if (qobject_cast<const QToolBar*>(up)) return nullptr;
    }
    return nullptr;
  }

  static QColor BarBackground(const Look& l, const QPalette& pal) {
    return l.xp ? kXpBar : Active(pal, QPalette::Button);
  }

  QSize MenuItemSize(const Look& l, const QStyleOptionMenuItem* mi, const QSize& size) const {
    if (mi->menuItemType == QStyleOptionMenuItem::Separator)
      return l.xp ? QSize(size.width() + 32, 1 + 4) : QSize(size.width() + 4, 4 + 6);
    QSize sz = size;
    if (mi->text.contains(QLatin1Char('\t'))) sz.rwidth() += 12;
    if (!mi->icon.isNull()) {
      int small = proxy()->pixelMetric(PM_SmallIconSize, mi, nullptr);
      sz.rwidth() += std::max(mi->maxIconWidth, mi->icon.actualSize(QSize(small, small)).width()) + 4;
    } else if (mi->menuHasCheckableItems) {
      sz.rwidth() += std::max(mi->maxIconWidth, CheckMarkSize().width()) + 4;
    } else {
      sz.rwidth() += mi->maxIconWidth;
    }
    return sz + QSize(MenuPadLeft(l) + kMenuPadRight, 2 * kItemPadV);
  }

  QSize CheckMarkSize() const {
    return QSize(proxy()->pixelMetric(PM_IndicatorWidth), proxy()->pixelMetric(PM_IndicatorHeight));
  }

  // The menu's background and border; with shadows the right and bottom border is a wider band.
  static void DrawMenuPanel(const Look& l, const QStyleOption* opt, QPainter* p, bool fill) {
    const QRect r = opt->rect;
    int right = l.shadows ? 3 : 1, bottom = l.shadows ? 3 : 1;
    if (fill) p->fillRect(r.adjusted(1, 1, -right, -bottom), l.xp ? kXpMenu : Active(opt->palette, QPalette::Button));
    QColor topLeft = l.xp ? kXpMenuBorder : Active(opt->palette, QPalette::Mid).lighter();
    QColor bottomRight = l.xp ? kXpMenuBorder : Active(opt->palette, QPalette::Mid);
    if (l.shadows) DrawFrame(p, r, topLeft, kShadow, 3);
    else DrawFrame(p, r, topLeft, bottomRight);
  }

  void DrawMenuBarItem(const Look& l, const QStyleOptionMenuItem* mi, QPainter* p, const QWidget* w) const {
    QRect r = mi->rect;
    bool selected = mi->state & State_Selected;
    QPalette pal = mi->palette;
    p->fillRect(r, BarBackground(l, pal));
    QRect box = r;
    if (selected) {
      if (l.xp) {
        p->fillRect(r, kXpSelected);
        DrawFrame(p, r, kXpSelectedBorder, kXpSelectedBorder);
        box = r.adjusted(1, 1, -1, -1);
      } else {
        p->fillRect(r, Active(pal, QPalette::Highlight));
        pal.setColor(QPalette::ButtonText, Active(pal, QPalette::HighlightedText));
      }
    }
    QRect content = box.adjusted(kBarItemPadH, kItemPadV, -kBarItemPadH, -kItemPadV);
    int align = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
    if (!proxy()->styleHint(SH_UnderlineShortcut, mi, w)) align |= Qt::TextHideMnemonic;
    int extent = proxy()->pixelMetric(PM_SmallIconSize, mi, w);
    QPixmap pix = mi->icon.pixmap(extent, (mi->state & State_Enabled) ? QIcon::Normal : QIcon::Disabled);
    if (!pix.isNull()) proxy()->drawItemPixmap(p, content, align, pix);
    else proxy()->drawItemText(p, content, align, pal, mi->state & State_Enabled, mi->text, QPalette::ButtonText);
  }

  void DrawMenuItem(const Look& l, const QStyleOptionMenuItem* mi, QPainter* p, const QWidget* w) const {
    const QRect r = mi->rect;
    const QPalette& pal = mi->palette;
    if (mi->menuItemType == QStyleOptionMenuItem::Separator) {
      if (l.xp) {
        p->fillRect(QRect(r.left() + 28, r.top() + 2, r.width() - 32, 1), kXpSeparator);
      } else {
        QRect b = r.adjusted(2, 3, -2, -3);
        p->fillRect(QRect(b.left(), b.top(), b.width(), 1), Active(pal, QPalette::Mid));
        p->fillRect(QRect(b.left(), b.bottom(), b.width(), 1), Active(pal, QPalette::Light));
      }
      return;
    }
    const bool selected = mi->state & State_Selected;
    const bool enabled = mi->state & State_Enabled;
    const bool checked = mi->checkType != QStyleOptionMenuItem::NotCheckable && mi->checked;
    QRect box = r;  // inside the border
    QColor text;
    if (l.xp) {
      if (selected) {
        p->fillRect(r, kXpSelected);
        DrawFrame(p, r, kXpSelectedBorder, kXpSelectedBorder);
        box = r.adjusted(1, 1, -1, -1);
      }
      text = enabled ? QColor(Qt::black) : kXpDisabledText;
    } else {
      if (selected) {
        p->fillRect(r, Active(pal, QPalette::Highlight));
        text = Active(pal, QPalette::HighlightedText);
      } else {
        text = pal.buttonText().color();
      }
    }
    const QRect content = box.adjusted(MenuPadLeft(l), kItemPadV, -kMenuPadRight, -kItemPadV);
    int textOffset = mi->maxIconWidth;
    if (!mi->icon.isNull()) {
      QIcon::Mode mode = !enabled ? QIcon::Disabled : selected ? QIcon::Active : QIcon::Normal;
      int extent = proxy()->pixelMetric(PM_SmallIconSize, mi, w);
      QPixmap pix = mi->icon.pixmap(extent, mode, checked ? QIcon::On : QIcon::Off);
      QSize ps = pix.deviceIndependentSize().toSize();
      QRect iconRect(QPoint(box.left() + MenuIconLeft(l), box.top() + (box.height() - ps.height()) / 2), ps);
      textOffset = std::max(mi->maxIconWidth, iconRect.width());
      p->drawPixmap(iconRect.topLeft(), pix);
    } else if (mi->checkType != QStyleOptionMenuItem::NotCheckable) {
      QSize cs = CheckMarkSize();
      QRect mark(QPoint(box.left(), box.top() + (box.height() - cs.height()) / 2), cs);
      if (checked) {
        QStyleOptionMenuItem m = *mi;
        m.rect = mark;
        m.state |= State_On;
        m.palette.setBrush(QPalette::Text, text);
        m.palette.setBrush(QPalette::ButtonText, text);
        m.palette.setBrush(QPalette::HighlightedText, text);
        proxy()->drawPrimitive(PE_IndicatorMenuCheckMark, &m, p, w);
      }
      textOffset = std::max(textOffset, mark.width());
    }
    QRect textRect = content;
    textRect.setLeft(textRect.left() + textOffset);
    textRect.setWidth(textRect.width() - mi->reservedShortcutWidth);
    p->save();
    p->setPen(text);
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
    if (!proxy()->styleHint(SH_UnderlineShortcut, mi, w)) flags |= Qt::TextHideMnemonic;
    QString s = mi->text;
    qsizetype tab = s.indexOf(QLatin1Char('\t'));
    if (tab >= 0) {
      p->drawText(QRect(textRect.topRight(), QPoint(content.right(), textRect.bottom())), flags, s.mid(tab + 1));
      s.truncate(tab);
    }
    p->drawText(textRect, flags, s);
    p->restore();
    if (mi->menuItemType == QStyleOptionMenuItem::SubMenu) {
      QStyleOptionMenuItem arrow = *mi;
      arrow.rect = QRect(box.right() - 1 - kArrow, box.top() + (box.height() - kArrow) / 2 + 1, kArrow, kArrow);
      arrow.palette.setBrush(QPalette::ButtonText, text);
      arrow.palette.setBrush(QPalette::WindowText, text);
      proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, p, w);
    }
  }

  static void DrawToolBar(const Look& l, const QStyleOption* opt, QPainter* p) {
    if (l.xp) {
      QLinearGradient g(0, 0, 0, 1);
      g.setCoordinateMode(QGradient::ObjectBoundingMode);
      g.setColorAt(0, kXpToolTop);
      g.setColorAt(1, kXpToolBottom);
      p->fillRect(opt->rect, g);
    } else {
      p->fillRect(opt->rect, Active(opt->palette, QPalette::Button));
    }
  }

  void DrawToolButton(const Look& l, const QStyleOptionToolButton* tb, QPainter* p, const QWidget* w) const {
    const QRect r = tb->rect;
    const bool hover = tb->state & State_MouseOver;
    const bool on = tb->state & State_On;
    if (l.xp) {
      if (on || hover) {
        p->fillRect(r, on ? kXpChecked : kXpSelected);
        DrawFrame(p, r, kXpSelectedBorder, kXpSelectedBorder);
      }
    } else if (on || hover) {
      DrawBevel(p, r, Active(tb->palette, QPalette::Mid), !on);
    }
    QStyleOptionToolButton label = *tb;
    label.rect = r.adjusted(kButtonInset, kButtonInset, -kButtonInset, -kButtonInset);
    proxy()->drawControl(CE_ToolButtonLabel, &label, p, w);
    if (tb->subControls & SC_ToolButtonMenu) {
      // The drop-down part of a button with a menu, as the desktop's style draws it.
      QStyleOptionToolButton menu = *tb;
      int ext = baseStyle()->pixelMetric(PM_MenuButtonIndicator);
      menu.rect = QRect(r.right() + 1 - ext, r.top(), ext, r.height());
      baseStyle()->drawPrimitive(PE_IndicatorButtonDropDown, &menu, p, w);
      baseStyle()->drawPrimitive(PE_IndicatorArrowDown, &menu, p, w);
    } else if (tb->features & QStyleOptionToolButton::HasMenu) {
      QStyleOptionToolButton arrow = *tb;
      int ext = proxy()->pixelMetric(PM_MenuButtonIndicator, tb, nullptr);
      arrow.rect = QRect(label.rect.right() + 1 - ext, label.rect.bottom() + 1 - ext, ext, ext);
      proxy()->drawPrimitive(PE_IndicatorArrowDown, &arrow, p, w);
    }
  }
};

}  // namespace

void InstallActionBarStyle() { QApplication::setStyle(new TActionBarStyle); }

void SetActionBarLook(QWidget* bar, bool xp, bool shadows) {
  auto& looks = Looks();
  auto it = looks.find(bar);
  if (it == looks.end()) {
    QObject::connect(bar, &QObject::destroyed, [bar] { Looks().remove(bar); });
  } else if (it->xp == xp && it->shadows == shadows) {
    return;
  }
  looks[bar] = Look{xp, shadows};
  // Sizes may change with the look (a menu's entries): the bar and everything in it measure and
  // paint again.
  QList<QWidget*> all = bar->findChildren<QWidget*>();
  all.prepend(bar);
  for (QWidget* w : all) {
    QEvent change(QEvent::StyleChange);
    QApplication::sendEvent(w, &change);
    w->update();
  }
}
