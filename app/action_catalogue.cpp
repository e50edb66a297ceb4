// The main window's actions: names, categories, captions, hints and shortcuts, the handlers
// bound to them, the insertions of the tag actions and the layout of the action bars and
// context menus.
#include <cstring>

#include "app/main_icons.h"
#include "app/main_window.h"

namespace {

using THandler = void (TMain::*)(TObject*);

constexpr TShortCut Ctrl(int k) { return static_cast<TShortCut>(scCtrl | k); }
constexpr TShortCut Alt(int k) { return static_cast<TShortCut>(scAlt | k); }
constexpr TShortCut Shift(int k) { return static_cast<TShortCut>(scShift | k); }

// An action: its name, category, caption, shortcut and the handler it runs.
struct TActionRow {
  const char* Name;
  const char* Category;
  const char* Caption;
  TShortCut ShortCut;
  THandler Handler;
};

constexpr THandler kTag = &TMain::TagActionExecute;
constexpr THandler kCoding = &TMain::CodingExecute;

const TActionRow kActions[] = {
    {"FileNewActin", "Файл", "&Новый", Ctrl('N'), &TMain::FileNewActinExecute},
    {"FileOpenAction", "Файл", "&Открыть...", Ctrl('O'), &TMain::FileOpenActionExecute},
    {"FileSave", "Файл", "&Сохранить", Ctrl('S'), &TMain::FileSaveExecute},
    {"SaveFileAs", "Файл", "Сохранить &как...", 0, &TMain::SaveFileAsExecute},
    {"NewWnd", "Файл", "Новое о&кно", static_cast<TShortCut>(scCtrl | scAlt | 'N'), &TMain::NewWndExecute},
    {"FileNewFileWizard", "Файл", "&Мастер...", Ctrl('W'), &TMain::FileNewFileWizardExecute},
    {"FilePrint", "Файл", "&Печать кода...", Ctrl('P'), &TMain::FilePrintExecute},
    {"FilePreView", "Файл", "&Предварительный просмотр...", VK_F9, &TMain::FilePreViewExecute},
    {"HelpMe", "Справка", "&Вызов справки", VK_F1, &TMain::HelpMeExecute},
    {"HelpLetter", "Справка", "&Письмо автору", 0, &TMain::HelpLetterExecute},
    {"GoToSite", "Справка", "Зайти на &сайт", 0, &TMain::GoToSiteExecute},
    {"HelpAboutProgram", "Справка", "&О программе...", 0, &TMain::HelpAboutProgramExecute},
    {"Action1", "Файл", "Просмотр в &браузере", Ctrl(VK_F9), &TMain::Action1Execute},
    {"EditUndo", "&Правка", "&Отменить", 0, &TMain::EditUndoExecute},
    {"EditRedo", "&Правка", "Повторить", 0, &TMain::EditRedoExecute},
    {"EditCuuut", "&Правка", "&Вырезать", 0, &TMain::EditCutExecute},
    {"EditCopy", "&Правка", "&Копировать", 0, &TMain::EditCopyExecute},
    {"EditPaaaste", "&Правка", "Вст&авить", 0, &TMain::EditPasteExecute},
    {"EdEl", "&Правка", "О&чистить", 0, &TMain::EditClearExecute},
    {"EditSelectAll", "&Правка", "В&ыделить всё", 0, &TMain::EditSelectAllExecute},
    {"InsMode", "&Правка", "Режим в&ставки", VK_INSERT, &TMain::InsModeExecute},
    {"EditRpls", "Поис&к", "&Найти...", Ctrl('F'), &TMain::EditRplsExecute},
    {"Bold", "Шрифт", "Полу&жирный", Ctrl('B'), kTag},
    {"FontItalic", "Шрифт", "&Курсив", Ctrl('I'), kTag},
    {"FontUnder", "Шрифт", "Под&чёркнутый", Ctrl('U'), kTag},
    {"Action2", "Эффекты", "Бегущая строка", 0, kTag},
    {"Action3", "Эффекты", "Мигающий текст", 0, kTag},
    {"Stricked", "Шрифт", "&Зачёркнутый", 0, kTag},
    {"RazMer", "Шрифт", "&Размер...", Alt('S'), &TMain::RazMerExecute},
    {"TagH1", "Формат", "За&головок", Ctrl('H'), &TMain::TagH1Execute},
    {"NewStroka", "Формат", "Новая &строка", Alt('N'), kTag},
    {"Parf", "Формат", "Обычный", Ctrl('Q'), kTag},
    {"FormatAlignLeft", "Формат", "С&лева", Ctrl('L'), kTag},
    {"FormatAlignCenter", "Формат", "По ц&ентру", Ctrl('E'), kTag},
    {"FormatAlignRight", "Формат", "С&права", Ctrl('R'), kTag},
    {"FormatAlignOba", "Формат", "По &ширине", 0, kTag},
    {"Setuuup", "Сервис", "&Настройка программы...", 0, &TMain::SetuuupExecute},
    {"Action12", "Вставка", "&Ссылка...", Alt('K'), &TMain::Action12Execute},
    {"BookMarkIns", "Вставка", "&Закладка", Alt('B'), kTag},
    {"Action13", "Вставка", "&Рисунок...", Alt('P'), &TMain::Action13Execute},
    {"Action14", "Вставка", "Код &цвета...", 0, &TMain::Action14Execute},
    {"Action15", "Вставка", "Java &скрипт", 0, &TMain::Action15Execute},
    {"Action5", "Вставка", "&Комментарий", Alt('C'), kTag},
    {"Action6", "Регистр", "ЗАГЛАВНЫЕ", Ctrl(VK_F5), &TMain::Action6Execute},
    {"Action7", "Регистр", "строчные", Ctrl(VK_F6), &TMain::Action7Execute},
    {"Action8", "Регистр", "С Заглавных Букв", Ctrl(VK_F7), &TMain::Action8Execute},
    {"AdressTag", "Формат", "&Адрес", 0, kTag},
    {"FontColor", "Шрифт", "&Цвет...", Alt('R'), &TMain::FontColorExecute},
    {"FontName", "Шрифт", "&Имя...", Alt('F'), &TMain::FontNameExecute},
    {"FormCod", "Формат", "&Код", 0, kTag},
    {"Kbd", "Формат", "Кла&виатура", 0, kTag},
    {"NoBreak", "Дополнительно", "Не &переносить", 0, kTag},
    {"HR", "Вставка", "Горизонтальная &линия", Alt('H'), kTag},
    {"Otstup", "Формат", "От&ступ", Alt('Q'), kTag},
    {"InsSymb", "Символ", "Копирайт", 0, kTag},
    {"RegTM", "Символ", "Зарегистрированная т. м.", 0, kTag},
    {"Action17", "Символ", "Торговая марка", 0, kTag},
    {"Action18", "Символ", "Неразрывный пробел", Ctrl(VK_SPACE), kTag},
    {"Action19", "Символ", "Символ \"<\"", Alt(VK_OEM_COMMA), kTag},
    {"Action20", "Символ", "Символ \">\"", Alt(VK_OEM_PERIOD), kTag},
    {"AddTable", "Таблица", "Добавить &таблицу...", Alt('T'), &TMain::TableActionExecute},
    {"AddRow", "Таблица", "Добавить &строку...", Alt('X'), &TMain::TableActionExecute},
    {"AddCell", "Таблица", "Добавить &ячейку...", Alt('Z'), &TMain::TableActionExecute},
    {"addlist", "Список", "Добавить &список...", Alt('L'), &TMain::addlistExecute},
    {"additem", "Список", "Добавить &пункт", Alt('I'), kTag},
    {"Win2Koi", "Кодировка", "Windows -> KOI8-R", 0, kCoding},
    {"Win2Dos", "Кодировка", "Windows -> DOS", 0, kCoding},
    {"win2iso", "Кодировка", "Windows -> ISO", 0, kCoding},
    {"Koi2Win", "Кодировка", "KOI8-R -> Windows", 0, kCoding},
    {"Koi2Dos", "Кодировка", "KOI8-R -> DOS", 0, kCoding},
    {"koi2iso", "Кодировка", "KOI8-R -> ISO", 0, kCoding},
    {"Dos2Win", "Кодировка", "DOS -> Windows", 0, kCoding},
    {"Dos2Koi", "Кодировка", "DOS -> KOI8-R", 0, kCoding},
    {"dos2iso", "Кодировка", "DOS -> ISO", 0, kCoding},
    {"Iso2Win", "Кодировка", "ISO -> Windows", 0, kCoding},
    {"Iso2Koi", "Кодировка", "ISO -> KOI8-R", 0, kCoding},
    {"Iso2Dos", "Кодировка", "ISO -> DOS", 0, kCoding},
    {"Rus2Trans", "Кодировка", "Rus -> Translit", 0, &TMain::Rus2TransExecute},
    {"int2str", "Кодировка", "Число -> Прописью", 0, &TMain::int2strExecute},
    {"Sup", "Шрифт", "&Надстрочный символ", 0, kTag},
    {"Sub", "Шрифт", "&Подстрочный символ", 0, kTag},
    {"FileExit", "Файл", "&Выход", 0, &TMain::FileExitExecute},
    {"noteSave", "Заметки", "Сохранить", 0, &TMain::noteSaveExecute},
    {"Xport", "Заметки", "Экспорт", 0, &TMain::XportExecute},
    {"MailSend", "Заметки", "Отправка", 0, &TMain::MailSendExecute},
    {"Notez", "Сервис", "Заметки", Ctrl(VK_OEM_3), &TMain::Panel2Click},
    {"NCut", "Заметки", "Вырезать", 0, &TMain::NCutExecute},
    {"NCopy", "Заметки", "Копировать", 0, &TMain::NCopyExecute},
    {"NPaste", "Заметки", "Вставить", 0, &TMain::NPasteExecute},
    {"Action4", "Выделение", "Потоком", 0, &TMain::Action4Execute},
    {"Action9", "Выделение", "Блоком", 0, &TMain::Action9Execute},
    {"Action10", "Выделение", "Строками", 0, &TMain::Action10Execute},
    {"Action11", "", "Action11", VK_F11, &TMain::Action11Execute},
    {"Ara2Rim", "Кодировка", "Арабские -> Римские", 0, &TMain::Ara2RimExecute},
    {"Action21", "Поис&к", "Заменить...", 0, &TMain::Action21Execute},
    {"NaitiDalee", "Поис&к", "Найти далее", VK_F3, &TMain::NaitiDaleeExecute},
    {"Action16", "Поис&к", "Найти назад", Shift(VK_F3), &TMain::Action16Execute},
};

struct THintRow {
  const char* Name;
  const char* Hint;
};

const THintRow kHints[] = {
    {"FileNewActin", "Создание нового файла"},
    {"FileOpenAction", "Открыть существующий файл"},
    {"FileSave", "Сохранить код в файл"},
    {"SaveFileAs", "Выбрать файл для сохранения и сохранить код в файл"},
    {"NewWnd", "Открыть новое окно Tarn"},
    {"FileNewFileWizard", "Мастер создания файлов"},
    {"FilePrint", "Распечатать код на принтере"},
    {"FilePreView", "Просмотр в IE"},
    {"HelpMe", "Открыть справку"},
    {"HelpLetter", "Написать письмо автору"},
    {"GoToSite", "Посетить сайт программы"},
    {"Action1", "Просмотр страницы в браузере по умолчанию"},
    {"EditUndo", "Отменить последнее действие"},
    {"EditRedo", "Возобновить последнее отменённое действие"},
    {"EditCuuut", "Вырезать в буфер обмена"},
    {"EditCopy", "Копировать в буфер обмена"},
    {"EditPaaaste", "Вставить из буфера обмена"},
    {"EdEl", "Удалить выделенный фрагмент"},
    {"EditSelectAll", "Выделить весь текст"},
    {"InsMode", "Переключение режима вставка-замена"},
    {"EditRpls", "Заменить текст"},
    {"Action2", "Добавляет в страницу бегущую строку"},
    {"TagH1", "Добавление заголовка"},
    {"Setuuup", "Настроить программу"},
    {"Action12", "Добавление гиперссылки"},
    {"BookMarkIns", "Добавление закладки"},
    {"Action13", "Добавление рисунка на страницу"},
    {"Action14", "Выбрать цвет и вставить его в виде HEX"},
    {"Action15", "Добавить Java скрипт"},
    {"Action5", "Вставить комментарий"},
    {"Action6", "Сделать текст ЗАГЛАВНЫМИ буквами"},
    {"Action7", "сделать текст строчными буквами"},
    {"Action8", "Начинать Слова С Заглавных Букв"},
    {"NoBreak", "Не переносить этот текст"},
    {"HR", "Вставить горизонтальную линию"},
    {"InsSymb", "Вставить символ '©'"},
    {"RegTM", "Вставить символ '®'"},
    {"Action17", "Вставить символ '™'"},
    {"noteSave", "Сохранить заметки"},
    {"Xport", "Экспорт заметок в текстовый файл"},
    {"MailSend", "Отправка заметок по почте"},
};

struct TTagRow {
  const char* Name;
  TTagInsertion Tag;
};

const TTagRow kTags[] = {
    {"Bold", {"<B>", "</B>", 4}},
    {"FontItalic", {"<I>", "</I>", 4}},
    {"FontUnder", {"<U>", "</U>", 4}},
    {"Action2", {"<MARQUEE>", "</MARQUEE>", 10}},
    {"Action3", {"<BLINK>", "</BLINK>", 8}},
    {"Stricked", {"<S>", "</S>", 4}},
    {"NewStroka", {"<BR>", "", 0}},
    {"Parf", {"<P>", "</P>", 4}},
    {"FormatAlignLeft", {"<P align=\"left\">", "</P>", 4}},
    {"FormatAlignCenter", {"<P align=\"center\">", "</P>", 4}},
    {"FormatAlignRight", {"<P align=\"right\">", "</P>", 4}},
    {"FormatAlignOba", {"<P align=\"justify\">", "</P>", 4}},
    {"BookMarkIns", {"", "<A name=\"\"></A>", 6}},
    {"Action5", {"<!-- ", " -->", 4}},
    {"AdressTag", {"<ADDRESS>", "</ADDRESS>", 10}},
    {"FormCod", {"<CODE>", "</CODE>", 7}},
    {"Kbd", {"<KBD>", "</KBD>", 6}},
    {"NoBreak", {"<NOBR>", "</NOBR>", 7}},
    {"HR", {"<HR>", "", 0}},
    {"Otstup", {"<BLOCKQUOTE>", "</BLOCKQUOTE>", 13}},
    {"InsSymb", {"&copy;", "", 0}},
    {"RegTM", {"&reg;", "", 0}},
    {"Action17", {"&#153;", "", 0}},
    {"Action18", {"&nbsp;", "", 0}},
    {"Action19", {"&lt;", "", 0}},
    {"Action20", {"&gt;", "", 0}},
    {"additem", {"<LI>", "", 0}},
    {"Sup", {"<SUP>", "</SUP>", 6}},
    {"Sub", {"<SUB>", "</SUB>", 6}},
};

}  // namespace

const TTagInsertion* TMain::TagInsertionOf(const AnsiString& ActionName) {
  for (const TTagRow& r : kTags)
    if (ActionName == r.Name) return &r.Tag;
  return nullptr;
}

void TMain::CreateActions() {
  for (const TActionRow& r : kActions) {
    TAction* a = ActionManager1->NewAction(r.Name, W1251(r.Category), W1251(r.Caption), r.ShortCut);
    a->OnExecute = TNotifyEvent(this, r.Handler);
    a->SetImageIndex(ActionImageIndex(a->Name()));
  }
  for (const THintRow& h : kHints) FindAction(h.Name)->SetHint(W1251(h.Hint));
  FindAction("FileSave")->AddSecondaryShortCut(VK_F2);
  TAction* ins = FindAction("InsMode");
  ins->SetAutoCheck(true);
  ins->SetChecked(true);
  for (const char* n : {"Action4", "Action9", "Action10"}) {
    TAction* a = FindAction(n);
    a->SetAutoCheck(true);
    a->SetGroupIndex(1);
  }
  FindAction("Action4")->SetChecked(true);
  FindAction("Notez")->SetAutoCheck(true);
  FindAction("EditUndo")->OnUpdate = TNotifyEvent(this, &TMain::EditUndoUpdate);
  FindAction("EditRedo")->OnUpdate = TNotifyEvent(this, &TMain::EditRedoUpdate);
}

void TMain::CreateMenus() {
  TMenuItem* p1 = PopupMenu1->Items();
  p1->AddAction(FindAction("EditCuuut"));
  p1->AddAction(FindAction("EditCopy"));
  p1->AddAction(FindAction("EditPaaaste"));
  TMenuItem* p2 = PopupMenu2->Items();
  TMenuItem* sel = p2->AddItem(W1251("Выделение"));
  sel->AddAction(FindAction("Action4"));
  sel->AddAction(FindAction("Action9"));
  sel->AddAction(FindAction("Action10"));
  p2->AddAction(FindAction("InsMode"));
}

namespace {

// Fills an item tree from a list of action names: "-" is a separator, "[caption" opens a
// submenu and "]" closes it, "name=caption" gives the item a caption of its own.
void FillItems(TMain* form, TActionClientItem* root, std::initializer_list<const char*> layout) {
  std::vector<TActionClientItem*> stack{root};
  for (const char* s : layout) {
    TActionClientItem* cur = stack.back();
    if (std::strcmp(s, "-") == 0) {
      cur->AddSeparator();
    } else if (s[0] == '[') {
      stack.push_back(cur->AddSubmenu(W1251(s + 1)));
    } else if (std::strcmp(s, "]") == 0) {
      stack.pop_back();
    } else {
      AnsiString name = s, own;
      size_t eq = name.find('=');
      if (eq != AnsiString::npos) {
        own = W1251(name.substr(eq + 1).c_str());
        name = name.substr(0, eq);
      }
      cur->AddAction(form->FindAction(name), own);
    }
  }
}

}  // namespace

void TMain::CreateActionBars() {
  FillItems(this, ActionManager1->AddActionBar(MainWNDMenu),
            {"[&Файл", "FileNewActin", "FileOpenAction", "FileSave", "SaveFileAs", "-", "NewWnd",
             "FileNewFileWizard", "FilePrint", "[Кодировка", "Win2Koi=&Windows -> KOI8-R",
             "Win2Dos=W&indows -> DOS", "win2iso=Wi&ndows -> ISO", "-", "Koi2Win=&KOI8-R -> Windows",
             "Koi2Dos=K&OI8-R -> DOS", "koi2iso=KOI&8-R -> ISO", "-", "Dos2Win=&DOS -> Windows",
             "Dos2Koi=DO&S -> KOI8-R", "dos2iso", "-", "Iso2Win", "Iso2Koi=ISO -> KOI8-&R", "Iso2Dos", "-",
             "Rus2Trans=R&us -> Translit", "int2str", "Ara2Rim", "]", "-", "FilePreView", "Action1", "-",
             "FileExit", "]",
             "[&Правка", "-", "EditUndo", "EditRedo", "-", "EditCuuut", "EditCopy", "EditPaaaste", "-",
             "EdEl", "EditSelectAll", "-", "[Выделение", "Action4", "Action9", "Action10", "]", "InsMode",
             "]",
             "[П&оиск", "EditRpls", "-", "Action21", "-", "NaitiDalee", "Action16", "]",
             "[С&ервис", "Setuuup", "Notez", "]",
             "[&Справка", "HelpMe", "-", "HelpLetter", "GoToSite", "-", "HelpAboutProgram", "]"});
  FillItems(this, ActionManager1->AddActionBar(ActionToolBar1),
            {"FileNewActin", "FileOpenAction", "FileSave", "-", "FilePrint", "FilePreView", "Action1", "-",
             "EditCuuut", "EditCopy", "EditPaaaste", "EdEl", "-", "EditUndo", "EditRedo"});
  FillItems(this, ActionManager1->AddActionBar(ActionMainMenuBar1),
            {"[Формат", "TagH1", "-", "NewStroka", "[Новый абзац", "Parf", "-", "FormatAlignLeft",
             "FormatAlignCenter", "FormatAlignRight", "FormatAlignOba", "]", "-", "[Список", "addlist",
             "additem", "]", "[Блок-теги", "Otstup", "FormCod", "AdressTag", "Kbd", "]", "]",
             "[Шрифт", "Bold", "FontItalic", "FontUnder", "Stricked", "-", "RazMer", "FontColor", "FontName",
             "-", "Sup", "Sub", "]",
             "[Вставка", "Action12", "BookMarkIns", "-", "Action13", "Action14", "Action15", "-", "Action5",
             "HR", "]",
             "[Таблица", "AddTable", "AddRow", "AddCell", "]",
             "[Символ", "InsSymb", "RegTM", "Action17", "-", "Action18", "-", "Action19", "Action20", "]",
             "[Дополнительно", "NoBreak", "[Регистр", "Action6", "Action7", "Action8", "]", "[Эффекты",
             "Action2", "Action3", "]", "]"});
  FillItems(this, ActionManager1->AddActionBar(ActionToolBar2),
            {"NCut", "NCopy", "NPaste", "noteSave", "Xport", "MailSend"});
  // The editing commands are the editor's own keys: the menu shows them beside the commands.
  const std::pair<const char*, TShortCut> editorKeys[] = {
      {"EditUndo", ShortCut('Z', {ssCtrl})},         {"EditRedo", ShortCut('Z', {ssCtrl, ssShift})},
      {"EditCuuut", ShortCut('X', {ssCtrl})},        {"EditCopy", ShortCut('C', {ssCtrl})},
      {"EditPaaaste", ShortCut('V', {ssCtrl})},      {"EdEl", ShortCut(VK_DELETE, {})},
      {"EditSelectAll", ShortCut('A', {ssCtrl})}};
  TActionClientItem* menu = ActionManager1->ItemsOf(MainWNDMenu);
  for (int i = 0; i < menu->Count(); ++i)
    for (int j = 0; j < menu->Items(i)->Count(); ++j) {
      TActionClientItem* it = menu->Items(i)->Items(j);
      for (auto& [name, key] : editorKeys)
        if (it->Action() && it->Action()->Name() == name) it->SetShownShortCut(key);
    }
  for (TCustomActionBar* b : {static_cast<TCustomActionBar*>(MainWNDMenu),
                              static_cast<TCustomActionBar*>(ActionToolBar1),
                              static_cast<TCustomActionBar*>(ActionMainMenuBar1),
                              static_cast<TCustomActionBar*>(ActionToolBar2)})
    b->RecreateControls();
}
