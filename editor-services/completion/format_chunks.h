#pragma once
// The mark-up of completion items: plain text with commands for colour, font style, columns,
// spacing and images, parsed into chunks that are measured and painted one after another.
//   \\            a backslash
//   \color{c}     text colour: a colour name or number
//   \style{+B}    font style: + add, - remove, ~ toggle; B, I, S or U in either case
//   \column{}     the next column
//   \hspace{n}    n pixels of space
//   \image{n}     image n of the image list
#include <cstdint>
#include <vector>

#include "platform/classes.h"
#include "platform/graphics.h"

enum TFormatChunkKind : uint8_t { chunkText, chunkColor, chunkStyle, chunkColumn, chunkHSpace, chunkImage };
// A set of chunk kinds, one bit per kind.
using TFormatChunkKinds = uint8_t;
constexpr TFormatChunkKinds ChunkKind(TFormatChunkKind k) { return TFormatChunkKinds(1u << k); }
constexpr TFormatChunkKinds AllChunkCommands = ChunkKind(chunkColor) | ChunkKind(chunkStyle) |
                                               ChunkKind(chunkColumn) | ChunkKind(chunkHSpace) | ChunkKind(chunkImage);

// A style command: the style letter (B, I, S, U) and what to do with it.
struct TFormatStyle {
  char Letter = 0;
  int32_t Action = 0;  // 1 add, -1 remove, 0 toggle
};

struct TFormatChunk {
  AnsiString Text;  // text chunks only
  TFormatChunkKind Kind = chunkText;
  int32_t Data = 0;  // colour, pixels or image index
  TFormatStyle Style;
};

class TFormatChunkList : public TObject {
public:
  int Count() const { return static_cast<int>(chunks_.size()); }
  const TFormatChunk& Chunks(int Index) const { return chunks_.at(static_cast<size_t>(Index)); }
  void Add(TFormatChunk Chunk) { chunks_.push_back(std::move(Chunk)); }
  void Clear() { chunks_.clear(); }

private:
  std::vector<TFormatChunk> chunks_;
};

// One column of the list: its widest text places the next column.
class TProposalColumn : public TCollectionItem {
public:
  explicit TProposalColumn(TCollection* Collection) : TCollectionItem(Collection) {}
  const AnsiString& BiggestWord() const { return biggestWord_; }
  void SetBiggestWord(const AnsiString& Value) { biggestWord_ = Value; }
  TFontStyles DefaultFontStyle() const { return defaultFontStyle_; }
  void SetDefaultFontStyle(TFontStyles Value) { defaultFontStyle_ = Value; }
  void Assign(TPersistent* Source) override;

private:
  AnsiString biggestWord_ = "CONSTRUCTOR";
  TFontStyles defaultFontStyle_;
};

class TProposalColumns : public TCollection {
public:
  explicit TProposalColumns(TPersistent* AOwner);
  TProposalColumn* Items(int Index) const { return static_cast<TProposalColumn*>(TCollection::Items(Index)); }
  TProposalColumn* Add() { return static_cast<TProposalColumn*>(TCollection::Add()); }
  TPersistent* GetOwner() const override { return owner_; }

private:
  TPersistent* owner_;
};

// Parses Text into Chunks (cleared first), leaving out commands of the kinds in StripKinds.
// False when a command was unknown or malformed (it adds nothing; parsing goes on after it).
bool ParseFormatChunks(const AnsiString& Text, TFormatChunkList& Chunks, TFormatChunkKinds StripKinds);
// The text of an item without its commands.
AnsiString FormattedTextToString(const AnsiString& Text);
// Paints an item into Rect from its left edge at its top; a highlighted item keeps the canvas's
// text colour. Returns the x where painting ended.
int FormattedTextOut(TCanvas* Canvas, const TRect& Rect, const AnsiString& Text, bool Highlighted,
                     TImageList* Images, TProposalColumns* Columns);
// The width an item takes when painted from x = 0.
int FormattedTextWidth(TCanvas* Canvas, const AnsiString& Text, TProposalColumns* Columns, TImageList* Images);
// The parameters of a comma-separated list joined by blanks, the one at Index in bold.
AnsiString FormatParamList(const AnsiString& Params, int Index);
