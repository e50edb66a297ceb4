// Find and replace in the main window: the dialogs fill and update the search memory, which
// becomes the editor's search options; the editor's driver asks here about each replacement.
#include <memory>

#include "app/find/confirm_replace_dialog.h"
#include "app/find/search_dialogs.h"
#include "app/find/search_memory.h"
#include "app/main_window.h"
#include "editor-services/search/plain_search.h"
#include "editor-services/search/regex_search.h"
#include "platform/application.h"
#include "platform/dialogs.h"

TSearchMemory& SearchMemory() {
  static TSearchMemory memory;
  return memory;
}

void TMain::CreateSearchComponents() {
  SrcEditSearch = new TSrcEditSearch(this);
  SrcEditSearch->SetName("SrcEditSearch");
  SrcEditRegexSearch = new TSrcEditRegexSearch(this);
  SrcEditRegexSearch->SetName("SrcEditRegexSearch");
  SrcEdit1->OnReplaceText = TReplaceTextEvent(this, &TMain::SrcEdit1ReplaceText);
}

void TMain::EditRplsExecute(TObject*) { ShowSearchDialog(false); }
void TMain::Action21Execute(TObject*) { ShowSearchDialog(true); }
void TMain::NaitiDaleeExecute(TObject*) { DoSearchReplace(false, false); }
void TMain::Action16Execute(TObject*) { DoSearchReplace(false, true); }

void TMain::ShowSearchDialog(bool AReplace) {
  TSearchMemory& m = SearchMemory();
  std::unique_ptr<TTextSearchDialog> dlg;
  TTextReplaceDialog* rdlg = nullptr;
  if (AReplace) dlg.reset(rdlg = new TTextReplaceDialog(this));
  else dlg.reset(new TTextSearchDialog(this));
  dlg->SetSearchBackwards(m.Backwards);
  dlg->SetSearchCaseSensitive(m.MatchCase);
  dlg->SetSearchFromCursor(m.FromCaret);
  dlg->SetSearchSelectedOnly(m.SelectedOnly);
  dlg->SetSearchTextHistory(m.SearchTextHistory);
  dlg->SetSearchText(m.SearchText);
  if (rdlg) {
    rdlg->SetReplaceTextHistory(m.ReplaceTextHistory);
    rdlg->SetReplaceText(m.ReplaceText);
  }
  dlg->SetSearchWholeWords(m.WholeWords);
  if (dlg->ShowModal() != mrOk) return;

  m.Backwards = dlg->SearchBackwards();
  m.MatchCase = dlg->SearchCaseSensitive();
  m.FromCaret = dlg->SearchFromCursor();
  m.SelectedOnly = dlg->SearchSelectedOnly();
  m.WholeWords = dlg->SearchWholeWords();
  m.RegularExpression = dlg->SearchRegularExpression();
  m.SearchText = dlg->SearchText();
  m.SearchTextHistory = dlg->SearchTextHistory();
  if (rdlg) {
    m.ReplaceText = rdlg->ReplaceText();
    m.ReplaceTextHistory = rdlg->ReplaceTextHistory();
  }
  dlg.reset();
  continueFromCaret_ = m.FromCaret;
  if (!m.SearchText.empty()) {
    DoSearchReplace(AReplace, m.Backwards);
    continueFromCaret_ = true;
  }
}

void TMain::DoSearchReplace(bool AReplace, bool ABackwards) {
  const TSearchMemory& m = SearchMemory();
  TSrcSearchOptions options;
  if (AReplace) {
    options.Include(soReplace);
    options.Include(soReplaceAll);
    options.Include(soPrompt);
  }
  if (ABackwards) options.Include(soBackwards);
  if (m.MatchCase) options.Include(soMatchCase);
  if (!continueFromCaret_) options.Include(soEntireScope);
  if (m.SelectedOnly) options.Include(soSelectedOnly);
  if (m.WholeWords) options.Include(soWholeWord);
  if (m.RegularExpression) SrcEdit1->SetSearchEngine(SrcEditRegexSearch);
  else SrcEdit1->SetSearchEngine(SrcEditSearch);

  // The confirmation dialog lives for one run.
  struct FreeConfirmation {
    ~FreeConfirmation() { delete ConfirmReplaceDialog; }
  } freeConfirmation;
  try {
    if (SrcEdit1->SearchReplace(m.SearchText, m.ReplaceText, options) == 0) {
      MessageBeep(MB_ICONASTERISK);
      if (ABackwards) SrcEdit1->SetBlockEnd(SrcEdit1->BlockBegin());
      else SrcEdit1->SetBlockBegin(SrcEdit1->BlockEnd());
      SrcEdit1->SetCaretXY(SrcEdit1->BlockBegin());
    }
  } catch (const ERegexEngine& e) {
    // A malformed expression: its message, its position and the engine's error number.
    throw Exception(e.Message() + "\n" + W1251("Код ошибки: ") + IntToStr(e.ErrorId));
  }
}

void TMain::SrcEdit1ReplaceText(TObject*, const AnsiString& ASearch, const AnsiString& AReplace, int Line,
                                int Column, TSrcReplaceAction& Action) {
  if (ASearch == AReplace) {
    Action = raSkip;
    return;
  }
  TDisplayCoord d = SrcEdit1->BufferToDisplayPos(BufferCoord(Column, Line));
  TPoint hit = SrcEdit1->ClientToScreen(SrcEdit1->RowColumnToPixels(d));
  TPoint origin = ClientToScreen(TPoint{0, 0});
  TRect area{origin.X, origin.Y, origin.X + ClientWidth(), origin.Y + ClientHeight()};
  if (!ConfirmReplaceDialog) Application->CreateForm(ConfirmReplaceDialog);
  ConfirmReplaceDialog->PrepareShow(area, hit.X, ASearch, hit.Y + SrcEdit1->LineHeight(), hit.Y);
  switch (ConfirmReplaceDialog->ShowModal()) {
    case mrYes: Action = raReplace; break;
    case mrNo: Action = raSkip; break;
    case mrReplaceAll: Action = raReplaceAll; break;
    default: Action = raCancel; break;
  }
}
