#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/actions.h"
#include "platform/application.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/forms.h"
#include "platform/grids.h"
#include "platform/input_simulation.h"
#include "platform/menus.h"
#include "platform/shell.h"
#include "platform/stdctrls.h"

namespace {

// Records every dialog request and answers from a queue (no answer: the dialog is not shown).
struct DialogRecorder {
  std::vector<TDialogRequest> asked;
  std::vector<std::optional<TDialogAnswer>> answers;
  std::function<void(const TDialogRequest&)> onModal;
  DialogRecorder() {
    SetDialogHook([this](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
      asked.push_back(r);
      if (r.Kind == dkModalForm && onModal) onModal(r);
      if (answers.empty()) return TDialogAnswer{};
      auto a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
  }
  ~DialogRecorder() { SetDialogHook(nullptr); }
  void Answer(int result, const AnsiString& file = AnsiString(), TColor color = clBlack) {
    TDialogAnswer a;
    a.Result = result;
    a.FileName = file;
    a.Color = color;
    answers.push_back(a);
  }
};

class Handlers : public TObject {
public:
  int executed = 0, updated = 0, shown = 0, hidden = 0, queried = 0, destroyed = 0;
  bool allowClose = true;
  TCloseAction closeAction = caHide;
  std::vector<Word> previewKeys;
  bool swallowPreview = false;
  void Execute(TObject*) { ++executed; }
  void Throw(TObject*) { throw Exception(W1251("Файл не найден")); }
  void ThrowAbort(TObject*) { Abort(); }
  void Update(TObject*) { ++updated; }
  void Show(TObject*) { ++shown; }
  void Hide(TObject*) { ++hidden; }
  void Destroy(TObject*) { ++destroyed; }
  void CloseQuery(TObject*, bool& can) {
    ++queried;
    can = allowClose;
  }
  void Close(TObject*, TCloseAction& a) { a = closeAction; }
  void KeyDown(TObject*, Word& key, TShiftState) {
    previewKeys.push_back(key);
    if (swallowPreview) key = 0;
  }
};

TEST(Forms, ShowHideAndCloseThroughCloseQueryAndCloseAction) {
  Handlers h;
  auto* f = new TForm(nullptr);
  f->SetCaption(W1251("Проба"));
  f->OnShow = TNotifyEvent(&h, &Handlers::Show);
  f->OnHide = TNotifyEvent(&h, &Handlers::Hide);
  f->OnCloseQuery = TCloseQueryEvent(&h, &Handlers::CloseQuery);
  f->OnClose = TCloseEvent(&h, &Handlers::Close);
  f->OnDestroy = TNotifyEvent(&h, &Handlers::Destroy);
  f->Show();
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(h.shown, 1);
  f->Show();  // already showing: no second OnShow
  EXPECT_EQ(h.shown, 1);

  h.allowClose = false;
  f->Close();
  EXPECT_EQ(h.queried, 1);
  EXPECT_TRUE(f->Visible());

  h.allowClose = true;
  h.closeAction = caNone;
  f->Close();
  EXPECT_TRUE(f->Visible());

  h.closeAction = caHide;
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(h.hidden, 1);

  // The window system's close button goes the same way.
  f->Show();
  h.allowClose = false;
  f->FrameCloseRequested();
  EXPECT_TRUE(f->Visible());

  // caFree frees the form once the message in progress is done.
  h.allowClose = true;
  h.closeAction = caFree;
  int forms = Screen->FormCount();
  f->Close();
  EXPECT_EQ(h.destroyed, 0);
  for (int i = 0; i < 5 && Screen->FormCount() == forms; ++i) ProcessMessages();
  EXPECT_EQ(Screen->FormCount(), forms - 1);
  EXPECT_EQ(h.destroyed, 1);
}

// A window owned by another (a dialog of the main form) stays above its owner's window, also
// while the owner is switched off for it; when it closes, the owner's control that had the focus
// takes the keys again.
struct SwitchesOwnerOff : TObject {
  TCustomForm* owner = nullptr;
  void Show(TObject*) { owner->SetEnabled(false); }
  void Hide(TObject*) { owner->SetEnabled(true); }
};

TEST(Forms, OwnedWindowStaysAboveItsOwnerAndGivesTheFocusBack) {
  auto* main = new TForm(nullptr);
  Application->SetMainForm(main);
  auto* first = new TEdit(main);
  first->SetParent(main);
  auto* second = new TEdit(main);
  second->SetParent(main);
  second->SetBounds(0, 30, 121, 21);
  main->Show();
  ProcessMessages();
  second->SetFocus();
  ASSERT_TRUE(second->Focused());

  auto* dlg = new TForm(nullptr);  // owned by nobody: the main form's window owns its window
  dlg->SetFormBorderStyle(bsDialog);
  auto* field = new TEdit(dlg);
  field->SetParent(dlg);
  SwitchesOwnerOff off;
  off.owner = main;
  dlg->OnShow = TNotifyEvent(&off, &SwitchesOwnerOff::Show);
  dlg->OnHide = TNotifyEvent(&off, &SwitchesOwnerOff::Hide);
  EXPECT_EQ(dlg->OwnerForm(), main);
  dlg->Show();
  ProcessMessages();
  EXPECT_FALSE(main->Enabled());
  EXPECT_EQ(dlg->ShownAbove(), main);
  EXPECT_EQ(main->ShownAbove(), nullptr);
  EXPECT_TRUE(field->Focused());
  // A dialog of the dialog stays above the dialog, and gives its focus back too.
  auto* inner = new TForm(dlg);
  inner->Show();
  EXPECT_EQ(inner->ShownAbove(), dlg);
  ProcessMessages();
  inner->Hide();
  ProcessMessages();
  EXPECT_TRUE(field->Focused());
  // Activating the switched-off owner (a click on its title) activates the dialog instead.
  main->BringToFront();
  ProcessMessages();
  EXPECT_TRUE(dlg->Active());
  EXPECT_TRUE(field->Focused());

  dlg->Hide();
  ProcessMessages();
  EXPECT_TRUE(main->Enabled());
  EXPECT_TRUE(main->Active());
  EXPECT_TRUE(second->Focused());
  // The same when the dialog goes away once closed.
  dlg->Show();
  ProcessMessages();
  dlg->OnHide = nullptr;
  main->SetEnabled(true);
  dlg->Release();
  ProcessMessages();
  EXPECT_TRUE(second->Focused());
  Application->SetMainForm(nullptr);
  delete main;
}

TEST(Forms, MainFormClosingEndsTheApplication) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  Application->SetMainForm(main);
  main->Show();
  main->Close();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(main->Visible());
  delete main;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Forms, PlacementIsKeptWhileMaximised) {
  TForm f(nullptr);
  f.SetBounds(40, 30, 320, 200);
  f.Show();
  EXPECT_EQ(f.Width(), 320);
  EXPECT_EQ(f.Height(), 200);
  EXPECT_EQ(f.Left(), 40);
  f.SetWindowState(wsMaximized);
  ProcessMessages();
  EXPECT_EQ(f.WindowState(), wsMaximized);
  // A placement set while maximised is the normal-state placement.
  f.SetBounds(50, 60, 300, 180);
  EXPECT_EQ(f.WindowState(), wsMaximized);
  f.SetWindowState(wsNormal);
  ProcessMessages();
  EXPECT_EQ(f.WindowState(), wsNormal);
  EXPECT_EQ(f.Width(), 300);
  EXPECT_EQ(f.Height(), 180);
  EXPECT_EQ(f.Left(), 50);
  EXPECT_EQ(f.Top(), 60);

  // Shown maximised at once, before the window system told the frame's decorations: restored by
  // the window manager, the frame takes the placement, every time.
  TForm m(nullptr);
  m.SetWindowState(wsMaximized);
  m.SetBounds(60, 50, 330, 210);
  m.Show();
  ProcessMessages();
  EXPECT_EQ(m.WindowState(), wsMaximized);
  for (int i = 0; i < 2; ++i) {
    SimulateWindowManagerState(&m, wsNormal);
    ProcessMessages();
    EXPECT_EQ(m.WindowState(), wsNormal);
    EXPECT_EQ(m.Width(), 330) << i;
    EXPECT_EQ(m.Height(), 210) << i;
    EXPECT_EQ(m.Left(), 60) << i;
    EXPECT_EQ(m.Top(), 50) << i;
    SimulateWindowManagerState(&m, wsMaximized);
    ProcessMessages();
    EXPECT_EQ(m.WindowState(), wsMaximized);
  }

  TForm c(nullptr);
  c.SetBounds(0, 0, 200, 100);
  c.SetPosition(poScreenCenter);
  c.Show();
  EXPECT_EQ(c.Left(), Screen->Width() / 2 - 100);
  EXPECT_EQ(c.Top(), Screen->Height() / 2 - 50);
}

TEST(Forms, ModalFormAnsweredThroughTheHook) {
  DialogRecorder rec;
  Handlers h;
  TForm dlg(nullptr);
  dlg.SetCaption("Dialog");
  auto* ok = new TButton(&dlg);
  ok->SetParent(&dlg);
  ok->SetCaption("OK");
  ok->SetModalResult(mrOk);
  dlg.OnCloseQuery = TCloseQueryEvent(&h, &Handlers::CloseQuery);
  // The hook plays the user: it sees the form showing and presses its button.
  bool sawVisible = false;
  rec.onModal = [&](const TDialogRequest& r) {
    sawVisible = r.Form == &dlg && dlg.Visible() && dlg.Modal();
    ok->Click();
  };
  EXPECT_EQ(dlg.ShowModal(), mrOk);
  EXPECT_TRUE(sawVisible);
  EXPECT_EQ(h.queried, 1);
  EXPECT_FALSE(dlg.Visible());
  EXPECT_FALSE(dlg.Modal());

  // A refused close query keeps the form; a hook that gives up cancels it.
  h.allowClose = false;
  int rounds = 0;
  rec.onModal = [&](const TDialogRequest&) {
    if (++rounds == 1) ok->Click();
  };
  rec.Answer(mrNone);
  rec.Answer(mrNone);
  EXPECT_EQ(dlg.ShowModal(), mrCancel);
  EXPECT_EQ(rounds, 2);
  EXPECT_FALSE(dlg.Visible());

  // Esc presses the cancel button and Enter the default one.
  auto* cancel = new TButton(&dlg);
  cancel->SetParent(&dlg);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  ok->SetDefault(true);
  h.allowClose = true;
  rec.onModal = [&](const TDialogRequest&) { SimulateKeyStroke(ok, VK_ESCAPE); };
  EXPECT_EQ(dlg.ShowModal(), mrCancel);
  rec.onModal = [&](const TDialogRequest&) { SimulateKeyStroke(cancel, VK_RETURN); };
  EXPECT_EQ(dlg.ShowModal(), mrOk);

  // The hook's answer is the modal result.
  h.allowClose = true;
  rec.onModal = nullptr;
  rec.Answer(mrYes);
  EXPECT_EQ(dlg.ShowModal(), mrYes);
}

// Enter and Esc in a grid's open cell editor end the edit; they press no button of the dialog.
TEST(Forms, KeysOfAnOpenCellEditorStayWithTheCell) {
  Handlers h;
  TForm f(nullptr);
  f.SetFormBorderStyle(bsDialog);
  auto* grid = new TValueListEditor(&f);
  grid->SetParent(&f);
  grid->SetBounds(0, 0, 300, 150);
  grid->Strings()->Add("teh=the");
  auto* cancel = new TButton(&f);
  cancel->SetParent(&f);
  cancel->SetBounds(0, 160, 75, 25);
  cancel->SetCancel(true);
  cancel->OnClick = TNotifyEvent(&h, &Handlers::Execute);
  f.Show();
  ProcessMessages();
  grid->SetRow(1);
  grid->SetFocus();
  SimulateKeyStroke(grid, 'X', {}, "x");  // typing opens the cell's editor
  SimulateKeyStroke(grid, VK_ESCAPE);
  EXPECT_EQ(h.executed, 0);
  EXPECT_TRUE(f.Visible());
  // With no editor open, Esc presses the cancel button.
  grid->SetFocus();
  SimulateKeyStroke(grid, VK_ESCAPE);
  EXPECT_EQ(h.executed, 1);
}

TEST(Dialogs, MessageBoxesAndFileDialogsAnsweredThroughTheHook) {
  DialogRecorder rec;
  rec.Answer(IDNO);
  EXPECT_EQ(MessageBox(nullptr, "Save?", W1251("Вопрос"), MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(rec.asked.size(), 1u);
  EXPECT_EQ(rec.asked[0].Caption, W1251("Вопрос"));
  EXPECT_EQ(rec.asked[0].Flags, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));

  rec.Answer(IDOK);
  MessageDlg("careful", mtWarning, mbOK);
  EXPECT_EQ(rec.asked.back().Caption, W1251("Внимание!"));
  rec.Answer(IDOK);
  MessageDlg("info", mtInformation, mbOK);
  EXPECT_EQ(rec.asked.back().Caption, W1251("Информация"));
  Application->SetTitle("Vantry Tarn 1.2");
  rec.Answer(IDOK);
  ShowMessage("done");
  EXPECT_EQ(rec.asked.back().Caption, "Vantry Tarn 1.2");
  EXPECT_EQ(rec.asked.back().Flags & 0xF, unsigned(MB_OK));
  // A box shows its text as it is, mark-up included; a lone CR breaks the line.
  for (const char* text : {"\"<html>\" не является целым числом.", "<b>bold</b>", "<p>a & b</p>"})
    EXPECT_EQ(ShownMessageText(W1251(text)), text);
  EXPECT_EQ(ShownMessageText("<i>one\rtwo</i>"), "<i>one\ntwo</i>");

  TSaveDialog save(nullptr);
  save.Filter = W1251("Веб-страницы|*.htm; *.html|Все файлы|*.*");
  save.DefaultExt = "html";
  save.FileName = W1251("Новый");
  save.Options |= ofOverwritePrompt;
  rec.Answer(IDOK, "/tmp/page");
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName, "/tmp/page.html");
  EXPECT_EQ(rec.asked.back().Kind, dkSaveFile);
  EXPECT_EQ(rec.asked.back().FileName, W1251("Новый"));
  EXPECT_TRUE(rec.asked.back().OverwritePrompt);
  rec.Answer(IDOK, "/tmp/page.htm");
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName, "/tmp/page.htm");  // an extension of its own stays
  rec.Answer(IDCANCEL);
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName, "/tmp/page.htm");

  auto filters = FilterToNameFilters(save.Filter);
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0], "Веб-страницы (*.htm *.html)");
  EXPECT_EQ(filters[1], "Все файлы (*.*)");

  TColorDialog color(nullptr);
  rec.Answer(IDOK, "", clRed);
  ASSERT_TRUE(color.Execute());
  EXPECT_EQ(color.Color, clRed);
  rec.Answer(IDCANCEL, "", clBlue);
  EXPECT_FALSE(color.Execute());
  EXPECT_EQ(color.Color, clRed);
}

TEST(Dialogs, WithoutHookHeadlessDialogsAnswerAsCancelled) {
  SetDialogHook(nullptr);
  EXPECT_FALSE(DialogsCanShow());
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OK), IDOK);
  TOpenDialog open(nullptr);
  EXPECT_FALSE(open.Execute());
  TForm f(nullptr);
  EXPECT_EQ(f.ShowModal(), mrCancel);
}

TEST(Application, EscapedExceptionsShowInAMessageBoxAndAbortIsSilent) {
  DialogRecorder rec;
  Application->Initialize();
  Handlers h;
  TForm f(nullptr);
  auto* list = new TActionList(&f);
  TAction* bad = list->NewAction("Bad", "", "Bad", ShortCut('B', {ssCtrl}));
  bad->OnExecute = TNotifyEvent(&h, &Handlers::Throw);
  TAction* quiet = list->NewAction("Quiet", "", "Quiet", ShortCut('Q', {ssCtrl}));
  quiet->OnExecute = TNotifyEvent(&h, &Handlers::ThrowAbort);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  f.Show();
  SimulateKeyStroke(panel, 'B', {ssCtrl});
  ASSERT_EQ(rec.asked.size(), 1u);
  EXPECT_EQ(rec.asked[0].Caption, W1251("Ошибка"));
  EXPECT_EQ(rec.asked[0].Text, W1251("Файл не найден."));
  EXPECT_EQ(rec.asked[0].Flags & 0xF0, unsigned(MB_ICONSTOP));
  SimulateKeyStroke(panel, 'Q', {ssCtrl});
  EXPECT_EQ(rec.asked.size(), 1u);
  // A command that failed has used its key all the same: the key goes no further (a browser
  // hands a key it did not use back to its window, which would run the command again).
  struct KeySink : TCustomControl {
    using TCustomControl::TCustomControl;
    int keys = 0;
    void WndProc(TMessage& m) override {
      if (m.Msg == WM_KEYDOWN) ++keys;
      TCustomControl::WndProc(m);
    }
  };
  auto* sink = new KeySink(&f);
  sink->SetParent(&f);
  sink->SetBounds(0, 0, 50, 50);
  SimulateKeyStroke(sink, 'B', {ssCtrl});
  SimulateKeyStroke(sink, 'Q', {ssCtrl});
  EXPECT_EQ(rec.asked.size(), 2u);
  SimulateKeyStroke(sink, 'Z', {ssCtrl});
  EXPECT_EQ(sink->keys, 1);
}

TEST(Actions, ShortcutsFireThroughTheActiveForm) {
  Handlers h;
  TForm f(nullptr);
  auto* mgr = new TActionManager(&f);
  TAction* save = mgr->NewAction("FileSave", W1251("Файл"), W1251("&Сохранить"), ShortCut('S', {ssCtrl}));
  save->AddSecondaryShortCut(ShortCut(VK_F2, {}));
  save->OnExecute = TNotifyEvent(&h, &Handlers::Execute);
  save->OnUpdate = TNotifyEvent(&h, &Handlers::Update);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  panel->SetAlign(alClient);
  std::vector<Word> panelKeys;
  f.Show();

  SimulateKeyStroke(panel, 'S', {ssCtrl});
  EXPECT_EQ(h.executed, 1);
  EXPECT_GE(h.updated, 1);
  SimulateKeyStroke(panel, VK_F2);
  EXPECT_EQ(h.executed, 2);
  // Under a Russian layout the key is still S.
  SimulateKeyStroke(panel, 'S', {ssCtrl}, "", true);
  EXPECT_EQ(h.executed, 3);
  SimulateKeyStroke(panel, 'S', {ssCtrl, ssShift});
  EXPECT_EQ(h.executed, 3);
  save->SetEnabled(false);
  SimulateKeyStroke(panel, 'S', {ssCtrl});
  EXPECT_EQ(h.executed, 3);
  save->SetEnabled(true);

  // Key preview sees the key first and may take it.
  f.SetKeyPreview(true);
  f.OnKeyDown = TKeyEvent(&h, &Handlers::KeyDown);
  h.swallowPreview = true;
  SimulateKeyStroke(panel, 'S', {ssCtrl});
  EXPECT_EQ(h.executed, 3);
  ASSERT_EQ(h.previewKeys.size(), 1u);
  EXPECT_EQ(h.previewKeys[0], Word('S'));
  h.swallowPreview = false;
  SimulateKeyStroke(panel, 'S', {ssCtrl});
  EXPECT_EQ(h.executed, 4);

  // Another form's shortcuts do not fire here.
  TForm other(nullptr);
  auto* otherList = new TActionList(&other);
  Handlers h2;
  otherList->NewAction("X", "", "X", ShortCut('X', {ssCtrl}))->OnExecute = TNotifyEvent(&h2, &Handlers::Execute);
  SimulateKeyStroke(panel, 'X', {ssCtrl});
  EXPECT_EQ(h2.executed, 0);
}

TEST(Actions, AutoCheckAndGroups) {
  TActionList list(nullptr);
  TAction a(nullptr), b(nullptr), c(nullptr), ins(nullptr);
  for (TAction* x : {&a, &b, &c}) {
    x->SetActionList(&list);
    x->SetAutoCheck(true);
    x->SetGroupIndex(1);
  }
  ins.SetActionList(&list);
  ins.SetAutoCheck(true);
  ins.SetChecked(true);
  a.SetChecked(true);
  b.Execute();
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(b.Checked());
  b.Execute();  // a grouped mark stays set
  EXPECT_TRUE(b.Checked());
  EXPECT_TRUE(ins.Checked());  // another group is untouched
  ins.Execute();
  EXPECT_FALSE(ins.Checked());
  ins.Execute();
  EXPECT_TRUE(ins.Checked());
  c.SetEnabled(false);
  EXPECT_FALSE(c.Execute());
  EXPECT_FALSE(c.Checked());
  EXPECT_EQ(StripHotkey("Сохранить &как... && more"), "Сохранить как... & more");
}

TEST(ActionBars, BuiltFromTheItemTreeWithMenuKeysOnlyOnTheMainBar) {
  Handlers h;
  TForm f(nullptr);
  f.SetBounds(0, 0, 420, 260);
  auto* mgr = new TActionManager(&f);
  TAction* newA = mgr->NewAction("FileNew", W1251("Файл"), W1251("&Новый"), ShortCut('N', {ssCtrl}));
  TAction* exitA = mgr->NewAction("FileExit", W1251("Файл"), W1251("&Выход"));
  TAction* bold = mgr->NewAction("Bold", W1251("Шрифт"), W1251("Полу&жирный"), ShortCut('B', {ssCtrl}));
  newA->OnExecute = TNotifyEvent(&h, &Handlers::Execute);
  bold->OnExecute = TNotifyEvent(&h, &Handlers::Execute);
  auto* menu = new TActionMainMenuBar(&f);
  menu->SetParent(&f);
  menu->SetCaption(W1251("Меню"));
  auto* tools = new TActionToolBar(&f);
  tools->SetParent(&f);
  auto* tags = new TActionMainMenuBar(&f);
  tags->SetParent(&f);
  tags->SetMenuEvents(false);
  TActionClientItem* m = mgr->AddActionBar(menu);
  TActionClientItem* file = m->AddSubmenu(W1251("&Файл"));
  file->AddAction(newA);
  file->AddSeparator();
  TActionClientItem* sub = file->AddSubmenu(W1251("Кодировка"));
  sub->AddAction(bold, W1251("&Windows -> KOI8-R"));
  file->AddAction(exitA);
  m->AddSubmenu(W1251("&Правка"))->AddAction(bold);
  TActionClientItem* t = mgr->AddActionBar(tools);
  t->AddAction(newA);
  t->AddSeparator();
  t->AddAction(bold);
  mgr->AddActionBar(tags)->AddSubmenu(W1251("Формат"))->AddAction(bold);
  EXPECT_EQ(mgr->ItemsOf(menu), m);
  EXPECT_EQ(sub->Items(0)->DisplayCaption(), W1251("&Windows -> KOI8-R"));
  EXPECT_EQ(file->Items(0)->DisplayCaption(), W1251("&Новый"));
  EXPECT_TRUE(file->Items(1)->IsSeparator());
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  panel->SetAlign(alClient);
  f.Show();
  menu->RecreateControls();
  tools->RecreateControls();
  tags->RecreateControls();

  EXPECT_EQ(menu->ItemCount(), 2);
  EXPECT_EQ(tools->ItemCount(), 2);
  // Bars stack at the top in order, the client control takes the rest.
  EXPECT_EQ(menu->Top(), 0);
  EXPECT_EQ(tools->Top(), menu->Height());
  EXPECT_EQ(tags->Top(), menu->Height() + tools->Height());
  EXPECT_EQ(panel->Top(), tags->Top() + tags->Height());
  EXPECT_EQ(panel->Height(), f.ClientHeight() - panel->Top());

  tools->ClickItem(0);
  EXPECT_EQ(h.executed, 1);
  // Alt alone marks the first menu of the main menu bar only, without opening it; Down opens
  // it, Escape closes it, and Escape on the marked bar gives the keys back to the field.
  auto* field = new TEdit(&f);
  field->SetParent(panel);
  field->SetFocus();
  TBitmap popup;
  SimulateKeyStroke(field, VK_MENU);
  EXPECT_EQ(menu->ActiveItem(), 0);
  EXPECT_EQ(tags->ActiveItem(), -1);
  EXPECT_FALSE(GrabPopupImage(popup));
  EXPECT_FALSE(field->Focused());
  SimulateKeyStroke(nullptr, VK_DOWN);
  EXPECT_TRUE(GrabPopupImage(popup));
  SimulateKeyStroke(nullptr, VK_ESCAPE);
  EXPECT_FALSE(GrabPopupImage(popup));
  EXPECT_EQ(menu->ActiveItem(), 0);
  SimulateKeyStroke(nullptr, VK_ESCAPE);
  EXPECT_EQ(menu->ActiveItem(), -1);
  EXPECT_TRUE(field->Focused());
  // F10 does the same, and again leaves the bar.
  SimulateKeyStroke(field, VK_F10);
  EXPECT_EQ(menu->ActiveItem(), 0);
  SimulateKeyStroke(nullptr, VK_F10);
  EXPECT_EQ(menu->ActiveItem(), -1);
  EXPECT_TRUE(field->Focused());
  // Alt held over a click in the field is no tap: the bar stays unmarked, the keys the field's.
  SimulateKeyPress(field, VK_MENU);
  SimulateMouse(field, smPress, mbLeft, 2, 2, {ssAlt});
  SimulateMouse(field, smRelease, mbLeft, 2, 2, {ssAlt});
  SimulateKeyRelease(field, VK_MENU, {ssAlt});
  EXPECT_EQ(menu->ActiveItem(), -1);
  EXPECT_TRUE(field->Focused());
  // Alt with an access key (the Cyrillic letter typed) opens that menu.
  SimulateKeyStroke(panel, 'G', {ssAlt}, "п", true);
  EXPECT_EQ(menu->ActiveItem(), 1);
  menu->CloseMenus();
  // A drop-down menu stays open while the update handlers of its actions change them.
  SimulateKeyStroke(panel, VK_F10);
  SimulateKeyStroke(nullptr, VK_DOWN);
  ProcessMessages();
  std::string dir = VT_TEST_OUTPUT_DIR;
  ForceDirectories(dir);
  EXPECT_TRUE(SavePopupImage(dir + "/menu_xp_shadows.png"));
  bold->SetEnabled(false);
  newA->SetCaption(W1251("&Новый файл"));
  ProcessMessages();
  EXPECT_EQ(menu->ActiveItem(), 0);
  menu->CloseMenus();
  bold->SetEnabled(true);

  // The tag bar opens by its own command; the keys are the field's again once it closes.
  field->SetFocus();
  tags->EnterMenuLoop();
  EXPECT_EQ(tags->ActiveItem(), 0);
  SimulateKeyStroke(nullptr, VK_ESCAPE);
  EXPECT_EQ(tags->ActiveItem(), -1);
  EXPECT_TRUE(field->Focused());

  // Looks switch without losing the items.
  mgr->SetStyle(StandardStyle());
  EXPECT_EQ(mgr->Style()->Name(), "Standard");
  mgr->SetStyle(ActionBarStyleByName("XP Style"));
  EXPECT_EQ(mgr->Style(), XPStyle());
  menu->SetShadows(false);
  EXPECT_EQ(menu->ItemCount(), 2);

  // An action that goes away leaves no item pointing at it.
  delete exitA;
  EXPECT_EQ(file->Items(3)->Action(), nullptr);
  ProcessMessages();
}

// The bars draw their look themselves: the tool bar's gradient and a checked button's frame, the
// menu bar's open item, and the drop-down's frame, shadow band, background and indented separator.
TEST(ActionBars, DrawTheXpLook) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 420, 260);
  auto* mgr = new TActionManager(&f);
  auto* images = new TImageList(&f);
  TBitmap picture(16, 16);
  picture.Canvas()->Brush()->SetColor(clNavy);
  picture.Canvas()->FillRect(Rect(2, 2, 14, 14));
  images->Add(&picture, clWhite);
  mgr->SetImages(images);
  TAction* open = mgr->NewAction("Open", W1251("Файл"), W1251("&Открыть"));
  open->SetImageIndex(0);
  TAction* wrap = mgr->NewAction("Wrap", W1251("Правка"), W1251("Перенос"));
  wrap->SetImageIndex(0);
  wrap->SetAutoCheck(true);
  wrap->SetChecked(true);
  auto* menu = new TActionMainMenuBar(&f);
  menu->SetParent(&f);
  auto* tools = new TActionToolBar(&f);
  tools->SetParent(&f);
  TActionClientItem* file = mgr->AddActionBar(menu)->AddSubmenu(W1251("&Файл"));
  file->AddAction(open);
  file->AddSeparator();
  file->AddAction(open);
  TActionClientItem* buttons = mgr->AddActionBar(tools);
  buttons->AddAction(wrap);
  buttons->AddAction(open);
  f.Show();
  menu->RecreateControls();
  tools->RecreateControls();
  ProcessMessages();
  auto near = [](TColor c, int r, int g, int b) {
    return std::abs(int(c & 0xff) - r) <= 3 && std::abs(int((c >> 8) & 0xff) - g) <= 3 &&
           std::abs(int((c >> 16) & 0xff) - b) <= 3;
  };
  const TColor selectedFill = RGB(0xc1, 0xd2, 0xee), selectedBorder = RGB(0x31, 0x6a, 0xc5);

  TBitmap bar;
  ASSERT_TRUE(GrabWindowImage(tools, bar));
  EXPECT_TRUE(near(bar.Pixel(bar.Width() - 2, 0), 0xfb, 0xfb, 0xf8)) << std::hex << bar.Pixel(bar.Width() - 2, 0);
  EXPECT_TRUE(near(bar.Pixel(bar.Width() - 2, bar.Height() - 1), 0xde, 0xdb, 0xd0));
  EXPECT_EQ(bar.Pixel(1, 1), selectedBorder);  // the checked first button
  EXPECT_EQ(bar.Pixel(2, 2), RGB(0xe1, 0xe6, 0xee));

  menu->ClickItem(0);
  ASSERT_TRUE(GrabWindowImage(menu, bar));
  int item = 0;
  while (item < bar.Width() && bar.Pixel(item, 0) != selectedBorder) ++item;
  EXPECT_EQ(bar.Pixel(item + 1, 1), selectedFill);
  EXPECT_EQ(bar.Pixel(bar.Width() - 2, 2), RGB(0xf3, 0xf2, 0xec));
  TBitmap drop;
  ASSERT_TRUE(GrabPopupImage(drop));
  const TColor background = RGB(0xfc, 0xfc, 0xf9), shadow = RGB(0x9a, 0x9a, 0x9a);
  EXPECT_EQ(drop.Pixel(0, 0), RGB(0x8a, 0x86, 0x7a));
  EXPECT_EQ(drop.Pixel(2, 2), background);
  for (int x : {1, 2, 3}) EXPECT_EQ(drop.Pixel(drop.Width() - x, drop.Height() / 2), shadow);
  EXPECT_EQ(drop.Pixel(drop.Width() / 2, drop.Height() - 3), shadow);
  // Two entries of one height, a picture's and 3 pixels above and below, around a separator of
  // 1 + 2 + 2 pixels indented by 28.
  int entry = (drop.Height() - 2 - 5) / 2;
  EXPECT_GE(entry, 16 + 6);
  int separator = 1 + entry + 2;
  EXPECT_EQ(drop.Pixel(1 + 28, separator), RGB(0xc5, 0xc2, 0xb8));
  EXPECT_EQ(drop.Pixel(1 + 27, separator), background);
  EXPECT_EQ(drop.Pixel(1 + 28, separator - 1), background);
  menu->CloseMenus();
}

TEST(Controls, StatusBarPanelsPopupMenuAndScreenshot) {
  Handlers h;
  TForm f(nullptr);
  f.SetCaption("Vantry Tarn - [index.htm]");
  f.SetBounds(0, 0, 480, 240);
  auto* mgr = new TActionManager(&f);
  auto* images = new TImageList(&f);
  TBitmap strip(48, 16);
  strip.Canvas()->Brush()->SetColor(clNavy);
  strip.Canvas()->FillRect(Rect(2, 2, 14, 14));
  strip.Canvas()->Brush()->SetColor(clGreen);
  strip.Canvas()->FillRect(Rect(18, 2, 30, 14));
  strip.Canvas()->Brush()->SetColor(clMaroon);
  strip.Canvas()->FillRect(Rect(34, 2, 46, 14));
  images->Add(&strip, clWhite);
  mgr->SetImages(images);
  TAction* a0 = mgr->NewAction("New", W1251("Файл"), W1251("&Новый"), ShortCut('N', {ssCtrl}));
  a0->SetImageIndex(0);
  a0->SetHint(W1251("Создание нового файла"));
  TAction* a1 = mgr->NewAction("Open", W1251("Файл"), W1251("&Открыть..."));
  a1->SetImageIndex(1);
  TAction* a2 = mgr->NewAction("Save", W1251("Файл"), W1251("&Сохранить"));
  a2->SetImageIndex(2);
  TAction* ins = mgr->NewAction("InsMode", W1251("&Правка"), W1251("Режим в&ставки"));
  ins->SetAutoCheck(true);
  ins->SetChecked(true);
  ins->OnExecute = TNotifyEvent(&h, &Handlers::Execute);
  auto* menu = new TActionMainMenuBar(&f);
  menu->SetParent(&f);
  auto* tools = new TActionToolBar(&f);
  tools->SetParent(&f);
  TActionClientItem* m = mgr->AddActionBar(menu);
  for (const char* c : {"&Файл", "&Правка", "П&оиск", "С&ервис", "&Справка"}) m->AddSubmenu(W1251(c));
  m->Items(0)->AddAction(a0);
  TActionClientItem* t = mgr->AddActionBar(tools);
  t->AddAction(a0);
  t->AddAction(a1);
  t->AddSeparator();
  t->AddAction(a2);
  auto* status = new TStatusBar(&f);
  status->SetParent(&f);
  const char* texts[] = {"Поток", "ВСТ", "NUM", "", "", "/home/user/index.htm"};
  int widths[] = {42, 30, 40, 40, 40, 600};
  for (int i = 0; i < 6; ++i) {
    TStatusPanel* p = status->Panels()->Add();
    p->SetText(W1251(texts[i]));
    p->SetWidth(widths[i]);
  }
  auto* popup = new TPopupMenu(&f);
  TMenuItem* selection = popup->Items()->AddItem(W1251("Выделение"));
  selection->AddItem(W1251("Потоком"));
  popup->Items()->AddAction(ins);
  status->SetPopupMenu(popup);
  auto* memo = new TMemo(&f);
  memo->SetParent(&f);
  memo->SetAlign(alClient);
  memo->Lines()->Add("<HTML>");
  memo->Lines()->Add(W1251("Заметки"));
  f.Show();
  menu->RecreateControls();
  tools->RecreateControls();
  ProcessMessages();

  EXPECT_EQ(status->Top() + status->Height(), f.ClientHeight());
  EXPECT_EQ(status->PanelAt(10), 0);
  EXPECT_EQ(status->PanelAt(50), 1);
  EXPECT_EQ(status->PanelAt(f.ClientWidth() - 1), 5);
  EXPECT_EQ(memo->Top(), tools->Top() + tools->Height());

  EXPECT_FALSE(popup->IsPoppedUp());
  SimulateMouse(status, smPress, mbRight, 20, 5);
  SimulateMouse(status, smRelease, mbRight, 20, 5);
  EXPECT_TRUE(popup->IsPoppedUp());
  EXPECT_EQ(popup->PopupComponent(), status);
  popup->CloseUp();

  // A menu item linked to an action fires it and shows its state.
  TMenuItem* insItem = popup->Items()->Items(1);
  EXPECT_EQ(insItem->Caption(), W1251("Режим в&ставки"));
  EXPECT_TRUE(insItem->Checked());
  insItem->Click();
  EXPECT_EQ(h.executed, 1);
  EXPECT_FALSE(insItem->Checked());
  EXPECT_EQ(memo->Lines()->Count(), 2);

  std::string dir = VT_TEST_OUTPUT_DIR;
  ForceDirectories(dir);
  ASSERT_TRUE(SaveWindowImage(&f, dir + "/form_with_bars.png"));
  mgr->SetStyle(StandardStyle());
  ProcessMessages();
  ASSERT_TRUE(SaveWindowImage(&f, dir + "/form_with_bars_standard.png"));
}

TEST(Controls, NativeControlsKeepTheirState) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 300, 200);
  auto* edit = new TEdit(&f);
  edit->SetText("before");
  edit->SetParent(&f);
  auto* check = new TCheckBox(&f);
  check->SetParent(&f);
  auto* combo = new TComboBox(&f);
  combo->SetParent(&f);
  combo->Items()->Add("http://");
  combo->Items()->Add("ftp://");
  combo->SetItemIndex(1);
  auto* memo = new TMemo(&f);
  memo->SetParent(&f);
  f.Show();
  EXPECT_EQ(edit->Text(), "before");
  edit->SetText(W1251("после"));
  EXPECT_EQ(edit->Text(), W1251("после"));
  Handlers h;
  check->OnClick = TNotifyEvent(&h, &Handlers::Execute);
  check->SetChecked(true);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(h.executed, 1);
  EXPECT_EQ(combo->Text(), "ftp://");
  combo->SetText("mailto:");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "mailto:");
  // A field without a length of its own takes a pasted text of any length (a data: address).
  const AnsiString pasted = "data:," + AnsiString(40000, 'a');
  Clipboard()->SetAsText(pasted);
  for (TWinControl* field : {static_cast<TWinControl*>(edit), static_cast<TWinControl*>(combo)}) {
    field->SetFocus();
    SimulateKeyStroke(field, VK_END);
    SimulateKeyStroke(field, 'V', {ssCtrl});
  }
  EXPECT_EQ(edit->Text(), W1251("после") + pasted);
  EXPECT_EQ(combo->Text(), "mailto:" + pasted);
  memo->Lines()->SetText("one\r\ntwo\r\n");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  memo->SetFocus();
  SimulateTyping(memo, "x");  // typed into the native widget... routed to the memo's frame
  EXPECT_GE(memo->Lines()->Count(), 2);
  // A control given a parent after the form shows appears inside it.
  auto* late = new TLabel(&f);
  late->SetParent(&f);
  EXPECT_TRUE(late->HandleAllocated());
  // Deleting the form frees children whose windows live in it.
}

TEST(Controls, AMemoKeepsAVeryLongLineWholeThroughEdits) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 300, 200);
  auto* memo = new TMemo(&f);
  memo->SetWordWrap(false);
  memo->SetParent(&f);
  f.Show();
  AnsiString line;
  for (int i = 0; i < 200000; ++i) line += static_cast<char>('a' + i % 26);
  memo->Lines()->SetText("short\r\n" + line + "\r\nend\r\n");
  EXPECT_FALSE(memo->Modified());
  memo->SetFocus();
  SimulateTyping(memo, "X");
  ASSERT_EQ(memo->Lines()->Count(), 3);
  EXPECT_EQ(memo->Lines()->Get(0), "Xshort");
  EXPECT_TRUE(memo->Lines()->Get(1) == line);
  EXPECT_TRUE(memo->Modified());
  memo->SelectAll();
  EXPECT_TRUE(memo->SelText() == "Xshort\r\n" + line + "\r\nend");
  // The second row of the long line (without wrapping) starts inside it: a line break typed
  // there splits the line in two, nothing lost.
  SimulateKeyStroke(memo, VK_HOME, {ssCtrl});
  SimulateKeyStroke(memo, VK_DOWN);
  SimulateKeyStroke(memo, VK_DOWN);
  SimulateKeyStroke(memo, VK_HOME);
  SimulateKeyStroke(memo, VK_RETURN, {}, "\r");
  ASSERT_EQ(memo->Lines()->Count(), 4);
  AnsiString head = memo->Lines()->Get(1), tail = memo->Lines()->Get(2);
  EXPECT_FALSE(head.empty());
  EXPECT_FALSE(tail.empty());
  EXPECT_TRUE(head + tail == line);
  EXPECT_EQ(memo->Lines()->Get(3), "end");
  // Line breaks pasted or committed by the input method inside the second row (a row that
  // continues the line above it) split the line there, and so do undo and redo.
  memo->Lines()->SetText(line);
  SimulateKeyStroke(memo, VK_HOME, {ssCtrl});
  SimulateKeyStroke(memo, VK_DOWN);
  SimulateKeyStroke(memo, VK_HOME);
  for (int i = 0; i < 3; ++i) SimulateKeyStroke(memo, VK_RIGHT);
  Clipboard()->SetAsText("x\r\ny");
  memo->PasteFromClipboard();
  ASSERT_EQ(memo->Lines()->Count(), 2);
  const size_t at = memo->Lines()->Get(0).size() - 1;  // where the caret was
  ASSERT_TRUE(at > 3 && at < line.size());
  EXPECT_TRUE(memo->Lines()->Get(0) == line.substr(0, at) + "x");
  EXPECT_TRUE(memo->Lines()->Get(1) == "y" + line.substr(at));
  SimulateKeyStroke(memo, 'Z', {ssCtrl});
  ASSERT_EQ(memo->Lines()->Count(), 1);
  EXPECT_TRUE(memo->Lines()->Get(0) == line);
  SimulateKeyStroke(memo, 'Z', {ssCtrl, ssShift});
  ASSERT_EQ(memo->Lines()->Count(), 2);
  EXPECT_TRUE(memo->Lines()->Get(1) == "y" + line.substr(at));
  SimulateKeyStroke(memo, VK_END, {ssCtrl});
  SimulateKeyStroke(memo, VK_HOME);
  SimulateKeyStroke(memo, VK_RIGHT);
  SimulateInputMethodCommit(memo, "p\nq");
  ASSERT_EQ(memo->Lines()->Count(), 3);
  AnsiString upTo = memo->Lines()->Get(1), from = memo->Lines()->Get(2);
  ASSERT_TRUE(upTo.size() > 1 && upTo.back() == 'p' && from.size() > 1 && from[0] == 'q');
  EXPECT_TRUE(upTo.substr(0, upTo.size() - 1) + from.substr(1) == "y" + line.substr(at));
  // Delete where the first row of a long line ends and Backspace where the second starts delete
  // the character after and before that place, each one step undone by Ctrl+Z.
  AnsiString longLine;
  for (int i = 0; i < 3000; ++i) longLine += static_cast<char>('a' + i % 26);
  memo->Lines()->SetText(longLine);
  memo->SetModified(false);
  SimulateKeyStroke(memo, VK_HOME, {ssCtrl});
  SimulateKeyStroke(memo, VK_END);
  SimulateKeyStroke(memo, VK_DELETE);
  ASSERT_EQ(memo->Lines()->Count(), 1);
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine.substr(0, 1024) + longLine.substr(1025));
  EXPECT_TRUE(memo->Modified());
  SimulateKeyStroke(memo, VK_DELETE);
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine.substr(0, 1024) + longLine.substr(1026));
  SimulateKeyStroke(memo, 'Z', {ssCtrl});
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine.substr(0, 1024) + longLine.substr(1025));
  SimulateKeyStroke(memo, 'Z', {ssCtrl});
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine);
  SimulateKeyStroke(memo, VK_HOME, {ssCtrl});
  SimulateKeyStroke(memo, VK_DOWN);
  SimulateKeyStroke(memo, VK_HOME);
  SimulateKeyStroke(memo, VK_BACK);
  ASSERT_EQ(memo->Lines()->Count(), 1);
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine.substr(0, 1023) + longLine.substr(1024));
  SimulateKeyStroke(memo, VK_BACK);
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine.substr(0, 1022) + longLine.substr(1024));
  SimulateKeyStroke(memo, 'Z', {ssCtrl});
  SimulateKeyStroke(memo, 'Z', {ssCtrl});
  EXPECT_TRUE(memo->Lines()->Get(0) == longLine);
  // Ctrl+Delete at the same place deletes the word after it.
  memo->Lines()->SetText(longLine.substr(0, 1024) + "word rest");
  SimulateKeyStroke(memo, VK_HOME, {ssCtrl});
  SimulateKeyStroke(memo, VK_END);
  SimulateKeyStroke(memo, VK_DELETE, {ssCtrl});
  EXPECT_EQ(memo->Lines()->Get(0).substr(1024), "rest");
}

TEST(Shell, OpeningIsRecordedByTheHookWithLinksEncoded) {
  std::vector<std::pair<AnsiString, std::string>> opened;
  SetShellHook([&](const AnsiString& op, const AnsiString&, const std::string& launched) {
    opened.emplace_back(op, launched);
    return true;
  });
  AnsiString link = W1251("mailto:someone@example.org?Subject=\"Заметки по поводу веб-страницы\"&Body=\"a b\r\n100%\"");
  EXPECT_GT(ShellExecute(nullptr, "", link, "", "", SW_SHOWNORMAL), 32);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].first, "open");
  EXPECT_EQ(opened[0].second,
            "mailto:someone@example.org?Subject=%22%D0%97%D0%B0%D0%BC%D0%B5%D1%82%D0%BA%D0%B8%20%D0%BF%D0%BE%20"
            "%D0%BF%D0%BE%D0%B2%D0%BE%D0%B4%D1%83%20%D0%B2%D0%B5%D0%B1-%D1%81%D1%82%D1%80%D0%B0%D0%BD%D0%B8%D1%86%D1%8B%22"
            "&Body=%22a%20b%0D%0A100%25%22");
  ShellExecute(nullptr, "open", "mailto:me@example.org?subject=Vantry%20Tarn", "", "", SW_SHOWNORMAL);
  EXPECT_EQ(opened[1].second, "mailto:me@example.org?subject=Vantry%20Tarn");
  ShellExecute(nullptr, "open", "http://example.org/a b.htm", "", "", SW_SHOWNORMAL);
  EXPECT_EQ(opened[2].second, "http://example.org/a%20b.htm");

  // A file goes as a file URL; an executable is started; a missing file fails.
  std::string page = SettingsDir() + "shell page.htm";
  { std::ofstream(page) << "<HTML>"; }
  EXPECT_GT(ShellExecute(nullptr, "open", page, "", "", SW_SHOWNORMAL), 32);
  EXPECT_EQ(opened[3].second.rfind("file://", 0), 0u);
  EXPECT_NE(opened[3].second.find("shell%20page.htm"), std::string::npos);
  EXPECT_GT(ShellExecute(nullptr, "open", "/bin/sh", "", "", SW_SHOWNORMAL), 32);
  EXPECT_EQ(opened[4].second, "/bin/sh");
  SetShellHook(nullptr);
  EXPECT_EQ(ShellExecute(nullptr, "open", SettingsDir() + "no-such-file.htm", "", "", SW_SHOWNORMAL), 2);
  DeleteFile(page);

  // The desktop's opener runs beside the program (this one fails only once let go, after the
  // open has returned); its failure is shown when it ends. Without an opener nothing opens.
  std::string bin = SettingsDir() + "opener-bin";
  ForceDirectories(bin);
  std::string gate = bin + "/go";
  { std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nPATH=/usr/bin:/bin\nwhile [ ! -e '" << gate << "' ]; do sleep 0.01; done\nexit 4\n"; }
  chmod((bin + "/xdg-open").c_str(), 0755);
  std::string path = getenv("PATH");
  setenv("PATH", bin.c_str(), 1);
  {
    DialogRecorder dialogs;
    EXPECT_GT(ShellExecute(nullptr, "open", "http://example.org/", "", "", SW_SHOWNORMAL), 32);
    EXPECT_TRUE(dialogs.asked.empty());
    { std::ofstream(gate) << ""; }
    for (int i = 0; i < 60000 && dialogs.asked.empty(); ++i) {
      ProcessMessages();
      usleep(1000);
    }
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].Caption, W1251("Ошибка"));
    EXPECT_EQ(dialogs.asked[0].Text, W1251("Не удалось открыть \"http://example.org/\": xdg-open завершилась с ошибкой (код 4)."));
    setenv("PATH", (bin + "/none").c_str(), 1);
    EXPECT_EQ(ShellExecute(nullptr, "open", "http://example.org/", "", "", SW_SHOWNORMAL), 31);
  }
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(LockKeyToggled(VK_CAPITAL));  // offscreen: nothing to read
  EXPECT_EQ(GetKeyState(VK_NUMLOCK), 0);
}

}  // namespace

namespace {

class DropForm : public TForm {
public:
  using TForm::TForm;
  std::vector<std::vector<AnsiString>> drops;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_DROPFILES) drops.push_back(DragQueryFiles(m.WParam));
    TForm::WndProc(m);
  }

protected:
  void CreateParams(TCreateParams& p) override {
    TForm::CreateParams(p);
    p.ExStyle |= WS_EX_ACCEPTFILES;
  }
};

class Closer : public TObject {
public:
  TCustomForm* form = nullptr;
  int ticks = 0;
  void Tick(TObject*) {
    if (++ticks == 2) form->Close();
  }
};

TEST(Forms, FilesDroppedOnAChildReachTheFormThatTakesThem) {
  DropForm f(nullptr);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  panel->SetAlign(alClient);
  f.Show();
  EXPECT_TRUE(f.AcceptsDroppedFiles());
  EXPECT_FALSE(panel->AcceptsDroppedFiles());
  SimulateFileDrop(panel, {"/tmp/one.htm", "/tmp/two.htm"});
  ASSERT_EQ(f.drops.size(), 1u);
  ASSERT_EQ(f.drops[0].size(), 2u);
  EXPECT_EQ(f.drops[0][0], "/tmp/one.htm");
}

TEST(Application, RunLoopsUntilTheMainFormCloses) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  Application->SetMainForm(main);
  Closer closer;
  closer.form = main;
  auto* timer = new TTimer(main);
  timer->SetInterval(10);
  timer->OnTimer = TNotifyEvent(&closer, &Closer::Tick);
  Application->Run();
  EXPECT_GE(closer.ticks, 2);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(main->Visible());
  timer->SetEnabled(false);
  delete main;
  EXPECT_FALSE(Application->ExeName().empty());
}

}  // namespace
