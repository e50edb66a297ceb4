// The search-and-replace driver: walks the lines of a scope, asks the engine for the hits of
// each line, selects the hits that lie inside the scope, and stops at the first one or replaces
// them, asking the application first when told to.
#include <algorithm>
#include <utility>

#include "editor/src_edit.h"

namespace {
// Puts trimming off for the edits made within it (when on is set) and gives the flag back its
// value when it ends, by any path.
class DeferTrimScope {
public:
  DeferTrimScope(bool& flag, bool on) : flag_(flag), saved_(flag) {
    if (on) flag_ = true;
  }
  ~DeferTrimScope() { flag_ = saved_; }
  DeferTrimScope(const DeferTrimScope&) = delete;
  DeferTrimScope& operator=(const DeferTrimScope&) = delete;

private:
  bool& flag_;
  bool saved_;
};
}  // namespace

void TCustomSrcEdit::SetSearchEngine(TSrcEditSearchCustom* Value) {
  if (Value == fSearchEngine) return;
  fSearchEngine = Value;
  if (Value) Value->FreeNotification(this);
}

int TCustomSrcEdit::SearchReplace(const AnsiString& ASearch, const AnsiString& AReplace,
                                  TSrcSearchOptions AOptions) {
  if (!fSearchEngine) throw ESrcEditError("No search engine has been assigned");
  if (ASearch.empty()) return 0;

  const bool backwards = AOptions.Contains(soBackwards);
  bool prompt = AOptions.Contains(soPrompt);
  bool replace = AOptions.Contains(soReplace);
  bool replaceAll = AOptions.Contains(soReplaceAll);
  const bool fromCursor = !AOptions.Contains(soEntireScope);
  if (!SelAvail()) AOptions.Exclude(soSelectedOnly);
  // A read-only text can be searched, not changed: a replace run finds the first hit.
  if (ReadOnly()) replace = replaceAll = prompt = false;

  auto lineLength = [this](int Line) {
    return Line >= 1 && Line <= fLines->Count() ? static_cast<int>(fLines->Line(Line - 1).size()) : 0;
  };
  const TSrcSelectionMode mode = fSelectionMode;
  // Only a search in a column selection looks at columns; any other scope is whole lines
  // between its ends, whatever the selection mode.
  const bool columnScope = mode == smColumn && AOptions.Contains(soSelectedOnly);
  TBufferCoord start, end;
  if (AOptions.Contains(soSelectedOnly)) {
    start = BlockBegin();
    end = BlockEnd();
    if (mode == smLine) {
      start.Char = 1;
      end.Char = lineLength(end.Line) + 1;
    } else if (mode == smColumn && start.Char > end.Char) {
      std::swap(start.Char, end.Char);
    }
  } else {
    start = BufferCoord(1, 1);
    end = BufferCoord(lineLength(fLines->Count()) + 1, fLines->Count());
    if (fromCursor) {
      if (backwards) end = CaretXY();
      else start = CaretXY();
    }
  }

  // A search from the caret passes over an empty hit at the caret: the last search left the
  // caret there, and finding the same spot again would never move on. A replace-all takes it.
  const bool passEmptyAtCaret = fromCursor && !AOptions.Contains(soSelectedOnly) && !replaceAll;
  const TBufferCoord caret = CaretXY();

  TSrcEditSearchCustom* engine = fSearchEngine;
  engine->SetOptions(AOptions);
  engine->SetPattern(ASearch);
  int replaceLen = 0;
  int result = 0;
  bool undoBegun = false;
  DoOnPaintTransient(ttBefore);

  // Trimming waits until the hits of a line are done: trimmed after its first replacement, the
  // line would lose the later hits that stand in its trailing blanks and tabs, and their
  // replacements would go in beyond its end. The lines a replacement touched are trimmed
  // together, recorded with the last replacement made on them.
  const bool trim = fOptions.Contains(eoTrimTrailingSpaces);
  int trimFrom = 0, trimTo = -1;
  auto trimReplaced = [&] {
    if (trimTo < trimFrom) return;
    for (int l = trimFrom; l <= std::min(trimTo, fLines->Count()); ++l) StoreLineTrimmed(l - 1, fLines->Get(l - 1));
    trimFrom = 0;
    trimTo = -1;
    FlushTrimmed();
  };

  // The walk; returns when the run is over, by its end or early.
  auto walk = [&] {
    if (replaceAll) {
      IncPaintLock();
      if (!prompt) {
        BeginUndoBlock();
        undoBegun = true;
      }
    }
    int line = backwards ? end.Line : start.Line;
    while (line >= start.Line && line <= end.Line) {
      int left = engine->FindAll(fLines->Line(line - 1));
      int offset = 0;  // how far replacements moved the later hits of this line
      int index = backwards ? engine->GetResultCount() - 1 : 0;
      int hitLine = line;  // where the rest of this line lies (replacements may break it)
      while (left > 0) {
        int pos = engine->GetResult(index) + offset;
        int len = engine->GetLength(index);
        index += backwards ? -1 : 1;
        --left;
        int first = pos, last = pos + len;
        bool inside;
        if (columnScope)
          inside = (first >= start.Char && last <= end.Char) || end.Char - start.Char < 1;
        else  // whole lines: the scope's ends are line ends or the caret
          inside = !((hitLine == start.Line && first < start.Char) || (hitLine == end.Line && last > end.Char));
        if (!inside) continue;
        if (passEmptyAtCaret && len == 0 && hitLine == caret.Line && first == caret.Char) continue;
        ++result;

        TBufferCoord current = BufferCoord(pos, hitLine);
        SetBlockBegin(current);
        SetCaretXYEx(false, BufferCoord(1, hitLine));
        EnsureCursorPosVisibleEx(true);
        current.Char += len;
        SetBlockEnd(current);
        InternalSetCaretXY(current);
        if (backwards) InternalSetCaretXY(BlockBegin());

        if (!replace && !replaceAll) return;
        TSrcReplaceAction action = raReplace;
        if (prompt && OnReplaceText.Assigned()) {
          action = DoOnReplaceText(ASearch, AReplace, hitLine, pos);
          if (action == raCancel) return;
        }
        bool replaced = false;
        if (action != raSkip) {
          if (action == raReplaceAll) {
            if (!replaceAll) {
              replaceAll = true;
              IncPaintLock();
            }
            prompt = false;
            if (!undoBegun) {
              BeginUndoBlock();
              undoBegun = true;
            }
          }
          // The hit is read and replaced as plain text whatever the selection mode: a line
          // selection would take the whole line with it, and the engine would make the
          // replacement from that line.
          // An empty hit replaced by nothing changes nothing: it is passed over with its line,
          // which keeps its trailing blanks (nothing would be on record to give them back).
          TSrcSelectionMode keep = fSelectionMode;
          fSelectionMode = smNormal;
          bool changed = false;
          try {
            AnsiString found = SelText();
            AnsiString with = engine->Replace(found, AReplace);
            changed = !found.empty() || !with.empty();
            DeferTrimScope defer(fDeferTrim, trim);
            if (changed) SetSelText(with);
            else SetBlockBegin(CaretXY());
          } catch (...) {
            fSelectionMode = keep;
            throw;
          }
          fSelectionMode = keep;
          if (trim && changed) {
            if (trimTo < trimFrom) trimFrom = hitLine;
            trimTo = std::max(trimTo, CaretY());
          }
          replaceLen = CaretX() - pos;
          replaced = true;
        }
        if (!backwards) {
          if (!replaced) {
            InternalSetCaretX(pos + replaceLen);
          } else if (CaretX() != last || CaretY() != hitLine) {
            // Later hits of the line follow the end of the replacement, on the line where a
            // replacement with line breaks left the rest.
            int shift = CaretX() - last;
            int added = CaretY() - hitLine;
            offset += shift;
            if (!columnScope && hitLine == end.Line) {
              end.Char += shift;
              end.Line += added;
              SetBlockEnd(end);
            } else {
              end.Line += added;
            }
            hitLine = CaretY();
          }
        }
        if (!replaceAll) return;
      }
      trimReplaced();
      line = backwards ? line - 1 : hitLine + 1;
    }
  };

  auto finish = [&] {
    if (replaceAll) DecPaintLock();
    if (undoBegun) EndUndoBlock();
    DoOnPaintTransient(ttAfter);
  };
  try {
    walk();
    trimReplaced();
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return result;
}
