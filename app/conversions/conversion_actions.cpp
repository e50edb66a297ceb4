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
  // The text before the conversion, kept for undo. The conversion maps byte to byte, so the
  // converted text fills the same range: the undo list holds it as a replacement of the whole
  // text (the old text deleted, the new one inserted), one step that undo takes back byte for
  // byte and redo makes again.
  AnsiString before;
  size_t size = 0;
  for (int i = 0; i < n; ++i) size += lines->Line(i).size() + 2;
  before.reserve(size);
  TBufferCoord end = BufferCoord(1, 1);
  if (n > 0) end = BufferCoord(static_cast<int>(lines->Line(n - 1).size()) + 1, n);
  // One update of the line store and one repaint for the whole document, not one per line.
  SrcEdit1->BeginUpdate();
  lines->BeginUpdate();
  try {
    for (int i = 0; i < n; ++i) {
      AnsiString line = lines->Get(i);
      if (i > 0) before += "\r\n";
      before += line;
      cpcon->SetInputString(line);
      lines->Put(i, cpcon->OutputString());
    }
  } catch (...) {
    lines->EndUpdate();
    SrcEdit1->EndUpdate();
    SrcEdit1->SetEnabled(true);
    throw;
  }
  lines->EndUpdate();
  SrcEdit1->EndUpdate();
  SrcEdit1->SetEnabled(true);
  TSrcEditUndoList* undo = SrcEdit1->UndoList();
  if (n > 0 && !undo->IsLocked()) {
    // A step of its own: no edit before or after it joins it in one undo.
    undo->AddGroupBreak();
    SrcEdit1->BeginUndoBlock();
    // The old text goes into its record as it is, not copied: it may be the size of the document.
    auto* deleted = new TSrcEditUndoItem;
    deleted->fChangeReason = rcDelete;
    deleted->fChangeSelMode = smNormal;
    deleted->fChangeStartPos = BufferCoord(1, 1);
    deleted->fChangeEndPos = end;
    deleted->fChangeStr = std::move(before);
    deleted->fChangeNumber = undo->BlockChangeNumber();
    undo->PushItem(deleted);
    undo->AddChange(rcInsert, BufferCoord(1, 1), end, AnsiString(), smNormal);
    SrcEdit1->EndUndoBlock();
    undo->AddGroupBreak();
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
