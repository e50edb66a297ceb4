#include "editor-services/completion/format_chunks.h"

#include <algorithm>
#include <climits>

namespace {

bool ParseCommand(const AnsiString& Name, const AnsiString& Param, TFormatChunk& Chunk) {
  if (Name == "COLOR") {
    TColor c;
    if (!IdentToColor(Param, c)) {
      int v;
      if (!TryStrToInt(Param, v)) return false;
      c = static_cast<TColor>(v);
    }
    Chunk.Kind = chunkColor;
    Chunk.Data = static_cast<int32_t>(c);
    return true;
  }
  if (Name == "STYLE") {
    if (Param.size() != 2) return false;
    char letter = AnsiUpperChar(Param[1]);
    if (letter != 'B' && letter != 'I' && letter != 'S' && letter != 'U') return false;
    switch (Param[0]) {
      case '+': Chunk.Style.Action = 1; break;
      case '-': Chunk.Style.Action = -1; break;
      case '~': Chunk.Style.Action = 0; break;
      default: return false;
    }
    Chunk.Kind = chunkStyle;
    Chunk.Style.Letter = letter;
    return true;
  }
  if (Name == "COLUMN") {
    Chunk.Kind = chunkColumn;
    return Param.empty();
  }
  if (Name == "HSPACE" || Name == "IMAGE") {
    int v;
    if (!TryStrToInt(Param, v)) return false;
    Chunk.Kind = Name == "HSPACE" ? chunkHSpace : chunkImage;
    Chunk.Data = v;
    return true;
  }
  return false;
}

// x + d held within the range of int: an item as wide as \hspace{2147483647} stays the widest
// possible, never wraps round to a negative width.
int AddSaturated(int x, int d) {
  long long v = static_cast<long long>(x) + d;
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

TFontStyle StyleOfLetter(char Letter) {
  switch (Letter) {
    case 'B': return fsBold;
    case 'I': return fsItalic;
    case 'U': return fsUnderline;
    default: return fsStrikeOut;
  }
}

// Paints (or, Measuring, only measures) the chunks from Rect's left edge; the x where it ended.
int PaintChunks(TCanvas* Canvas, const TRect& Rect, const TFormatChunkList& Chunks, TProposalColumns* Columns,
                TImageList* Images, bool Measuring) {
  TFont kept;
  kept.Assign(Canvas->Font());
  Canvas->Brush()->SetStyle(bsClear);
  int column = 0;
  const int columnCount = Columns ? Columns->Count() : 0;
  if (columnCount > 0) Canvas->Font()->SetStyle(Columns->Items(0)->DefaultFontStyle());
  int x = Rect.Left, columnStart = Rect.Left;
  for (int i = 0; i < Chunks.Count(); ++i) {
    const TFormatChunk& c = Chunks.Chunks(i);
    bool full = false;
    switch (c.Kind) {
      case chunkText:
        if (!Measuring) Canvas->TextOut(x, Rect.Top, c.Text);
        x = AddSaturated(x, Canvas->TextWidth(c.Text));
        full = x > Rect.Right;
        break;
      case chunkColor:
        if (!Measuring) Canvas->Font()->SetColor(static_cast<TColor>(c.Data));
        break;
      case chunkStyle: {
        TFontStyles s = Canvas->Font()->Style();
        TFontStyle f = StyleOfLetter(c.Style.Letter);
        bool on = c.Style.Action == 1 || (c.Style.Action == 0 && !s.Contains(f));
        if (on) s.Include(f);
        else s.Exclude(f);
        Canvas->Font()->SetStyle(s);
        break;
      }
      case chunkColumn:
        if (column < columnCount) {
          columnStart = AddSaturated(columnStart, Canvas->TextWidth(Columns->Items(column)->BiggestWord() + " "));
          x = columnStart;
          if (++column < columnCount) Canvas->Font()->SetStyle(Columns->Items(column)->DefaultFontStyle());
        }
        break;
      case chunkHSpace:
        x = AddSaturated(x, c.Data);
        full = x > Rect.Right;
        break;
      case chunkImage:
        // Without the image list (or the image) nothing is drawn and no room taken.
        if (Images && c.Data >= 0 && c.Data < Images->Count()) {
          if (!Measuring) Images->Draw(Canvas, x, Rect.Top, c.Data);
          x = AddSaturated(x, Images->Width());
          full = x > Rect.Right;
        }
        break;
    }
    if (full) break;
  }
  Canvas->Font()->Assign(&kept);
  Canvas->Brush()->SetStyle(bsSolid);
  return x;
}

}  // namespace

void TProposalColumn::Assign(TPersistent* Source) {
  if (auto* c = dynamic_cast<TProposalColumn*>(Source)) {
    biggestWord_ = c->biggestWord_;
    defaultFontStyle_ = c->defaultFontStyle_;
    return;
  }
  TCollectionItem::Assign(Source);
}

TProposalColumns::TProposalColumns(TPersistent* AOwner)
    : TCollection([](TCollection* c) { return new TProposalColumn(c); }), owner_(AOwner) {}

bool ParseFormatChunks(const AnsiString& Text, TFormatChunkList& Chunks, TFormatChunkKinds StripKinds) {
  Chunks.Clear();
  bool ok = true;
  AnsiString pending;
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    if (Text[i] != '\\') {
      pending += Text[i++];
      continue;
    }
    if (i + 1 < n && Text[i + 1] == '\\') {
      pending += '\\';
      i += 2;
      continue;
    }
    if (!pending.empty()) {
      Chunks.Add(TFormatChunk{pending, chunkText, 0, {}});
      pending.clear();
    }
    // A command without its braces up to the end of the text vanishes with its name.
    size_t open = Text.find('{', i + 1);
    size_t close = open == AnsiString::npos ? open : Text.find('}', open + 1);
    if (close == AnsiString::npos) {
      i = n;
      break;
    }
    AnsiString name = UpperCase(Text.substr(i + 1, open - i - 1));
    TFormatChunk chunk;
    if (!ParseCommand(name, Text.substr(open + 1, close - open - 1), chunk)) ok = false;
    else if (!(StripKinds & ChunkKind(chunk.Kind))) Chunks.Add(std::move(chunk));
    i = close + 1;
  }
  if (!pending.empty()) Chunks.Add(TFormatChunk{pending, chunkText, 0, {}});
  return ok;
}

AnsiString FormattedTextToString(const AnsiString& Text) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, AllChunkCommands);
  AnsiString s;
  for (int i = 0; i < chunks.Count(); ++i) s += chunks.Chunks(i).Text;
  return s;
}

int FormattedTextOut(TCanvas* Canvas, const TRect& Rect, const AnsiString& Text, bool Highlighted,
                     TImageList* Images, TProposalColumns* Columns) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, Highlighted ? ChunkKind(chunkColor) : TFormatChunkKinds(0));
  return PaintChunks(Canvas, Rect, chunks, Columns, Images, false);
}

int FormattedTextWidth(TCanvas* Canvas, const AnsiString& Text, TProposalColumns* Columns, TImageList* Images) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, ChunkKind(chunkColor));
  return PaintChunks(Canvas, TRect{0, 0, INT_MAX, INT_MAX}, chunks, Columns, Images, true);
}

AnsiString FormatParamList(const AnsiString& Params, int Index) {
  TStringList list;
  list.SetCommaText(Params);
  AnsiString s;
  for (int i = 0; i < list.Count(); ++i) {
    if (i) s += ' ';
    s += i == Index ? "\\style{~B}" + list.Get(i) + "\\style{~B}" : list.Get(i);
  }
  return s;
}
