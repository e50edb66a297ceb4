#pragma once
// Platform-internal: helpers of the standard controls, menus and action bars on Qt widgets.
#include <QIcon>
#include <QMenu>
#include <QString>

#include "platform/ansi.h"
#include "platform/shortcuts.h"

class QMessageBox;
class TImageList;
class TMenuItem;
class TActionClientItem;

inline QString QStr(const AnsiString& s) { return QString::fromStdString(AnsiToUtf8(s)); }
inline AnsiString FromQStr(const QString& s) { return Utf8ToAnsiDropping(s.toStdString()); }
// A tool tip showing a text as it is: the toolkit would take a text that looks like mark-up
// (a hint quoting a tag) for rich text.
QString PlainToolTip(const AnsiString& s);
// A message box's caption, text (a lone CR breaks the line) and icon (the MB_ICON flags), the
// text shown as it is.
void FillMessageBox(QMessageBox& box, const AnsiString& Text, const AnsiString& Caption, unsigned Flags);
// An image of a list as an icon (null when the list or index has none).
QIcon ImageListIcon(TImageList* images, int index);
// A menu entry's text: caption, then a tab and the shortcut's text when it has one.
QString MenuText(const AnsiString& caption, TShortCut shortCut);
// Fills a Qt menu with the sub-items of a menu item (rebuilt each time it is shown).
void FillMenu(QMenu* menu, TMenuItem* item);
// Fills a Qt menu with the sub-items of an action-bar item.
void FillActionMenu(QMenu* menu, TActionClientItem* item, TImageList* images);
