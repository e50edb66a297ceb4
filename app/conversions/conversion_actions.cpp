// The main window's conversions: the whole document from one code page to another, and the
// selection's case, transliteration and numbers.
#include <cstring>

#include "app/conversions/text_conversions.h"
#include "app/main_window.h"
#include "platform/dialogs.h"

namespace {

struct TCodingAction {
  const char* Name;
  TCodePage Source, Target;
};

const TCodingAction kCodingActions[] = {
    {"Win2Koi", cpWIN, cpKOI}, {"Win2Dos", cpWIN, cpALT}, {"win2iso", cpWIN, cpISO},
    {"Koi2Win", cpKOI, cpWIN}, {"Koi2Dos", cpKOI, cpALT}, {"koi2iso", cpKOI, cpISO},
    {"Dos2Win", cpALT, cpWIN}, {"Dos2Koi", cpALT, cpKOI}, {"dos2iso", cpALT, cpISO},
    {"Iso2Win", cpISO, cpWIN}, {"Iso2Koi", cpISO, cpKOI}, {"Iso2Dos", cpISO, cpALT},
};

// The selection replaced by Text; with no selection an empty text changes nothing.
void ReplaceSelection(TSrcEdit* Editor, const AnsiString& Text) {
  if (Text.empty() && !Editor->SelAvail()) return;
  Editor->SetSelText(Text);
}

}  // namespace

void TMain::Koding(TCodePage Source, TCodePage Target) {
  cpcon->SetInputCodePage(Source);
  cpcon->SetOutputCodePage(Target);
  SrcEdit1->SetEnabled(false);
  TSrcEditStringList* lines = SrcEdit1->Lines();
  const int n = lines->Count();
  TSrcEditUndoList* undo = SrcEdit1->UndoList();
  const bool recorded = n > 0 && !undo->IsLocked();
  TBufferCoord end = BufferCoord(1, 1);
  if (n > 0) end = BufferCoord(static_cast<int>(lines->Line(n - 1).size()) + 1, n);
  // The conversion maps byte to byte: every line keeps its length, so the text is converted
  // where it is stored, in one pass, while the text as it was goes aside for undo. The undo
  // record holds that text alone; undo and redo exchange it with the document's, line for line,
  // so that one copy of the text serves both. One change of the line store and one repaint for
  // the whole document.
  AnsiString before;
  // One paint lock over the conversion and its record: the document is painted once.
  PaintLockScope lock(SrcEdit1);
  try {
    lines->MapText(CodePageMap(cpcon->InputCodePage(), cpcon->OutputCodePage()), recorded ? &before : nullptr);
  } catch (...) {
    SrcEdit1->SetEnabled(true);
    throw;
  }
  SrcEdit1->SetEnabled(true);
  if (recorded) {
    // An undo block of its own: no edit before or after it joins it in one undo.
    SrcEdit1->BeginUndoBlock();
    undo->AddChange(rcExchangeText, BufferCoord(1, 1), end, std::move(before), smNormal);
    SrcEdit1->EndUndoBlock();
  }
  SrcEdit1->SetModified(true);
}

void TMain::CodingExecute(TObject* Sender) {
  auto* a = dynamic_cast<TAction*>(Sender);
  if (!a) return;
  for (const TCodingAction& c : kCodingActions)
    if (a->Name() == c.Name) Koding(c.Source, c.Target);
}

void TMain::Win2MacExecute(TObject*) { Koding(cpWIN, cpMAC); }
void TMain::Koi2MacExecute(TObject*) { Koding(cpKOI, cpMAC); }
void TMain::Dos2MacExecute(TObject*) { Koding(cpALT, cpMAC); }

void TMain::Action6Execute(TObject*) { ReplaceSelection(SrcEdit1, AnsiUpperCase(SrcEdit1->SelText())); }
void TMain::Action7Execute(TObject*) { ReplaceSelection(SrcEdit1, AnsiLowerCase(SrcEdit1->SelText())); }
void TMain::Action8Execute(TObject*) { ReplaceSelection(SrcEdit1, proper(SrcEdit1->SelText())); }
void TMain::Rus2TransExecute(TObject*) { ReplaceSelection(SrcEdit1, TranslitRus2Lat(SrcEdit1->SelText())); }

void TMain::int2strExecute(TObject*) {
  AnsiString sel = SrcEdit1->SelText();
  // A selection that is not a number of at most 12 digits stays as it is.
  if (!IsNumberWordsInput(sel)) {
    MessageBeep(MB_OK);
    return;
  }
  ReplaceSelection(SrcEdit1, NumberToWords(sel));
}

void TMain::Ara2RimExecute(TObject*) {
  // Not a number: the parser's conversion error goes to the application's handler and the text
  // stays as it is.
  int n = StrToInt(SrcEdit1->SelText());
  // A negative number has no Roman numeral: its text is kept rather than replaced by nothing.
  if (n < 0) {
    MessageBeep(MB_OK);
    return;
  }
  ReplaceSelection(SrcEdit1, IntToRoman(n));
}
