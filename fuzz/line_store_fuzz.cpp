// libFuzzer target for the line store's loading: the first two bytes give the length of a file,
// which follows; the rest is a list of changes of four bytes each. The lines loaded must be the
// file split at CR LF, LF and CR (a break at the very end adds no line), each followed by a #0,
// with the break format the file used; the changes (lines stored, changed where they are
// stored, inserted, deleted, exchanged, the list cleared or loaded again) are followed by a plain
// model, and a save writes the model's lines byte for byte.
// Run as: build/fuzz/fuzz/line_store_fuzz -max_len=4096 -timeout=5 -max_total_time=300 <corpus>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/core/line_store.h"
#include "platform/streams.h"

namespace {

struct TModel {
  std::vector<std::string> lines;
  TLineBreakFormat format = lbCRLF;
};

TModel Split(std::string_view s) {
  TModel m;
  bool cr = false, lf = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r' && s[i] != '\n') continue;
    m.lines.emplace_back(s.substr(start, i - start));
    if (s[i] == '\r') {
      cr = true;
      if (i + 1 < s.size() && s[i + 1] == '\n') {
        lf = true;
        ++i;
      }
    } else {
      lf = true;
    }
    start = i + 1;
  }
  if (start < s.size()) m.lines.emplace_back(s.substr(start));
  m.format = lf && !cr ? lbLF : cr && !lf ? lbCR : lbCRLF;
  return m;
}

void Check(bool Condition) {
  if (!Condition) std::abort();
}

void Compare(const TSrcEditStringList& l, const std::vector<std::string>& lines) {
  Check(l.Count() == static_cast<int>(lines.size()));
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view v = l.Line(static_cast<int>(i));
    Check(v == lines[i]);
    Check(v.data()[v.size()] == 0);
  }
}

void Load(TSrcEditStringList& l, TModel& model, std::string_view file) {
  TStringStream in{AnsiString(file)};
  l.LoadFromStream(&in);
  model = Split(file);
  Compare(l, model.lines);
  Check(l.FileFormat() == model.format);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  size_t fileSize = std::min<size_t>(static_cast<size_t>(Data[0] | (Data[1] << 8)), Size - 2);
  std::string_view file(reinterpret_cast<const char*>(Data) + 2, fileSize);
  TSrcEditStringList l;
  TModel model;
  Load(l, model, file);
  std::vector<std::string>& lines = model.lines;
  for (size_t at = 2 + fileSize; at + 4 <= Size; at += 4) {
    const uint8_t* op = Data + at;
    int n = l.Count();
    int i = n ? op[1] % n : 0;
    int j = n ? op[2] % n : 0;
    std::string text(op[3] % 9, static_cast<char>('a' + op[3] % 5));
    switch (op[0] % 11) {
      case 0:
        if (n) {
          l.PutText(i, text);
          lines[size_t(i)] = text;
        }
        break;
      case 1:
        if (n) {
          l.PutText(i, l.Line(j));  // a view of a line, maybe of itself
          lines[size_t(i)] = std::string(lines[size_t(j)]);
        }
        break;
      case 2:
        if (n) {
          size_t start = op[2] % (lines[size_t(i)].size() + 1);
          l.InsertText(i, start, text);
          lines[size_t(i)].insert(start, text);
        }
        break;
      case 3:
        if (n) {
          std::string& m = lines[size_t(i)];
          size_t start = op[2] % (m.size() + 1), length = op[3] % 4, keep = op[3] / 4 % (m.size() + 2);
          l.DeleteText(i, start, length, keep);
          m.erase(start, length);
          m.resize(std::min(m.size(), keep));
        }
        break;
      case 4:
        if (n) {
          l.Exchange(i, j);
          std::swap(lines[size_t(i)], lines[size_t(j)]);
        }
        break;
      case 5: {
        int where = op[1] % (n + 1), count = op[2] % 4;
        l.InsertLines(where, count);
        lines.insert(lines.begin() + where, size_t(count), std::string());
        break;
      }
      case 6:
        if (n) {
          int count = 1 + op[2] % 4;
          l.DeleteLines(i, count);
          lines.erase(lines.begin() + i, lines.begin() + i + std::min(count, n - i));
        }
        break;
      case 7: {
        int where = op[1] % (n + 1);
        l.Insert(where, text);
        lines.insert(lines.begin() + where, text);
        break;
      }
      case 8:
        l.Clear();
        lines.clear();
        break;
      case 9:  // the file again, or the part of it this change names
        Load(l, model, file.substr(0, op[1] * file.size() / 255));
        break;
      case 10:
        l.Add(text);
        lines.push_back(text);
        break;
    }
    Compare(l, lines);
  }
  TStringStream out;
  l.SaveToStream(&out);
  std::string expected;
  const char* brk = l.FileFormat() == lbCRLF ? "\r\n" : l.FileFormat() == lbLF ? "\n" : "\r";
  for (auto& s : lines) expected += s + brk;
  Check(out.DataString() == expected);
  return 0;
}
