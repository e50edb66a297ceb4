#pragma once
// The editor's text: lines with an object slot, the highlighter range at the end of each line,
// a cached tab-expanded length and state flags; loaded from and saved to files with the line
// break the file used.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <climits>
#include <memory>
#include <string_view>
#include <vector>

#include "editor/core/text_utils.h"
#include "platform/classes.h"
#include "platform/safe_file.h"
#include "platform/streams.h"

VT_DECLARE_EXCEPTION(ESrcEditStringList, Exception);

enum TLineBreakFormat : uint8_t { lbCRLF = 0, lbLF = 1, lbCR = 2 };

enum : uint8_t { sfHasTabs = 1, sfHasNoTabs = 2, sfExpandedLengthUnknown = 4 };

// Memory for the large blocks of a big document (the records, the loaded text): taken in
// large pages where the system offers them, so that filling it costs few page faults.
void* AllocateLargeBlock(void* Old, size_t Size);
// Gives the memory of freed blocks back to the system once Bytes of them (a document, an undo
// history) have gone: the allocator would otherwise keep a large document's many small pieces
// for the life of the process.
void ReleaseFreedMemory(size_t Bytes);

template <class T>
struct TLargeBlockAllocator {
  using value_type = T;
  TLargeBlockAllocator() = default;
  template <class U>
  TLargeBlockAllocator(const TLargeBlockAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(AllocateLargeBlock(nullptr, n * sizeof(T))); }
  void deallocate(T* p, size_t) { std::free(p); }
  template <class U>
  bool operator==(const TLargeBlockAllocator<U>&) const { return true; }
};

// One line, 12 bytes. Its text is followed by a #0 and lies either in the buffer the file was
// loaded into (shared by every line not edited since) or, for a line stored since, in storage
// of its own. The record names its text by a 40-bit reference: for a loaded line its offset in
// the loaded buffer, for any other line (fRefHigh == kOwnedText) an index into the store's
// table of texts, where index 0 is the shared empty text and every other entry belongs to one
// record alone. Object slots and the tab-expanded lengths of lines with tabs live beside the
// records (most documents never set an object, and a line without a tab expands to its own
// length). Ranges are kept in 16 bits: every highlighter's state fits (the widest, CSS, puts
// two small states in two bytes), and so does -1, the range of a line not scanned yet.
struct TSrcEditStringRec {
  static constexpr uint8_t kOwnedText = 0xFF;
  uint32_t fRef = 0;  // the low 32 bits of the reference
  int32_t fLength = 0;
  int16_t fRange = 0;
  uint8_t fFlags = 0;
  uint8_t fRefHigh = kOwnedText;  // the high 8 bits of a loaded line's offset, or kOwnedText
  bool Loaded() const { return fRefHigh != kOwnedText; }
  uint64_t Offset() const { return (uint64_t(fRefHigh) << 32) | fRef; }
  // The line has storage of its own, freed with it.
  bool HasOwnText() const { return !Loaded() && fRef != 0; }
};
static_assert(sizeof(TSrcEditStringRec) == 12);

// (Sender, Index, Count): lines Index .. Index+Count-1 were removed, inserted or replaced.
using TStringListChangeEvent = TMethod<void(TObject* Sender, int Index, int Count)>;

class TSrcEditStringList : public TStrings {
public:
  TSrcEditStringList();
  ~TSrcEditStringList() override;

  // What one store holds: lines of at most kMaxLineLength bytes, so that the position after a
  // line's last character is still an int, and at most kMaxLineCount lines. A load or a change
  // beyond either is refused with ESrcEditStringList before anything changes.
  static constexpr int64_t kMaxLineLength = INT_MAX - 1;
  static constexpr int64_t kMaxLineCount = INT_MAX;
  // The refusals, for the owner's edits checked before they begin. Line is 1-based.
  [[noreturn]] static void LineTooLong(int64_t Line);
  [[noreturn]] static void TooManyLines();
  // A line is also at most kMaxLineLength columns wide with its tabs expanded at the tab width,
  // so that every column of it, and the one after it, is an int as well; a load, a change or a
  // tab width that would make a line wider is refused as too long. No character is wider than
  // a tab: only a line whose bytes times the tab width pass the limit can be too wide, and only
  // such a line is ever measured for it.
  bool MayBeTooWide(int64_t Bytes) const { return Bytes > kMaxLineLength / std::max(fTabWidth, 1); }
  // The column (0-based) after S when it starts at Column, at the store's tab width.
  int64_t ColumnAfter(std::string_view S, int64_t Column = 0) const { return ExpandedWidth(S, fTabWidth, Column); }
  // Refuses line Line (1-based) made of A, B and C in order when it would be too wide.
  void CheckWidth(int64_t Line, std::string_view A, std::string_view B = {}, std::string_view C = {}) const;

  int Count() const override { return static_cast<int>(fList.size()); }
  int Capacity() const override { return fCapacity; }
  void SetCapacity(int NewCapacity) override;

  AnsiString Get(int Index) const override;
  // The line's text without a copy, for reading: valid until the line is stored again or
  // removed; the character after the text is always #0. Empty outside the list.
  std::string_view Line(int Index) const {
    // A negative index becomes a huge one.
    auto i = static_cast<size_t>(static_cast<ptrdiff_t>(Index));
    const TSrcEditStringRec* first = fList.data();
    const size_t bytes = ListBytes();
    if (i * sizeof(TSrcEditStringRec) >= bytes) return std::string_view("", 0);
    PrefetchAhead(i, bytes);
    auto& r = first[i];
    return {TextOf(r), static_cast<size_t>(r.fLength)};
  }
  TObject* GetObject(int Index) const override;
  intptr_t GetObjectValue(int Index) const;
  intptr_t GetRange(int Index) const;
  int Add(const AnsiString& S) override;
  void Insert(int Index, const AnsiString& S) override;
  void AddStrings(TStrings* Strings) override;
  void Put(int Index, const AnsiString& S) override;
  void PutText(int Index, std::string_view S);
  // Removes Length characters at Start (0-based), then keeps the first Keep characters of the
  // rest: the line is changed where it is stored, without a copy. Events as Put.
  void DeleteText(int Index, size_t Start, size_t Length, size_t Keep = SIZE_MAX);
  // Inserts S (which must not be a view of the line) at Start (0-based): a line with storage of
  // its own grows where it is, a loaded line is copied once. Events as Put.
  void InsertText(int Index, size_t Start, std::string_view S);
  // Every line's text passed through Map byte for byte where it is stored: line lengths and the
  // line count stay. With Old, the text as it was goes there first, lines joined with CR LF as
  // Text() gives them. Tabs are measured again only where Map can make or unmake one. One change
  // (OnPutted for all lines) within one update.
  void MapText(const std::array<unsigned char, 256>& Map, AnsiString* Old);
  // Exchanges every line's text with its line in Texts: lines of exactly the present lengths
  // joined with CR LF, such as MapText gave as the old text. Texts then holds the text as it
  // was, so that a second exchange takes the change back; nothing is copied. Texts of other
  // lengths are refused (ESrcEditStringList) before anything changes. Events as MapText.
  void ExchangeText(AnsiString& Texts);
  void PutObject(int Index, TObject* Obj) override;
  void PutObjectValue(int Index, intptr_t Obj);
  void PutRange(int Index, intptr_t Range);
  void Delete(int Index) override;
  void DeleteLines(int Index, int NumLines);
  void InsertLines(int Index, int NumLines);
  void Exchange(int Index1, int Index2) override;
  void Clear() override;

  // Lines joined with CR LF, without a break after the last one.
  AnsiString Text() const override;

  AnsiString ExpandedStrings(int Index);
  // The expanded line without a copy when it holds no tab; otherwise expanded into Scratch.
  // Valid as long as the line and Scratch are unchanged.
  std::string_view ExpandedView(int Index, AnsiString& Scratch);
  int ExpandedStringLengths(int Index);
  int LengthOfLongestLine();

  int TabWidth() const { return fTabWidth; }
  void SetTabWidth(int Value);
  TLineBreakFormat FileFormat() const { return fFileFormat; }
  void SetFileFormat(TLineBreakFormat f) { fFileFormat = f; }

  void LoadFromFile(const AnsiString& FileName) override;
  void LoadFromStream(TStream* Stream) override;
  // The whole text is checked before the lines change: a text with a line too long or too wide,
  // or with too many lines, is refused and the lines stay as they were.
  void SetText(const AnsiString& Value) override;
  void SaveToFile(const AnsiString& FileName) override;
  void SaveToStream(TStream* Stream) override;

  // Highlighter ranges not yet brought up to date after a change: lines From..To (0-based) and,
  // after To, every line until one whose stored range is the one scanned. GetRange asks
  // OnRangeNeeded to bring a line of that part up to date before it reads it; the owner scans
  // the rest when it has time. kNoStaleRange when every range is up to date. Inserted and
  // deleted lines move the part with the text.
  static constexpr int kNoStaleRange = INT32_MAX;
  int RangesStaleFrom() const { return fStaleFrom; }
  int RangesStaleTo() const { return fStaleTo; }
  void SetRangesStale(int From, int To);
  void MarkRangesStale(int From, int To);
  void MarkRangesValid() { fStaleFrom = fStaleTo = kNoStaleRange; }
  TMethod<void(int Index)> OnRangeNeeded;
  // The stored range and its store, without bringing anything up to date and without events:
  // for the owner's scanning. Index must be valid.
  intptr_t RawRange(int Index) const { return fList[static_cast<size_t>(Index)].fRange; }
  void SetRawRange(int Index, intptr_t Range) { fList[static_cast<size_t>(Index)].fRange = static_cast<int16_t>(Range); }

  // Direct view of a record, for tests and the editor's fast paths.
  const TSrcEditStringRec& Record(int Index) const { return fList[static_cast<size_t>(Index)]; }

  TNotifyEvent OnChange, OnChanging, OnCleared;
  TStringListChangeEvent OnDeleted, OnInserted, OnPutted;

protected:
  void SetUpdateState(bool Updating) override;

private:
  [[noreturn]] void ListIndexOutOfBounds(int Index) const;
  void Grow();
  void InsertItem(int Index, std::string_view S);
  void SetCapacityRaw(int NewCapacity);
  // Finds whether line I has tabs and, when it has, keeps its expanded length beside it.
  void ExpandLine(size_t I);
  void SetExpandedLength(size_t I, int32_t Length, bool HasTabs);
  // Line I got a new text: keeps the longest line known.
  void LineStored(size_t I);
  int32_t ExpandedLength(size_t I) {
    if (fList[I].fFlags & sfExpandedLengthUnknown) ExpandLine(I);
    return (fList[I].fFlags & sfHasTabs) ? fExpanded[I] : fList[I].fLength;
  }
  // Scanning, searching, highlighting and saving walk the lines in order: the text of the line
  // this far on is fetched into the cache as a line is read. Some processors do so by themselves
  // for a list of pointers, but not for the offsets the records hold; elsewhere it costs next
  // to nothing.
  static constexpr size_t kLookAhead = 16;
  // Bytes is ListBytes(). Always inlined: as a call of its own the compiler would find it
  // without effect and drop it.
  [[gnu::always_inline]] void PrefetchAhead(size_t I, size_t Bytes) const {
    if ((I + kLookAhead) * sizeof(TSrcEditStringRec) < Bytes) __builtin_prefetch(TextOf(fList[I + kLookAhead]));
  }
  // The records' size in bytes: compared with an index times the record's size, it bounds the
  // index without the division that the count costs.
  size_t ListBytes() const {
    return static_cast<size_t>(reinterpret_cast<const char*>(std::to_address(fList.cend())) -
                               reinterpret_cast<const char*>(fList.data()));
  }
  const char* TextOf(const TSrcEditStringRec& r) const {
    return r.Loaded() ? fLoaded.get() + r.Offset() : fTexts[r.fRef].fText;
  }
  std::string_view Text(const TSrcEditStringRec& r) const { return {TextOf(r), static_cast<size_t>(r.fLength)}; }
  // Gives the record its own copy of S (or the shared empty text), freeing what it owned.
  void SetOwnedText(TSrcEditStringRec& r, std::string_view S);
  // Gives the record the text P, allocated for it alone; frees P when that fails.
  void TakeText(TSrcEditStringRec& r, char* P);
  // Frees the record's own text; it is left with the shared empty one. Never fails.
  void FreeText(TSrcEditStringRec& r) noexcept {
    if (r.HasOwnText()) {
      std::free(fTexts[r.fRef].fText);
      fTexts[r.fRef].fNextFree = fFreeText;
      fFreeText = r.fRef;
    }
    r.fRef = 0;
    r.fRefHigh = TSrcEditStringRec::kOwnedText;
  }
  // Forgets every text: for a list that has no line left.
  void ResetTexts() noexcept;
  // The lengths of all lines added up.
  size_t TotalLength() const;
  // Frees the texts of lines From..To-1, which are about to go.
  void FreeTexts(size_t From, size_t To);
  // Refuses a loaded text with a line or a number of lines beyond what the store holds.
  static void CheckLoadedLimits(const char* Data, size_t Size);
  // The same for a line too wide; lines too long are refused already.
  void CheckLoadedWidths(const char* Data, size_t Size) const;
  // Splits a loaded buffer (one spare byte after Size) into lines that stay in it.
  void ParseLoaded(char* Data, size_t Size);

  // An update bracket of the store itself, closed on every path.
  struct UpdateScope {
    explicit UpdateScope(TSrcEditStringList* l) : l_(l) { l_->BeginUpdate(); }
    ~UpdateScope() { l_->EndUpdate(); }
    TSrcEditStringList* l_;
  };

  void ShiftStaleRanges(int Index, int Delta);

  struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
  };
  std::vector<TSrcEditStringRec, TLargeBlockAllocator<TSrcEditStringRec>> fList;
  // Object slots by line; empty until an object is set.
  std::vector<intptr_t> fObjects;
  // Expanded lengths by line, read for lines with tabs only; empty until a line has one.
  std::vector<int32_t> fExpanded;
  // The buffer loaded lines are slices of, kept until the list is cleared or emptied.
  std::unique_ptr<char, FreeDeleter> fLoaded;
  // The texts of lines stored since the load, by index: entry 0 is the shared empty text, a
  // free entry holds the index of the next free one (0 ends the chain), so that edits reuse
  // entries instead of growing the table.
  union TTextSlot {
    char* fText;
    uint32_t fNextFree;
  };
  std::vector<TTextSlot> fTexts;
  uint32_t fFreeText = 0;
  int fCapacity = 0;
  int fStaleFrom = kNoStaleRange, fStaleTo = kNoStaleRange;
  TLineBreakFormat fFileFormat = lbCRLF;
  TConvertTabsProcEx fConvertTabsProc;
  // The longest line (expanded) and its length; -1 while not known.
  int fIndexOfLongestLine = -1;
  int32_t fLongestLength = 0;
  int fTabWidth = 8;
};

// Buffered output of lines to a file, each followed by the chosen line break.
class TSrcEditFiler : public TObject {
public:
  explicit TSrcEditFiler(const AnsiString& FileName);
  ~TSrcEditFiler() override;
  TLineBreakFormat FileFormat() const { return fFileFormat; }
  void SetFileFormat(TLineBreakFormat f) { fFileFormat = f; }

protected:
  virtual void Flush() {}
  // Destructors cannot call an override; a derived class calls this from its own destructor.
  void Finish();

  std::vector<char> fBuffer;
  int fFilled = 0;
  int fBufferSize = 0;
  TLineBreakFormat fFileFormat = lbLF;
  std::unique_ptr<TSafeFileStream> fStream;
  AnsiString fFileName;
};

class TSrcEditFileWriter : public TSrcEditFiler {
public:
  // ExpectedSize, when known, is the number of bytes that will be written.
  explicit TSrcEditFileWriter(const AnsiString& FileName, int64_t ExpectedSize = -1);
  // Without Close the save is abandoned and the file keeps its old contents.
  ~TSrcEditFileWriter() override;
  void WriteLine(std::string_view S);
  // Writes the rest of the buffer and makes the lines the file's contents, raising the
  // stream's error when that fails.
  void Close();

protected:
  void Flush() override;
};
