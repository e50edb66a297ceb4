// libFuzzer target for the mark-up of completion items: the first byte picks the command kinds to
// leave out, the columns and whether an image list is there; the rest is "item text NUL
// parameter list NUL index". Parsing keeps only the kinds asked for, text chunks are never empty
// and together give the item's plain text; painting (on a bitmap) ends where measuring ends.
// Run as: build/fuzz/fuzz/format_chunks_fuzz -max_len=1024 -timeout=5 -max_total_time=300 <corpus>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor-services/completion/format_chunks.h"
#include "platform/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TBitmap* bitmap = [] {
    EnsureGuiApplication();
    return new TBitmap(64, 16);
  }();
  static TImageList* images = [] {
    auto* list = new TImageList(nullptr, 8, 8);
    TBitmap strip(16, 8);
    list->Add(&strip);
    return list;
  }();
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t a = rest.find('\0');
  AnsiString text = rest.substr(0, a), params;
  int index = 0;
  if (a != std::string::npos) {
    size_t b = rest.find('\0', a + 1);
    params = rest.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos && b + 1 < rest.size()) index = static_cast<signed char>(rest[b + 1]);
  }

  const TFormatChunkKinds strip = flags & AllChunkCommands;
  TFormatChunkList chunks;
  ParseFormatChunks(text, chunks, strip);
  AnsiString plain;
  for (int i = 0; i < chunks.Count(); ++i) {
    const TFormatChunk& c = chunks.Chunks(i);
    if (strip & ChunkKind(c.Kind)) abort();
    if (c.Kind == chunkText && c.Text.empty()) abort();
    plain += c.Text;
  }
  if (plain.size() > text.size() || FormattedTextToString(text) != plain) abort();

  TProposalColumns columns(nullptr);
  for (int i = 0; i < (flags >> 6); ++i) columns.Add()->SetBiggestWord(AnsiString(static_cast<size_t>(i + 1), 'W'));
  TImageList* list = (flags & 1) ? images : nullptr;
  TCanvas* canvas = bitmap->Canvas();
  int width = FormattedTextWidth(canvas, text, &columns, list);
  // Painted as wide as any device can be: where painting does not stop at that edge, it ends
  // where measuring ends.
  constexpr int kWidest = 1 << 29;
  int end = FormattedTextOut(canvas, TRect{0, 0, kWidest, 16}, text, (flags & 2) != 0, list, &columns);
  if (end <= kWidest && end != width) abort();
  FormattedTextOut(canvas, TRect{3, 0, 40, 16}, text, false, list, &columns);

  AnsiString joined = FormatParamList(params, index);
  FormattedTextWidth(canvas, joined, nullptr, nullptr);
  return 0;
}
