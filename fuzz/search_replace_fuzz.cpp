// libFuzzer target for the editor's search-and-replace driver. The first eight bytes give the
// options (engine, case, whole words, direction, scope, selected only, prompt, the editor's
// word wrap, trimming and past-end scrolling), the selection mode, the caret and the two
// selection ends; then the pattern and the replacement (a length byte each) and the text, whose
// bytes give characters of a small alphabet, some repeated hundreds of times, so that short and
// long lines (beyond the scroll width), blanks and tabs at line ends and every break occur.
// Each run is a replace-all. When the plain engine runs without whole words, without answered
// prompts and with a replacement without breaks, the text must be the model's rewrite of every
// hit inside the scope. Whatever the run, undoing everything gives the original bytes back and
// redoing everything gives the result again.
// Run as: build/fuzz/fuzz/search_replace_fuzz -max_len=512 -timeout=10 -max_total_time=300 <corpus>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor-services/search/plain_search.h"
#include "editor-services/search/regex_search.h"
#include "editor/src_edit.h"
#include "platform/graphics.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

// Reads the input byte by byte; past its end every byte is 0.
struct Reader {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

const char kAlphabet[] = "ab \tA<\r\n";

// One character of the alphabet, repeated 150 to 1200 times for the high values.
std::string Piece(uint8_t b) {
  int count = b >> 3;
  return std::string(count >= 24 ? static_cast<size_t>(count - 23) * 150 : 1, kAlphabet[b & 7]);
}

std::vector<std::string> Lines(TSrcEdit* e) {
  std::vector<std::string> out;
  for (int i = 0; i < e->Lines()->Count(); ++i) out.emplace_back(e->Lines()->Line(i));
  return out;
}

class Answers : public TObject {
public:
  std::vector<TSrcReplaceAction> queue;
  size_t next = 0;
  void Answer(TObject*, const AnsiString&, const AnsiString&, int, int, TSrcReplaceAction& Action) {
    Action = next < queue.size() ? queue[next++] : raReplaceAll;
  }
};

struct Model {
  TBufferCoord start, end;
  bool columnScope;
};

// The driver's scope, taken before the run.
Model Scope(TSrcEdit* e, TSrcSearchOptions o) {
  auto length = [e](int line) { return static_cast<int>(e->Lines()->Line(line - 1).size()); };
  Model m{};
  bool selected = o.Contains(soSelectedOnly) && e->SelAvail();
  m.columnScope = selected && e->SelectionMode() == smColumn;
  if (selected) {
    m.start = e->BlockBegin();
    m.end = e->BlockEnd();
    if (e->SelectionMode() == smLine) {
      m.start.Char = 1;
      m.end.Char = length(m.end.Line) + 1;
    } else if (m.columnScope && m.start.Char > m.end.Char) {
      std::swap(m.start.Char, m.end.Char);
    }
  } else {
    int count = e->Lines()->Count();
    m.start = BufferCoord(1, 1);
    m.end = BufferCoord(length(count) + 1, count);
    if (!o.Contains(soEntireScope)) (o.Contains(soBackwards) ? m.end : m.start) = e->CaretXY();
  }
  return m;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Every hit of the pattern inside the scope replaced, each line's hits found from its start
// without overlapping; a line that took a replacement loses its trailing blanks and tabs when
// the editor trims.
std::vector<std::string> Rewrite(const std::vector<std::string>& lines, const Model& m, const std::string& find,
                                 const std::string& with, bool matchCase, bool trim) {
  std::vector<std::string> out = lines;
  for (int line = m.start.Line; line <= m.end.Line && line <= static_cast<int>(lines.size()); ++line) {
    const std::string& s = lines[static_cast<size_t>(line - 1)];
    std::string r;
    size_t at = 0;
    bool changed = false;
    for (size_t i = 0; i + find.size() <= s.size();) {
      bool hit = true;
      for (size_t k = 0; k < find.size() && hit; ++k)
        hit = matchCase ? s[i + k] == find[k] : Lower(s[i + k]) == Lower(find[k]);
      if (!hit) {
        ++i;
        continue;
      }
      int first = static_cast<int>(i) + 1, last = first + static_cast<int>(find.size());
      bool inside = !((line == m.start.Line && first < m.start.Char) || (line == m.end.Line && last > m.end.Char));
      if (inside) {
        r += s.substr(at, i - at) + with;
        at = i + find.size();
        changed = true;
      }
      i += find.size();
    }
    r += s.substr(at);
    if (changed && trim)
      while (!r.empty() && (r.back() == ' ' || r.back() == '\t')) r.pop_back();
    out[static_cast<size_t>(line - 1)] = r;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSrcEdit* editor = [] {
    EnsureGuiApplication();
    return new TSrcEdit(nullptr);
  }();
  static TSrcEditSearch* plain = new TSrcEditSearch(nullptr);
  static TSrcEditRegexSearch* regex = new TSrcEditRegexSearch(nullptr);
  static Answers* answers = new Answers;
  TSrcEdit* e = editor;
  Reader in{data, size};

  const uint8_t flags = in.Byte(), more = in.Byte();
  const bool useRegex = flags & 1;
  TSrcSearchOptions o{soReplace, soReplaceAll};
  if (flags & 2) o.Include(soMatchCase);
  if (flags & 4) o.Include(soWholeWord);
  if (flags & 8) o.Include(soBackwards);
  if (flags & 16) o.Include(soEntireScope);
  if (flags & 32) o.Include(soSelectedOnly);
  const bool prompt = flags & 64;
  if (prompt) o.Include(soPrompt);
  const bool answered = flags & 128;
  const bool wrap = more & 1;
  const bool trim = more & 2;
  const bool pastEol = !(more & 4);
  const auto mode = static_cast<TSrcSelectionMode>((more >> 3) % 3);
  uint8_t pos[6];
  for (uint8_t& b : pos) b = in.Byte();

  std::string find, with;
  if (useRegex) {
    static const char* const kExpressions[] = {"a", "a*", "b+", "[ab]+", "\\s", "x?", ".", "^a", "b$", "(a)(b)", "\\bA"};
    static const char* const kTemplates[] = {"", "X", "$0$0", "[$1]", "YY"};
    uint8_t b = in.Byte();
    find = kExpressions[b % std::size(kExpressions)];
    with = kTemplates[(b >> 4) % std::size(kTemplates)];
  } else {
    for (int n = 1 + in.Byte() % 4; n > 0; --n) find += kAlphabet[in.Byte() % 6];  // no break inside a line
    for (int n = in.Byte() % 5; n > 0; --n) with += kAlphabet[in.Byte() & 7];
  }
  answers->queue.clear();
  answers->next = 0;
  for (int n = in.Byte() % 8; n > 0; --n) answers->queue.push_back(static_cast<TSrcReplaceAction>(in.Byte() % 4));

  std::string text;
  // Each replacement copies its line: a text of a few thousand characters keeps a run short.
  while (in.n > 0 && text.size() < 5000) text += Piece(in.Byte());

  TSrcEditorOptions options = e->Options();
  options = trim ? options.With(eoTrimTrailingSpaces) : options.Without(eoTrimTrailingSpaces);
  options = pastEol ? options.With(eoScrollPastEol) : options.Without(eoScrollPastEol);
  e->SetOptions(options);
  e->SetWordWrap(wrap);
  e->SetSelectionMode(smNormal);
  e->Lines()->SetText(text);
  e->ClearUndo();
  e->SetMaxUndo(100000);
  e->SetSelectionMode(mode);
  int count = std::max(1, e->Lines()->Count());
  auto point = [&](uint8_t c, uint8_t l) {
    int line = 1 + l % count;
    int length = static_cast<int>(e->Lines()->Line(line - 1).size());
    return BufferCoord(1 + static_cast<int>(c * (length + 40)) / 255, line);
  };
  e->SetCaretXY(point(pos[0], pos[1]));
  if (pos[2] & 1) e->PlaceCaretAndSelection(point(pos[4], pos[5]), point(pos[2], pos[3]), point(pos[4], pos[5]));
  e->SetSearchEngine(useRegex ? static_cast<TSrcEditSearchCustom*>(regex) : plain);
  e->OnReplaceText = answered ? TReplaceTextEvent(answers, &Answers::Answer) : TReplaceTextEvent();

  const AnsiString original = e->Lines()->Text();
  const std::vector<std::string> before = Lines(e);
  const Model scope = Scope(e, o);
  e->SearchReplace(find, with, o);
  const AnsiString after = e->Lines()->Text();

  // The model leaves out what it cannot say: the expression engine, whole words, answers, a
  // replacement that breaks lines, and a column scope (whose later hits of a line are tested
  // against its columns where earlier replacements moved them).
  if (!useRegex && !o.Contains(soWholeWord) && !(prompt && answered) &&
      with.find_first_of("\r\n") == std::string::npos && !scope.columnScope)
    Check(Lines(e) == Rewrite(before, scope, find, with, o.Contains(soMatchCase), trim));

  while (e->CanUndo()) e->Undo();
  Check(e->Lines()->Text() == original);
  while (e->RedoList()->CanUndo()) e->Redo();
  Check(e->Lines()->Text() == after);
  return 0;
}
