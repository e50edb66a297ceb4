#include "platform/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/forms.h"
#include "platform/graphics.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"

namespace {

TDialogHook& Hook() {
  static TDialogHook h;
  return h;
}
int gBeeps = 0;

}  // namespace

QWidget* DialogOwnerWidget(TWinControl* owner) {
  if (owner && owner->HandleAllocated()) return owner->Host()->Frame()->window();
  if (QWidget* w = QApplication::activeWindow()) return w;
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  TCustomForm* main = Application->MainForm();
  if (main && main->HandleAllocated() && main->Host()->Frame()->isVisible()) return main->Host()->Frame();
  return nullptr;
}

namespace {

std::optional<TDialogAnswer> AskHook(const TDialogRequest& r) {
  if (Hook()) return Hook()(r);
  return std::nullopt;
}

}  // namespace

void SetDialogHook(TDialogHook hook) { Hook() = std::move(hook); }
const TDialogHook& DialogHook() { return Hook(); }

bool DialogsCanShow() {
  EnsureGuiApplication();
  return QGuiApplication::platformName() != QLatin1String("offscreen") &&
         QGuiApplication::platformName() != QLatin1String("minimal");
}

// ------------------------------------------------------------------------------ message boxes

void FillMessageBox(QMessageBox& box, const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
  box.setWindowTitle(QStr(Caption));
  // The text as it is, never read as mark-up: an HTML editor's messages quote tags all the time.
  box.setTextFormat(Qt::PlainText);
  // A lone CR breaks the line, as the system's message boxes show it.
  box.setText(QStr(Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n')));
  switch (Flags & 0xF0) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  // The box (laid out by now) is wide enough for its caption and the frame's buttons: a short
  // text would leave the caption cut off.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 120;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
}

int MessageBox(TWinControl* Owner, const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
  TDialogRequest req;
  req.Kind = dkMessageBox;
  req.Caption = Caption;
  req.Text = Text;
  req.Flags = Flags;
  unsigned buttons = Flags & 0xF;
  int fallback = buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL || buttons == MB_RETRYCANCEL ? IDCANCEL
                 : buttons == MB_YESNO                              ? IDNO
                                                                    : IDOK;
  if (auto a = AskHook(req)) return a->Result;
  if (!DialogsCanShow()) {
    fprintf(stderr, "%s: %s\n", AnsiToUtf8(Caption).c_str(), AnsiToUtf8(Text).c_str());
    return fallback;
  }
  QMessageBox box(DialogOwnerWidget(Owner));
  FillMessageBox(box, Text, Caption, Flags);
  std::vector<std::pair<QPushButton*, int>> map;
  auto add = [&](const char* text, QMessageBox::ButtonRole role, int id) {
    QPushButton* b = box.addButton(QStr(W1251(text)), role);
    map.emplace_back(b, id);
    return b;
  };
  QPushButton* first = nullptr;
  QPushButton* escape = nullptr;
  switch (buttons) {
    case MB_YESNOCANCEL:
      first = add("&Да", QMessageBox::YesRole, IDYES);
      add("&Нет", QMessageBox::NoRole, IDNO);
      escape = add("Отмена", QMessageBox::RejectRole, IDCANCEL);
      break;
    case MB_YESNO:
      first = add("&Да", QMessageBox::YesRole, IDYES);
      escape = add("&Нет", QMessageBox::NoRole, IDNO);
      break;
    case MB_OKCANCEL:
      first = add("Ok", QMessageBox::AcceptRole, IDOK);
      escape = add("Отмена", QMessageBox::RejectRole, IDCANCEL);
      break;
    case MB_RETRYCANCEL:
      first = add("&Повтор", QMessageBox::AcceptRole, IDRETRY);
      escape = add("Отмена", QMessageBox::RejectRole, IDCANCEL);
      break;
    default:
      first = escape = add("Ok", QMessageBox::AcceptRole, IDOK);
      break;
  }
  // The second button is the default when asked (a "No" that a hasty Enter should choose).
  box.setDefaultButton(Flags & MB_DEFBUTTON2 && map.size() > 1 ? map[1].first : first);
  box.setEscapeButton(escape);
  box.exec();
  for (auto& [b, id] : map)
    if (box.clickedButton() == b) return id;
  return fallback;
}

int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, unsigned Buttons) {
  const char* caption = "";
  unsigned icon = 0;
  switch (DlgType) {
    case mtWarning: caption = "Внимание!"; icon = MB_ICONWARNING; break;
    case mtError: caption = "Ошибка"; icon = MB_ICONSTOP; break;
    case mtInformation: caption = "Информация"; icon = MB_ICONINFORMATION; break;
    case mtConfirmation: caption = "Вопрос"; icon = MB_ICONQUESTION; break;
    default: break;
  }
  unsigned b = MB_OK;
  bool yes = Buttons & mbYes, no = Buttons & mbNo, cancel = Buttons & mbCancel;
  if (yes && no && cancel) b = MB_YESNOCANCEL;
  else if (yes && no) b = MB_YESNO;
  else if (cancel) b = MB_OKCANCEL;
  AnsiString cap = DlgType == mtCustom ? Application->Title() : W1251(caption);
  return MessageBox(nullptr, Msg, cap, b | icon);
}

void ShowMessage(const AnsiString& Msg) {
  AnsiString caption = Application->Title();
  if (caption.empty()) caption = ChangeFileExt(ExtractFileName(Application->ExeName()), "");
  MessageBox(nullptr, Msg, caption, MB_OK);
}

void MessageBeep(unsigned) {
  ++gBeeps;
  if (QCoreApplication::instance()) QApplication::beep();
}

int MessageBeepCount() { return gBeeps; }

// ------------------------------------------------------------------------------ file dialogs

std::vector<std::string> FilterToNameFilters(const AnsiString& filter) {
  std::vector<std::string> out;
  std::vector<AnsiString> parts;
  AnsiString cur;
  for (char c : filter) {
    if (c == '|') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    AnsiString pats;
    AnsiString p;
    auto flush = [&] {
      AnsiString t = Trim(p);
      if (!t.empty()) pats += (pats.empty() ? "" : " ") + t;
      p.clear();
    };
    for (char c : parts[i + 1]) {
      if (c == ';') flush();
      else p += c;
    }
    flush();
    out.push_back(AnsiToUtf8(parts[i]) + " (" + AnsiToUtf8(pats) + ")");
  }
  return out;
}

AnsiString AddDefaultExt(const AnsiString& name, const AnsiString& defaultExt) {
  if (name.empty() || defaultExt.empty()) return name;
  if (!ExtractFileExt(name).empty()) return name;
  AnsiString ext = defaultExt[0] == '.' ? defaultExt.substr(1) : defaultExt;
  return name + "." + ext;
}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TOpenDialog::Execute() {
  TDialogRequest req;
  req.Kind = IsSave() ? dkSaveFile : dkOpenFile;
  // Without a title of its own the dialog is called what it does, as the system's dialogs are.
  req.Caption = !Title.empty() ? Title : W1251(IsSave() ? "Сохранить как" : "Открыть");
  req.Filter = Filter;
  req.FilterIndex = FilterIndex;
  req.DefaultExt = DefaultExt;
  req.FileName = FileName;
  req.InitialDir = InitialDir;
  req.OverwritePrompt = Options & ofOverwritePrompt;
  if (auto a = AskHook(req)) {
    if (a->Result != IDOK || a->FileName.empty()) return false;
    FileName = AddDefaultExt(a->FileName, DefaultExt);
    return true;
  }
  if (!DialogsCanShow()) return false;
  QFileDialog dlg(DialogOwnerWidget(nullptr), QStr(req.Caption));
  dlg.setAcceptMode(IsSave() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(IsSave() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters;
  for (auto& f : FilterToNameFilters(Filter)) filters << QString::fromStdString(f);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    int i = std::clamp(FilterIndex, 1, static_cast<int>(filters.size())) - 1;
    dlg.selectNameFilter(filters[i]);
  }
  if (!DefaultExt.empty()) dlg.setDefaultSuffix(QStr(DefaultExt));
  if (!(Options & ofOverwritePrompt)) dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  QString dir = QStr(InitialDir.empty() ? ExtractFileDir(FileName) : InitialDir);
  if (!dir.isEmpty()) dlg.setDirectory(dir);
  if (!FileName.empty()) dlg.selectFile(QStr(ExtractFileName(FileName)));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  FileName = AddDefaultExt(SystemNameToAnsi(dlg.selectedFiles().first().toStdString()), DefaultExt);
  FilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
  return true;
}

TColorDialog::TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool BrowseForFolder(TWinControl* Owner, const AnsiString& Title, AnsiString& Folder) {
  TDialogRequest req;
  req.Kind = dkBrowseFolder;
  req.Caption = Title;
  req.FileName = Folder;
  if (auto a = AskHook(req)) {
    if (a->Result != IDOK || a->FileName.empty()) return false;
    Folder = a->FileName;
    return true;
  }
  if (!DialogsCanShow()) return false;
  QString dir = QFileDialog::getExistingDirectory(DialogOwnerWidget(Owner), QStr(Title), QStr(Folder), QFileDialog::ShowDirsOnly);
  if (dir.isEmpty()) return false;
  Folder = FromQStr(dir);
  return true;
}

bool TColorDialog::Execute() {
  TDialogRequest req;
  req.Kind = dkColor;
  req.Color = Color;
  if (auto a = AskHook(req)) {
    if (a->Result != IDOK) return false;
    Color = a->Color;
    return true;
  }
  if (!DialogsCanShow()) return false;
  QColor c = QColorDialog::getColor(ToQColor(Color), DialogOwnerWidget(nullptr));
  if (!c.isValid()) return false;
  Color = FromQColor(c);
  return true;
}
