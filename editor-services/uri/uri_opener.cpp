#include "editor-services/uri/uri_opener.h"

#include <cstdlib>

#include "platform/shell.h"
#include "platform/system_metrics.h"

namespace {
// How far press and release may lie apart and still make a click, in pixels.
constexpr int kClickSlop = 4;
}  // namespace

TSrcURIOpener::TSrcURIOpener(TComponent* AOwner) : TComponent(AOwner), visited_(std::make_unique<TStringList>()) {
  visited_->SetSorted(true);
  visited_->SetDuplicates(dupIgnore);
}

TSrcURIOpener::~TSrcURIOpener() {
  SetEditor(nullptr);
  SetURIHighlighter(nullptr);
}

void TSrcURIOpener::SetEditor(TCustomSrcEdit* Value) {
  if (Value == editor_) return;
  bool designing = ComponentState() & csDesigning;
  if (editor_) {
    editor_->RemoveFreeNotification(this);
    if (!designing) {
      editor_->RemoveKeyDownHandler(TKeyEvent(this, &TSrcURIOpener::EditorKeyDown));
      editor_->RemoveKeyUpHandler(TKeyEvent(this, &TSrcURIOpener::EditorKeyUp));
      editor_->RemoveMouseCursorHandler(TMouseCursorEvent(this, &TSrcURIOpener::EditorMouseCursor));
      editor_->RemoveMouseDownHandler(TMouseEvent(this, &TSrcURIOpener::EditorMouseDown));
      editor_->RemoveMouseUpHandler(TMouseEvent(this, &TSrcURIOpener::EditorMouseUp));
    }
  }
  editor_ = Value;
  if (editor_) {
    editor_->FreeNotification(this);
    if (!designing) {
      editor_->AddKeyDownHandler(TKeyEvent(this, &TSrcURIOpener::EditorKeyDown));
      editor_->AddKeyUpHandler(TKeyEvent(this, &TSrcURIOpener::EditorKeyUp));
      editor_->AddMouseCursorHandler(TMouseCursorEvent(this, &TSrcURIOpener::EditorMouseCursor));
      editor_->AddMouseDownHandler(TMouseEvent(this, &TSrcURIOpener::EditorMouseDown));
      editor_->AddMouseUpHandler(TMouseEvent(this, &TSrcURIOpener::EditorMouseUp));
    }
  }
}

void TSrcURIOpener::SetURIHighlighter(TSrcURISrc* Value) {
  if (Value == highlighter_) return;
  bool designing = ComponentState() & csDesigning;
  if (highlighter_) {
    highlighter_->RemoveFreeNotification(this);
    if (!designing) highlighter_->SetVisitedURICallback(TSrcIsVisitedURI());
  }
  highlighter_ = Value;
  if (highlighter_) {
    highlighter_->FreeNotification(this);
    if (!designing) highlighter_->SetVisitedURICallback(TSrcIsVisitedURI(this, &TSrcURIOpener::IsVisitedURI));
  }
}

void TSrcURIOpener::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // A component being destroyed is only let go: its handler chains go with it.
  if (AComponent == editor_) editor_ = nullptr;
  if (AComponent == highlighter_) highlighter_ = nullptr;
}

bool TSrcURIOpener::IsVisitedURI(const AnsiString& URI) {
  int index;
  return visited_->Find(URI, index);
}

void TSrcURIOpener::OpenLink(const AnsiString& URI, int TokenKind) {
  visited_->Add(URI);
  AnsiString target = URI;
  // Schemes are compared without regard to case, as the highlighter finds them.
  if (TokenKind == utMailtoLink && !SameText(URI.substr(0, 7), "mailto:")) target = "mailto:" + URI;
  else if (TokenKind == utWebLink) target = "http://" + URI;
  ShellExecute(nullptr, AnsiString(), target, AnsiString(), AnsiString(), SW_SHOWNORMAL);
}

bool TSrcURIOpener::LinkAt(const TBufferCoord& P, AnsiString& Token, int& Kind) const {
  if (!editor_ || !highlighter_) return false;
  int start = 0;
  TSrcHighlighterAttributes* attri = nullptr;
  if (!editor_->GetTokenInfoAt(P, Token, Kind, start, attri)) return false;
  return attri && (attri == highlighter_->URIAttri() || attri == highlighter_->VisitedURIAttri());
}

void TSrcURIOpener::EditorKeyDown(TObject*, Word& Key, TShiftState) {
  if (Key != VK_CONTROL || ctrlDown_ || !editor_) return;
  TPoint p = editor_->ScreenToClient(GetCursorPos());
  if (p.X < 0 || p.Y < 0 || p.X >= editor_->ClientWidth() || p.Y >= editor_->ClientHeight()) return;
  ctrlDown_ = true;
  editor_->UpdateMouseCursor();
}

void TSrcURIOpener::EditorKeyUp(TObject*, Word& Key, TShiftState) {
  if (Key != VK_CONTROL || !ctrlDown_ || !editor_) return;
  ctrlDown_ = false;
  editor_->UpdateMouseCursor();
}

void TSrcURIOpener::EditorMouseCursor(TObject*, const TBufferCoord& aLineCharPos, TCursor& aCursor) {
  ctrlDown_ = GetKeyState(VK_CONTROL) < 0;
  if ((ctrlActivatesLinks_ && !ctrlDown_) || !editor_ || (editor_->ComponentState() & csDesigning) ||
      !editor_->Focused())
    return;
  AnsiString token;
  int kind = 0;
  if (!LinkAt(aLineCharPos, token, kind)) return;
  if (editor_->Options().Contains(eoDragDropEditing) && editor_->IsPointInSelection(aLineCharPos)) return;
  aCursor = crHandPoint;
}

void TSrcURIOpener::EditorMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if ((Button == mbLeft && !ctrlActivatesLinks_) || ctrlDown_) {
    pressed_ = true;
    mouseDownX_ = X;
    mouseDownY_ = Y;
  }
}

void TSrcURIOpener::EditorMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  // Only a release that ends a press remembered here makes a click.
  bool pressed = pressed_;
  pressed_ = false;
  if (Button != mbLeft || !editor_ || !pressed || (ctrlActivatesLinks_ && !ctrlDown_)) return;
  if (std::abs(X - mouseDownX_) > kClickSlop || std::abs(Y - mouseDownY_) > kClickSlop) return;
  if (X < editor_->GutterWidth()) return;
  TBufferCoord p = editor_->DisplayToBufferPos(editor_->PixelsToRowColumn(X, Y));
  if (editor_->Options().Contains(eoDragDropEditing) && editor_->IsPointInSelection(p)) return;
  AnsiString token;
  int kind = 0;
  if (!LinkAt(p, token, kind)) return;
  OpenLink(token, kind);
  editor_->InvalidateLine(p.Line);
}
