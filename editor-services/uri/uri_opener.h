#pragma once
// Makes links in an editor clickable: over a link of the URI highlighter the mouse shows a hand
// (while Ctrl is held, by default) and a click opens the link with the desktop's handler. Links
// opened are remembered, so that the highlighter can show them as visited.
#include <memory>

#include "editor/src_edit.h"
#include "highlighters/uri.h"

class TSrcURIOpener : public TComponent {
public:
  explicit TSrcURIOpener(TComponent* AOwner);
  ~TSrcURIOpener() override;

  bool CtrlActivatesLinks() const { return ctrlActivatesLinks_; }
  void SetCtrlActivatesLinks(bool Value) { ctrlActivatesLinks_ = Value; }
  TCustomSrcEdit* Editor() const { return editor_; }
  void SetEditor(TCustomSrcEdit* Value);
  TSrcURISrc* URIHighlighter() const { return highlighter_; }
  void SetURIHighlighter(TSrcURISrc* Value);

  // Whether the link was opened before.
  bool IsVisitedURI(const AnsiString& URI);
  // Opens a link token of the URI highlighter: a bare mail address gets "mailto:", a bare web
  // address "http://".
  void OpenLink(const AnsiString& URI, int TokenKind);
  bool CtrlDown() const { return ctrlDown_; }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void EditorKeyUp(TObject* Sender, Word& Key, TShiftState Shift);
  void EditorMouseCursor(TObject* Sender, const TBufferCoord& aLineCharPos, TCursor& aCursor);
  void EditorMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EditorMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The link token at P: true with its text and kind when the token is one of the highlighter's
  // links.
  bool LinkAt(const TBufferCoord& P, AnsiString& Token, int& Kind) const;

  bool ctrlActivatesLinks_ = true;
  TCustomSrcEdit* editor_ = nullptr;
  TSrcURISrc* highlighter_ = nullptr;
  bool ctrlDown_ = false;
  bool pressed_ = false;
  int mouseDownX_ = 0, mouseDownY_ = 0;
  std::unique_ptr<TStringList> visited_;
};
