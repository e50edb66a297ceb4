#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/core/line_store.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

class LineStoreFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vt-lines-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    chmod(dir_.c_str(), 0755);
    std::system(("rm -rf " + dir_).c_str());
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string p = dir_ + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string dir_;
};

struct Case {
  std::string bytes;
  std::vector<std::string> lines;
  TLineBreakFormat format;
  std::string saved;
};

TEST_F(LineStoreFiles, LoadsEveryBreakFormatAndSavesWithTheRememberedOne) {
  const Case cases[] = {
      {"a\r\nb\r\n", {"a", "b"}, lbCRLF, "a\r\nb\r\n"},
      {"a\nb", {"a", "b"}, lbLF, "a\nb\n"},
      {"a\rb\r", {"a", "b"}, lbCR, "a\rb\r"},
      {"a\r\nb\nc", {"a", "b", "c"}, lbCRLF, "a\r\nb\r\nc\r\n"},
      {"a\n\rb", {"a", "", "b"}, lbCRLF, "a\r\n\r\nb\r\n"},
      {"", {}, lbCRLF, ""},
      {"\n", {""}, lbLF, "\n"},
      {"\n\n", {"", ""}, lbLF, "\n\n"},
      {"x", {"x"}, lbCRLF, "x\r\n"},
      {std::string("n\0l\nz", 5), {std::string("n\0l", 3), "z"}, lbLF, std::string("n\0l\nz\n", 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    std::string p = Write("in.txt", c.bytes);
    TSrcEditStringList l;
    l.LoadFromFile(p);
    ASSERT_EQ(l.Count(), static_cast<int>(c.lines.size()));
    for (int i = 0; i < l.Count(); ++i) EXPECT_EQ(l.Get(i), c.lines[static_cast<size_t>(i)]);
    EXPECT_EQ(l.FileFormat(), c.format);
    l.SaveToFile(dir_ + "/out.txt");
    EXPECT_EQ(ReadAll(dir_ + "/out.txt"), c.saved);
    TMemoryStream m;
    l.SaveToStream(&m);
    EXPECT_EQ(m.Data(), c.saved);
  }
}

TEST_F(LineStoreFiles, LongLinesGrowTheWriterBuffer) {
  std::string big(50 * 1024 * 1024, 'x');
  TSrcEditStringList l;
  l.Add("short");
  l.Add(big);
  l.Add("tail");
  l.SetFileFormat(lbLF);
  l.SaveToFile(dir_ + "/big.txt");
  TSrcEditStringList back;
  back.LoadFromFile(dir_ + "/big.txt");
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Get(1).size(), big.size());
  EXPECT_EQ(back.Get(2), "tail");
}

TEST_F(LineStoreFiles, FailuresNameTheFileAndDamageNothing) {
  TSrcEditStringList l;
  l.Add("kept");
  EXPECT_THROW(l.LoadFromFile(dir_ + "/missing.txt"), EFOpenError);
  EXPECT_THROW(l.LoadFromFile(dir_), EFOpenError);  // a directory
  EXPECT_EQ(l.Count(), 1);  // a failed open leaves the text
  try {
    l.SaveToFile("/dev/full");
    FAIL();
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find("/dev/full"), std::string::npos);
  }
  // A failed save leaves the old file whole.
  std::string p = Write("doc.html", "old text\n");
  chmod(p.c_str(), 0640);
  chmod(dir_.c_str(), 0555);
  if (geteuid() != 0) {
    EXPECT_THROW(l.SaveToFile(p), EStreamError);
    EXPECT_EQ(ReadAll(p), "old text\n");
  }
  chmod(dir_.c_str(), 0755);
  l.SaveToFile(p);
  EXPECT_EQ(ReadAll(p), "kept\r\n");
  struct stat st;
  stat(p.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the saved file keeps its permissions
}

TEST_F(LineStoreFiles, BreaksAndLinesAcrossTheReadersBlocksLoadAsAnyOther) {
  // The reader works in blocks of 8 MB: a CR LF, a CR CR and a line cut by a block's end.
  const size_t block = size_t(8) << 20;
  struct Big {
    std::string bytes;
    std::vector<std::string> tail;  // the lines after the first
    TLineBreakFormat format;
  } cases[] = {
      {std::string(block - 1, 'a') + "\r\nb", {"b"}, lbCRLF},
      {std::string(block - 1, 'a') + "\r\rc\r", {"", "c"}, lbCR},
      {std::string(block + 10, 'x') + "\ny\nz", {"y", "z"}, lbLF},
  };
  for (const auto& c : cases) {
    std::string p = Write("big.txt", c.bytes);
    TSrcEditStringList l;
    l.LoadFromFile(p);
    ASSERT_EQ(l.Count(), static_cast<int>(c.tail.size()) + 1);
    EXPECT_EQ(l.Get(0).size(), c.bytes.find_first_of("\r\n"));
    for (size_t i = 0; i < c.tail.size(); ++i) EXPECT_EQ(l.Get(static_cast<int>(i) + 1), c.tail[i]);
    EXPECT_EQ(l.FileFormat(), c.format);
  }
}

TEST_F(LineStoreFiles, AFullDiskDuringASaveInPlaceGivesTheOldTextBack) {
  // No new file can be made beside the document (no free inode), so it is written in place;
  // the disk fills up after 512 KB of a document that grew from 720,000 to 920,000 bytes.
  std::string old;
  for (int i = 0; i < 10000; ++i) old += std::string(71, static_cast<char>('a' + i % 26)) + "\n";
  std::string p = Write("doc.html", old);
  TSrcEditStringList l;
  l.LoadFromFile(p);
  for (int i = 0; i < 10000; i += 4) l.Put(i, l.Get(i) + std::string(80, '+'));
  int writes = 0;
  SetSafeSaveFault([&](TSafeSaveStep s) {
    if (s == TSafeSaveStep::NewFile) return ENOSPC;
    return s == TSafeSaveStep::Write && ++writes > 2 ? ENOSPC : 0;
  });
  try {
    l.SaveToFile(p);
    ADD_FAILURE() << "no error";
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find(p), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(W1251("прежнее содержимое возвращено")), std::string::npos) << e.Message();
  }
  SetSafeSaveFault(nullptr);
  EXPECT_GT(writes, 2);
  EXPECT_TRUE(ReadAll(p) == old);
  l.SaveToFile(p);
  EXPECT_EQ(ReadAll(p).size(), old.size() + 2500 * 80);
}

struct Log {
  std::vector<std::string> events;
  void Changing(TObject*) { events.push_back("changing"); }
  void Changed(TObject*) { events.push_back("changed"); }
  void Cleared(TObject*) { events.push_back("cleared"); }
  void Inserted(TObject*, int i, int n) { events.push_back("ins " + std::to_string(i) + " " + std::to_string(n)); }
  void Deleted(TObject*, int i, int n) { events.push_back("del " + std::to_string(i) + " " + std::to_string(n)); }
  void Put(TObject*, int i, int n) { events.push_back("put " + std::to_string(i) + " " + std::to_string(n)); }
  void Attach(TSrcEditStringList& l) {
    l.OnChanging = TNotifyEvent(this, &Log::Changing);
    l.OnChange = TNotifyEvent(this, &Log::Changed);
    l.OnCleared = TNotifyEvent(this, &Log::Cleared);
    l.OnInserted = TStringListChangeEvent(this, &Log::Inserted);
    l.OnDeleted = TStringListChangeEvent(this, &Log::Deleted);
    l.OnPutted = TStringListChangeEvent(this, &Log::Put);
  }
};

TEST(LineStore, EveryChangeFiresItsEventInsideItsOwnBracket) {
  TSrcEditStringList l;
  Log log;
  log.Attach(l);
  l.Add("a");
  l.Insert(0, "b");
  l.Put(1, "c");
  l.Put(2, "d");  // Count appends
  l.PutRange(0, 5);
  l.Delete(0);
  l.DeleteLines(1, 10);
  l.InsertLines(0, 2);
  l.Exchange(0, 1);
  l.Clear();
  l.Clear();  // nothing to clear: no events
  EXPECT_EQ(log.events, (std::vector<std::string>{
                            "changing", "ins 0 1", "changed", "changing", "ins 0 1", "changed",
                            "changing", "put 1 1", "changed", "changing", "ins 2 1", "changed",
                            "changing", "changed", "changing", "del 0 1", "changed",
                            "changing", "del 1 1", "changed", "changing", "ins 0 2", "changed",
                            "changing", "changed", "changing", "cleared", "changed"}));
  log.events.clear();
  l.BeginUpdate();
  l.Add("x");
  l.Add("y");
  l.EndUpdate();
  EXPECT_EQ(log.events, (std::vector<std::string>{"changing", "ins 0 1", "ins 1 1", "changed"}));
  log.events.clear();
  l.SetTabWidth(4);
  EXPECT_TRUE(log.events.empty());
}

TEST(LineStore, IndexRulesAndErrors) {
  TSrcEditStringList l;
  l.Add("a");
  l.Add("b");
  EXPECT_EQ(l.Get(5), "");
  EXPECT_EQ(l.Get(-1), "");
  EXPECT_EQ(l.GetRange(9), 0);
  EXPECT_EQ(l.GetRange(0), -1);  // a new line's range is unknown
  try {
    l.Put(3, "x");
    FAIL();
  } catch (const ESrcEditStringList& e) {
    EXPECT_EQ(e.Message(), "Invalid stringlist index 3");
  }
  EXPECT_THROW(l.Delete(2), ESrcEditStringList);
  EXPECT_THROW(l.Insert(3, "x"), ESrcEditStringList);
  EXPECT_THROW(l.InsertLines(-1, 0), ESrcEditStringList);  // index checked first
  EXPECT_THROW(l.PutRange(2, 1), ESrcEditStringList);
  l.DeleteLines(1, 0);
  EXPECT_EQ(l.Count(), 2);
  try {
    l.SetCapacity(1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "Stringlist capacity cannot be smaller than count");
  }
  EXPECT_EQ(l.Count(), 2);
  l.PutRange(0, 42);
  l.PutObjectValue(0, 7);
  l.Put(0, "new");
  EXPECT_EQ(l.GetRange(0), 42);  // Put keeps object and range
  EXPECT_EQ(l.GetObjectValue(0), 7);
  l.InsertLines(1, 2);
  EXPECT_EQ(l.GetRange(1), 0);
  EXPECT_EQ(l.Record(1).fFlags, 0);
  EXPECT_EQ(l.Text(), "new\r\n\r\n\r\nb");
}

TEST(LineStore, CapacityGrowsBySixteenThenByAQuarter) {
  TSrcEditStringList l;
  std::vector<int> seen;
  for (int i = 0; i < 200; ++i) {
    l.Add("x");
    if (seen.empty() || seen.back() != l.Capacity()) seen.push_back(l.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{16, 32, 48, 64, 80, 100, 125, 156, 195, 243}));
  TStringList src;
  for (int i = 0; i < 10; ++i) src.Add("y");
  l.AddStrings(&src);
  EXPECT_EQ(l.Capacity(), 243);  // room enough
  for (int i = 0; i < 40; ++i) src.Add("y");
  l.AddStrings(&src);
  EXPECT_EQ(l.Capacity(), 272);  // 210 + 50 + 15, rounded down to a multiple of 16
  l.Clear();
  EXPECT_EQ(l.Capacity(), 0);
}

TEST(LineStore, TabExpansionAtSeveralWidths) {
  TSrcEditStringList l;
  l.Add("a\tb");
  l.Add("\tx");
  l.Add("");
  l.Add("plain");
  l.SetTabWidth(4);
  EXPECT_EQ(l.ExpandedStrings(0), "a\t\t\tb");
  EXPECT_EQ(l.ExpandedStringLengths(0), 5);
  EXPECT_EQ(l.ExpandedStrings(3), "plain");
  EXPECT_EQ(l.Record(3).fFlags, sfHasNoTabs);
  EXPECT_EQ(l.ExpandedStrings(2), "");
  l.SetTabWidth(1);
  EXPECT_EQ(l.ExpandedStrings(0), "a b");
  l.SetTabWidth(3);
  EXPECT_EQ(l.ExpandedStrings(1), "\t\t\tx");
  l.SetTabWidth(8);
  EXPECT_EQ(l.ExpandedStringLengths(0), 9);
  EXPECT_EQ(l.ExpandedStringLengths(7), 0);
}

TEST(LineStore, LongestLineFollowsEveryKindOfChange) {
  TSrcEditStringList l;
  EXPECT_EQ(l.LengthOfLongestLine(), 0);
  l.Add("");
  EXPECT_EQ(l.LengthOfLongestLine(), 0);
  l.Add("abc");
  l.Add("\t");
  EXPECT_EQ(l.LengthOfLongestLine(), 8);
  l.SetTabWidth(2);
  EXPECT_EQ(l.LengthOfLongestLine(), 3);
  l.Put(1, "a");
  EXPECT_EQ(l.LengthOfLongestLine(), 2);
  l.Insert(0, "longer line");
  EXPECT_EQ(l.LengthOfLongestLine(), 11);
  l.Exchange(0, 3);
  EXPECT_EQ(l.LengthOfLongestLine(), 11);
  l.Delete(3);
  EXPECT_EQ(l.LengthOfLongestLine(), 2);
  l.DeleteLines(0, 5);
  EXPECT_EQ(l.LengthOfLongestLine(), 0);
  TStringList src;
  src.Add("12345");
  l.AddStrings(&src);
  EXPECT_EQ(l.LengthOfLongestLine(), 5);
  l.InsertLines(0, 3);
  EXPECT_EQ(l.LengthOfLongestLine(), 5);
}

}  // namespace

// Random changes to a loaded text, compared after each with a plain model: lines that are still
// slices of the loaded buffer, lines stored since (also from views of other lines and of
// themselves), object slots and expanded lengths moving with their lines, and a save byte for
// byte at the end. Lines name their text by a reference into the loaded buffer or into the
// store's table of owned texts, each owned text belonging to one line and reused once freed; the
// list is now and then emptied, cleared or loaded anew: a reference shared, left behind or
// pointing at the wrong buffer shows as a wrong line (texts are changed where they are stored),
// and one leaked or freed twice fails under the address checker.
TEST_F(LineStoreFiles, LoadedAndStoredLinesFollowAModelThroughRandomChanges) {
  static_assert(sizeof(TSrcEditStringRec) == 12);
  std::mt19937 rng(7);
  auto randomText = [&](size_t most) {
    static const char chars[] = {'a', 'b', ' ', '\t', '\0', '<', 'z'};
    std::string s(rng() % (most + 1), ' ');
    for (char& c : s) c = chars[rng() % sizeof chars];
    return s;
  };
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    static const char* breaks[] = {"\r\n", "\n", "\r"};
    std::vector<std::string> model;
    std::vector<intptr_t> objects;
    auto load = [&](TSrcEditStringList& l) {
      std::string bytes;
      model.clear();
      int lineCount = static_cast<int>(rng() % 40);
      for (int i = 0; i < lineCount; ++i) {
        model.push_back(randomText(12));
        bytes += model.back();
        // The last line goes without a break now and then (an empty one cannot: it would not be
        // there).
        if (i + 1 < lineCount || rng() % 2 || model.back().empty()) bytes += breaks[round % 3];
      }
      l.LoadFromFile(Write("in.txt", bytes));
      objects.assign(model.size(), 0);
    };
    TSrcEditStringList l;
    l.Add("replaced by the load");
    l.PutObjectValue(0, 5);
    load(l);
    for (int step = 0; step < 700; ++step) {
      int n = l.Count();
      int i = n ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0;
      int j = n ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0;
      switch (rng() % 12) {
        case 0:
          if (n) {
            std::string s = randomText(20);
            l.Put(i, s);
            model[size_t(i)] = s;
          }
          break;
        case 1:  // from a view of another line, or of a part of itself
          if (n) {
            std::string_view v = l.Line(j);
            if (i == j) v = v.substr(v.size() / 2);
            std::string s(v);
            l.PutText(i, v);
            model[size_t(i)] = s;
          }
          break;
        case 2: {
          int at = static_cast<int>(rng() % static_cast<unsigned>(n + 1));
          std::string s = randomText(8);
          l.Insert(at, s);
          model.insert(model.begin() + at, s);
          objects.insert(objects.begin() + at, 0);
          break;
        }
        case 3:
          if (n) {
            int k = 1 + static_cast<int>(rng() % 3);
            l.DeleteLines(i, k);
            k = std::min(k, n - i);
            model.erase(model.begin() + i, model.begin() + i + k);
            objects.erase(objects.begin() + i, objects.begin() + i + k);
          }
          break;
        case 4: {
          int at = static_cast<int>(rng() % static_cast<unsigned>(n + 1));
          l.InsertLines(at, 2);
          model.insert(model.begin() + at, 2, std::string());
          objects.insert(objects.begin() + at, 2, 0);
          break;
        }
        case 5:
          if (n) {
            l.Exchange(i, j);
            std::swap(model[size_t(i)], model[size_t(j)]);
            std::swap(objects[size_t(i)], objects[size_t(j)]);
          }
          break;
        case 6:
          if (n) {
            l.PutObjectValue(i, step);
            objects[size_t(i)] = step;
          }
          break;
        case 8:  // shortened where it is stored
          if (n) {
            std::string& m = model[size_t(i)];
            size_t at = rng() % (m.size() + 1), len = rng() % 3, keep = rng() % (m.size() + 2);
            l.DeleteText(i, at, len, keep);
            m.erase(at, len);
            m.resize(std::min(m.size(), keep));
          }
          break;
        case 9:  // grown where it is stored
          if (n) {
            std::string& m = model[size_t(i)];
            size_t at = rng() % (m.size() + 1);
            std::string s = randomText(3);
            l.InsertText(i, at, s);
            m.insert(at, s);
          }
          break;
        case 7:
          l.Add("added");
          model.push_back("added");
          objects.push_back(0);
          break;
        case 10: {
          TStringList more;
          for (int k = static_cast<int>(rng() % 4); k > 0; --k) more.Add(randomText(6));
          l.AddStrings(&more);
          for (int k = 0; k < more.Count(); ++k) model.push_back(more.Get(k));
          objects.resize(model.size(), 0);
          break;
        }
        case 11:  // now and then the list is emptied, cleared or loaded anew
          switch (rng() % 20) {
            case 0:
              l.DeleteLines(0, n);
              model.clear();
              objects.clear();
              break;
            case 1:
              l.Clear();
              model.clear();
              objects.clear();
              break;
            case 2:
              load(l);
              break;
          }
          break;
      }
      ASSERT_EQ(l.Count(), static_cast<int>(model.size())) << step;
      for (int k = 0; k < l.Count(); ++k) {
        ASSERT_EQ(l.Line(k), model[size_t(k)]) << step << " line " << k;
        ASSERT_EQ(l.Line(k).data()[model[size_t(k)].size()], '\0') << step << " line " << k;  // what the scanners stop at
        ASSERT_EQ(l.GetObjectValue(k), objects[size_t(k)]) << step << " line " << k;
        // The expanded length kept beside a line with tabs moves with it (read before the
        // expansion, which measures the line afresh).
        ASSERT_EQ(l.ExpandedStringLengths(k), static_cast<int>(l.ExpandedStrings(k).size())) << step << " line " << k;
      }
    }
    std::string expected;
    const char* brk = l.FileFormat() == lbCRLF ? "\r\n" : l.FileFormat() == lbLF ? "\n" : "\r";
    for (auto& s : model) expected += s + brk;
    l.SaveToFile(dir_ + "/out.txt");
    EXPECT_EQ(ReadAll(dir_ + "/out.txt"), expected);
    // A line longer than the writer's buffer goes out whole among the others.
    std::string big(3 << 20, 'q');
    l.Insert(0, big);
    l.SaveToFile(dir_ + "/out.txt");
    EXPECT_EQ(ReadAll(dir_ + "/out.txt"), big + brk + expected);
  }
}

// A stream whose contents change under the reader once its first read has begun, as a file
// written by another program while it is opened.
class ChangingStream : public TStringStream {
public:
  ChangingStream(const AnsiString& s, int64_t NewSize, const AnsiString& Appended)
      : TStringStream(s), newSize_(NewSize), appended_(Appended) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    if (!changed_) {
      changed_ = true;
      int64_t at = Position();
      if (newSize_ >= 0) SetSize(newSize_);
      Seek(0, soEnd);
      Write(appended_.data(), static_cast<int64_t>(appended_.size()));
      SetPosition(at);
    }
    return TStringStream::Read(Buffer, Count);
  }

private:
  int64_t newSize_;
  AnsiString appended_;
  bool changed_ = false;
};

TEST(LineStore, AFileThatChangesSizeWhileItIsReadLoadsWhatGrewOrKeepsTheText) {
  TSrcEditStringList l;
  ChangingStream grows("a\r\nb", -1, "c\r\nd");
  l.LoadFromStream(&grows);
  EXPECT_EQ(l.Text(), "a\r\nbc\r\nd");
  ChangingStream shrinks("x\r\ny\r\nz", 3, "");
  EXPECT_THROW(l.LoadFromStream(&shrinks), EReadError);
  EXPECT_EQ(l.Text(), "a\r\nbc\r\nd");  // the text stays as it was
}
