#include "app/dialogs/new_file_wizard.h"

#include "app/main_window.h"

TFileNewWizard* FileNewWizard = nullptr;

namespace {
constexpr int kCommentLine = 17;
}

TFileNewWizard::TFileNewWizard(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Мастер новых файлов"), W1251("Создание документа с помощью мастера"),
                 W1251("Просто заполните все поля и Вы получите готовый код"), "HTML", 460, 300) {
  PageControl1 = new TPageControl(this);
  PageControl1->SetBounds(8, Top0() + 8, 444, 248);
  PageControl1->SetParent(this);
  auto page = [this](const char* caption) {
    auto* p = new TTabSheet(this);
    p->SetCaption(W1251(caption));
    p->SetPageControl(PageControl1);
    return p;
  };
  TTabSheet* info = page("Информация");
  TTabSheet* looks = page("Цвета и рисунки");
  TTabSheet* content = page("Содержание страницы");

  TGroupBox* author = AddGroup(info, "Автор", 8, 6, 424, 78);
  AddLabel(author, "Автор страницы", 12, 20, 150);
  MetaAutorPageAutor = AddEdit(author, 166, 20, 246);
  AddLabel(author, "Ваш E-Mail", 12, 48, 150);
  MetaAutorMailAutor = AddEdit(author, 166, 48, 246);
  TGroupBox* pageBox = AddGroup(info, "Страница", 8, 90, 424, 108);
  AddLabel(pageBox, "Заголовок страницы", 12, 20, 150);
  MetaPageTitle = AddEdit(pageBox, 166, 20, 246);
  AddLabel(pageBox, "Ключевые слова", 12, 48, 150);
  MetaPageKeys = AddEdit(pageBox, 166, 48, 246);
  AddLabel(pageBox, "Описание", 12, 76, 150);
  Descr = AddEdit(pageBox, 166, 76, 246);

  TGroupBox* colors = AddGroup(looks, "Цвета", 8, 6, 424, 108);
  TextClr = AddCheck(colors, "Текст", 12, 20, 150);
  txtclred = AddEdit(colors, 166, 20, 100, "#000000");
  BckClr = AddCheck(colors, "Фон", 12, 48, 150);
  BckClrEd = AddEdit(colors, 166, 48, 100, "#FFFFFF");
  LnkCol = AddCheck(colors, "Ссылка", 12, 76, 150);
  LnkColEd = AddEdit(colors, 166, 76, 100, "#0000FF");
  TButton* b1 = AddColorButton(colors, txtclred);
  TButton* b2 = AddColorButton(colors, BckClrEd);
  TButton* b3 = AddColorButton(colors, LnkColEd);
  TGroupBox* pictures = AddGroup(looks, "Рисунки", 8, 120, 424, 52);
  BckImg = AddCheck(pictures, "Фоновый рисунок", 12, 20, 150);
  BckImgEd = AddEdit(pictures, 166, 20, 246, "images/fon.gif");
  Governs(TextClr, {txtclred, b1});
  Governs(BckClr, {BckClrEd, b2});
  Governs(LnkCol, {LnkColEd, b3});
  Governs(BckImg, {BckImgEd});

  TGroupBox* heads = AddGroup(content, "Заголовки", 8, 6, 424, 78);
  AddLabel(heads, "Основной", 12, 20, 150);
  Edit1 = AddEdit(heads, 166, 20, 246);
  AddLabel(heads, "Дополнительный", 12, 48, 150);
  Edit2 = AddEdit(heads, 166, 48, 246);
  TGroupBox* headColors = AddGroup(content, "Цвета", 8, 90, 424, 78);
  AddLabel(headColors, "Фон заголовка", 12, 20, 150);
  Edit5 = AddEdit(headColors, 166, 20, 100, "#FFDC80");
  AddLabel(headColors, "Фон подзаголовка", 12, 48, 150);
  Edit3 = AddEdit(headColors, 166, 48, 100, "#FFF0CA");
  TButton* b4 = AddColorButton(headColors, Edit5);
  TButton* b5 = AddColorButton(headColors, Edit3);
  ColorButtons = {b1, b2, b3, b4, b5};
  PageControl1->SetActivePageIndex(0);
}

std::vector<AnsiString> TFileNewWizard::Skeleton() const {
  AnsiString body = "<BODY";
  if (TextClr->Checked()) body += " text=\"" + txtclred->Text() + "\"";
  if (BckClr->Checked()) body += " bgcolor=\"" + BckClrEd->Text() + "\"";
  if (LnkCol->Checked()) body += " link=\"" + LnkColEd->Text() + "\"";
  if (BckImg->Checked()) body += " background=\"" + BckImgEd->Text() + "\"";
  body += ">";
  AnsiString author = MetaAutorPageAutor->Text(), mail = MetaAutorMailAutor->Text();
  return {
      "<HTML>",
      "<HEAD>",
      " <TITLE>" + MetaPageTitle->Text() + "</TITLE>",
      " <META http-equiv=\"Content-Language\" content=\"ru\">",
      " <META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">",
      " <META name=\"GENERATOR\" content=\"Vantry Tarn\">",
      " <META name=\"author\" content=\"" + author + " " + mail + "\">",
      " <META name=\"keywords\" Content=\"" + MetaPageKeys->Text() + "\">",
      " <META name=\"description\" Content=\"" + Descr->Text() + "\">",
      "</HEAD>",
      body,
      " <TABLE border=0 width=100%>",
      "  <TR><TD bgcolor=\"" + Edit5->Text() + "\"><H1>" + Edit1->Text() + "</H1></TD></TR>",
      "  <TR><TD bgcolor=\"" + Edit3->Text() + "\">" + Edit2->Text() + "</TD></TR>",
      "  <TR>",
      "   <TD>",
      W1251("    <!--Текст страницы пишите здесь-->"),
      "   </TD>",
      "  </TR>",
      "  <TR><TD><FONT size=1 color=\"#808080\">Copyright by <A href=\"mailto:" + mail +
          "\"><FONT size=1 color=\"#808080\">" + author + "</FONT></A>. All rights reserved.</FONT></TD></TR>",
      " </TABLE>",
      "</BODY>",
      "</HTML>",
  };
}

void TFileNewWizard::OkClick() {
  // The fields are read before the wizard goes; its Close follows in the OK button's handler,
  // but the new document must be asked for with the main window enabled again.
  std::vector<AnsiString> lines = Skeleton();
  Hide();
  Main->FindAction("FileNewActin")->Execute();  // the save prompt's Cancel ends here
  TSrcEdit* ed = Main->SrcEdit1;
  ed->Lines()->Clear();
  ed->ClearUndo();
  for (const AnsiString& l : lines) ed->Lines()->Add(l);
  ed->SetModified(true);
  ed->SetCaretXY(BufferCoord(1, kCommentLine));
  Main->FindAction("FileSave")->Execute();
}
