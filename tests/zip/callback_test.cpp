// The callback protocol as the libraries see it: records in, answers out.
#include <cstring>
#include <stdexcept>

#include "platform/dialogs.h"
#include "platform/input_simulation.h"
#include "zip/component/password_dlg.h"
#include "zip/libs/common/zip_format.h"
#include "tests/zip/zip_fixture.h"

namespace {

class ZipCallbackTest : public ZipTest {
public:
  std::vector<std::string> seen;
  std::string extra;
  TZipCallbackRecord rec{};

  int32_t Call(int action, int32_t v1, int64_t v2, const std::string& text = "name.txt  ") {
    std::memset(&rec, 0, sizeof rec);
    rec.Caller = static_cast<TObject*>(zip.get());
    rec.ActionCode = action;
    rec.Value1 = v1;
    rec.Value2 = v2;
    std::memcpy(rec.Text, text.data(), std::min<size_t>(text.size(), sizeof rec.Text));
    return TZipKeeper::CallbackFunction(&rec);
  }
  void Seen(const std::string& s) { seen.push_back(s); }
};

TEST_F(ZipCallbackTest, EveryActionReachesItsEvent) {
  struct Handlers {
    ZipCallbackTest* t;
    void Tick(TObject*) { t->Seen("tick"); }
    void Progress(TObject*, ProgressType p, const AnsiString& n, uint64_t s) {
      t->Seen("progress " + std::to_string(p) + " " + n + " " + std::to_string(s));
    }
    void Item(TObject*, const AnsiString& n, uint64_t s, int pc) { t->Seen("item " + n + " " + std::to_string(s) + " " + std::to_string(pc)); }
    void Total(TObject*, uint64_t s, int pc) { t->Seen("total " + std::to_string(s) + " " + std::to_string(pc)); }
    void NewName(TObject*, AnsiString& n, bool& changed) { n = "renamed.txt"; changed = true; }
    void Crc(TObject*, const AnsiString&, uint32_t found, uint32_t, bool& doExtract) { doExtract = found == 1; }
    void Overwrite(TObject*, const AnsiString&, bool older, bool& ow, int index) { ow = older && index == 5; }
    void Skipped(TObject*, const AnsiString& n, UnZipSkipTypes type, int) { t->Seen("skip " + n + " " + std::to_string(type)); }
    void Comment(TObject*, const AnsiString&, AnsiString& c, bool& changed) { c = std::string(600, 'c'); changed = true; }
    void Extra(TObject*, const AnsiString&, std::string& d, bool& changed) { d = t->extra; changed = true; }
  } h{this};
  zip->OnTick = TNotifyEvent(&h, &Handlers::Tick);
  zip->OnProgress = TZipProgressEvent(&h, &Handlers::Progress);
  zip->OnItemProgress = TZipItemProgressEvent(&h, &Handlers::Item);
  zip->OnTotalProgress = TZipTotalProgressEvent(&h, &Handlers::Total);
  zip->OnSetNewName = TZipSetNewNameEvent(&h, &Handlers::NewName);
  zip->OnCRC32Error = TZipCRC32ErrorEvent(&h, &Handlers::Crc);
  zip->OnExtractOverwrite = TZipExtractOverwriteEvent(&h, &Handlers::Overwrite);
  zip->OnExtractSkipped = TZipExtractSkippedEvent(&h, &Handlers::Skipped);
  zip->OnFileComment = TZipFileCommentEvent(&h, &Handlers::Comment);
  zip->OnFileExtra = TZipFileExtraEvent(&h, &Handlers::Extra);

  EXPECT_EQ(Call(kcbTick, 0, 0), 0);
  Call(kcbTotalFiles, 0, 2);
  Call(kcbTotalSize, 0, 400000);
  Call(kcbNewItem, 0, 300);
  Call(kcbProgress, 0, 150);
  Call(kcbEndOfBatch, 0, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"tick", "progress 3  2", "progress 4  400000", "progress 0 name.txt 300",
                                            "item name.txt 300 0", "progress 1  150", "item name.txt 300 50",
                                            "total 400000 0", "progress 2  0", "item  0 -1", "total 0 -1"}));
  Call(kcbMessage, 0x0304, 0, "a message");
  EXPECT_EQ(zip->ErrCode(), 4);
  EXPECT_EQ(zip->FullErrCode(), 0x0304);
  EXPECT_EQ(messages.back(), std::make_pair(0x0304, std::string("a message")));
  Call(kcbNewName, 0, 0);
  EXPECT_EQ(rec.Value1, 1);
  EXPECT_STREQ(rec.Text, "renamed.txt");
  Call(kcbCrcError, 1, 2);
  EXPECT_EQ(rec.Value1, 1);
  Call(kcbOverwrite, 1 << 16 | 5, 0);
  EXPECT_EQ(rec.Value2, 1);
  Call(kcbSkipped, 8, stBadPassword + 1);
  EXPECT_EQ(seen.back(), "skip name.txt " + std::to_string(stBadPassword));
  // A comment of 600 characters is cut to 511.
  Call(kcbComment, 0, 0);
  EXPECT_EQ(rec.Value1, 1);
  EXPECT_EQ(rec.Value2, 511);
  EXPECT_EQ(strnlen(rec.Text, sizeof rec.Text), 511u);
  // Extra data of 511 bytes travels in the text area, 512 by address.
  extra = std::string(511, 'x');
  Call(kcbExtraData, 0, 0);
  EXPECT_EQ(rec.Value1, -1);
  EXPECT_EQ(rec.Value2, 511);
  EXPECT_EQ(std::string(rec.Text, 511), extra);
  extra = std::string(512, 'y');
  Call(kcbExtraData, 0, 0);
  const char* p = nullptr;
  std::memcpy(&p, rec.Text + kCallbackPointerOffset, sizeof p);
  EXPECT_EQ(std::string(p, 512), extra);
  // A memory buffer for the library.
  Call(kcbMemory, 0, 1000);
  EXPECT_EQ(reinterpret_cast<char*>(rec.Value2), zip->ZipStream()->Memory());
  EXPECT_EQ(zip->ZipStream()->Size(), 1000);
  seen.clear();
  Call(kcbNewExtra, 2, 1000, "extra item");
  Call(kcbExtraProgress, 0, 250);
  EXPECT_EQ(seen, (std::vector<std::string>{"progress 5 extra item 1000", "item extra item 1000 0",
                                            "progress 6 extra item 250", "item extra item 1000 25"}));
}

TEST_F(ZipCallbackTest, PercentStaysWithin32Bits) {
  EXPECT_EQ(TZipKeeper::Percent(0, 5), 0u);
  EXPECT_EQ(TZipKeeper::Percent(5, 0), 0u);
  EXPECT_EQ(TZipKeeper::Percent(200, 50), 25u);
  EXPECT_EQ(TZipKeeper::Percent(4000000000u, 2000000000u), 50u);
}

TEST_F(ZipCallbackTest, CancelAbortAndEventExceptions) {
  // Cancel-all from OnPasswordError: the action code is zeroed, no password, repeat count 0.
  zip->OnPasswordError = TZipPasswordErrorEvent(
      +[](void*, TObject*, bool, AnsiString& pw, const AnsiString&, uint32_t&, TPasswordButton& a) {
        pw = "ignored";
        a = pwbCancelAll;
      },
      nullptr);
  EXPECT_EQ(Call(kcbPassword, 0, 3), 0);
  EXPECT_EQ(rec.ActionCode, 0);
  EXPECT_EQ(rec.Value1, 0);
  EXPECT_EQ(rec.Value2, 0);
  // An exception in a handler cancels the run and is shown with the library's code 9 message.
  zip->OnTick = TNotifyEvent(+[](void*, TObject*) { throw Exception("handler failed"); }, nullptr);
  EXPECT_EQ(Call(kcbTick, 0, 0), -1);
  Call(kcbMessage, 9, 0, "aborted");
  EXPECT_EQ(zip->Message(), "Exception in Event  #0 \"handler failed\"");
  // OnAfterCallback sees every action and may abort.
  zip->OnTick = nullptr;
  zip->Cancel = false;
  zip->OnAfterCallback = TZipAfterCallbackEvent(+[](void*, CallBackInfo* info, bool& abort) { abort = info->ActionCode == kcbTick; }, nullptr);
  EXPECT_EQ(Call(kcbTotalFiles, 0, 1), 0);
  EXPECT_EQ(Call(kcbTick, 0, 0), -1);
  // Nor does an exception of any other kind from it reach the library.
  zip->Cancel = false;
  zip->OnAfterCallback = TZipAfterCallbackEvent(+[](void*, CallBackInfo*, bool&) { throw std::runtime_error("after failed"); }, nullptr);
  EXPECT_EQ(Call(kcbTotalFiles, 0, 1), -1);
  zip->Cancel = false;
  zip->OnAfterCallback = TZipAfterCallbackEvent(+[](void*, CallBackInfo* info, bool& abort) { abort = info->ActionCode == kcbTick; }, nullptr);
  // Direct calls raise the cancel as 11007.
  EXPECT_THROW(zip->Dispatch(kcbTick, 0, 0, ""), EZipKeeper);
  zip->Cancel = false;
  zip->OnAfterCallback = nullptr;
  // Once destruction begins every callback is answered cancel without events.
  zip->OnTick = TNotifyEvent(+[](void*, TObject*) { FAIL(); }, nullptr);
  zip->BeforeDestruction();
  EXPECT_EQ(Call(kcbTick, 0, 0), -1);
}

// Whether a password passes the one-byte check in the encryption header of an entry, the way the
// unzip library tries an answer before extracting. The header starts with random bytes, so a
// wrong password passes for about one header in 256 and the entry then fails its checksum.
bool PassesHeaderCheck(const std::string& archive, size_t index, const std::string& password) {
  FILE* f = std::fopen(archive.c_str(), "rb");
  if (!f) return false;
  zipfmt::TCentralDirectory cd;
  std::string error;
  bool ok = zipfmt::ReadCentralDirectory(f, cd, error) && index < cd.Entries.size();
  uint8_t local[30], head[12];
  if (ok) {
    const auto& e = cd.Entries[index];
    ok = std::fseek(f, static_cast<long>(e.LocalOffset), SEEK_SET) == 0 && std::fread(local, 1, 30, f) == 30 &&
         std::fseek(f, zipfmt::Get16(local + 26) + zipfmt::Get16(local + 28), SEEK_CUR) == 0 &&
         std::fread(head, 1, 12, f) == 12;
  }
  std::fclose(f);
  if (!ok) return false;
  const auto& e = cd.Entries[index];
  uint8_t check = e.Flags & zipfmt::kFlagDescriptor ? static_cast<uint8_t>(e.DosTime >> 8) : static_cast<uint8_t>(e.Crc >> 24);
  zipfmt::TZipCrypt z(password);
  z.Decrypt(head, 12);
  return head[11] == check;
}

// A wrong password the header check turns away, so that the dialog is asked again.
std::string WrongPasswordFor(const std::string& archive) {
  for (int i = 0; i < 64; ++i) {
    std::string pw = "wrong" + std::to_string(i);
    if (!PassesHeaderCheck(archive, 0, pw)) return pw;
  }
  return "";
}

// Answers the password dialog through its controls.
struct PasswordTyping {
  std::vector<std::string> typed;
  int shown = 0;
  PasswordTyping() {
    SetDialogHook([this](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
      TDialogAnswer a;
      auto* dlg = dynamic_cast<TPasswordDlg*>(r.Form);
      if (!dlg) {
        a.Result = IDOK;
        return a;
      }
      ++shown;
      std::string pw = typed.empty() ? "" : typed.front();
      if (!typed.empty()) typed.erase(typed.begin());
      dlg->PwdEdit->SetText(pw);
      (pw.empty() ? dlg->CancelButton : dlg->OkButton)->Click();
      return std::nullopt;
    });
  }
  ~PasswordTyping() { SetDialogHook(nullptr); }
};

TEST_F(ZipCallbackTest, EncryptedRoundTripThroughThePasswordDialog) {
  zip->Unattended = false;
  PasswordTyping typing;
  WriteAll(dir / "secret.txt", std::string(5000, 's'));
  zip->AddOptions = {AddEncrypt};
  typing.typed = {"s3cret", "s3cret"};
  ASSERT_EQ(AddFiles(P("locked.zip"), {P("secret.txt")}), 1);
  EXPECT_EQ(typing.shown, 2) << "the zip library asks twice to confirm";
  EXPECT_TRUE(zip->DirEntry(0).Encrypted);
  EXPECT_EQ(Shell("unzip -t -P s3cret " + P("locked.zip")), 0);
  // A wrong password first, then the right one. The wrong one is chosen among those the header
  // check turns away (a few pass it by chance, and decrypt to garbage that fails the checksum).
  ASSERT_TRUE(PassesHeaderCheck(P("locked.zip"), 0, "s3cret"));
  std::string wrong = WrongPasswordFor(P("locked.zip"));
  ASSERT_FALSE(wrong.empty());
  zip->SetPasswordReqCount(3);
  int shownBefore = typing.shown;
  typing.typed = {wrong, "s3cret"};
  EXPECT_EQ(ExtractTo(P("locked.zip"), P("out")), 1);
  EXPECT_EQ(typing.shown - shownBefore, 2) << "the dialog is asked again after the wrong password";
  EXPECT_EQ(ReadAll(dir / "out/secret.txt"), std::string(5000, 's'));
  // Two different answers are refused with 10104; nothing is written.
  typing.typed = {"one", "two"};
  EXPECT_EQ(AddFiles(P("other.zip"), {P("secret.txt")}), 0);
  EXPECT_FALSE(fs::exists(dir / "other.zip"));
  EXPECT_EQ(zip->ErrCode() == 10104 || messages.size() > 0, true);
  bool saw10104 = false;
  for (auto& m : messages) saw10104 |= m.second == zip->ZipLoadStr(10104);
  EXPECT_TRUE(saw10104);
  // A cancelled dialog skips the entry as a bad password.
  std::vector<int> skips;
  zip->OnExtractSkipped = TZipExtractSkippedEvent(
      +[](void* v, TObject*, const AnsiString&, UnZipSkipTypes t, int) { static_cast<std::vector<int>*>(v)->push_back(t); }, &skips);
  typing.typed = {};
  EXPECT_EQ(ExtractTo(P("locked.zip"), P("out2")), 0);
  EXPECT_EQ(skips, std::vector<int>{stBadPassword});
}

// Adds up the progress of each run: every file's progress reaches the size it started with, and
// the run's the total it announced.
struct ProgressMeter {
  uint64_t total = 0, done = 0, item = 0, itemDone = 0;
  AnsiString name;
  std::vector<std::string> wrong;
  void Progress(TObject*, ProgressType p, const AnsiString& n, uint64_t size) {
    if (p == TotalSize2Process) total = size, done = 0;
    if (p == NewFile || p == EndOfBatch) {
      if (itemDone != item) wrong.push_back(AnsiToUtf8(name) + " " + std::to_string(itemDone) + " of " + std::to_string(item));
      item = size, itemDone = 0, name = n;
    }
    if (p == ProgressUpdate) done += size, itemDone += size;
    if (p == EndOfBatch && done != total) wrong.push_back("total " + std::to_string(done) + " of " + std::to_string(total));
  }
};

TEST_F(ZipCallbackTest, ProgressReachesItsTotalExactlyPerFileAndOverall) {
  ProgressMeter meter;
  zip->OnProgress = TZipProgressEvent(&meter, &ProgressMeter::Progress);
  WriteAll(dir / "in/a.txt", std::string(70000, 'a'));
  WriteAll(dir / "in/empty.txt", "");
  WriteAll(dir / "in/sub/b.txt", std::string(300000, 'b'));
  // Our add of a tree with a folder entry, encrypted; Info-ZIP's encrypted archive of the same.
  zip->AddOptions = {AddDirNames, AddRecurseDirs, AddSeparateDirs, AddEncrypt};
  zip->Password = "pw";
  zip->RootDir = P("in");
  EXPECT_EQ(AddFiles(P("ours.zip"), {"*.*"}), 4);
  ASSERT_EQ(Shell("cd " + P("in") + " && zip -r -P pw ../iz.zip ."), 0);
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("iz.zip"), P("out")), 3);
  zip->ExtrOptions = {ExtrDirNames, ExtrTest};
  EXPECT_EQ(ExtractTo(P("ours.zip"), P("out")), 3);
  // Every file there already and not to be overwritten: each is skipped.
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("iz.zip"), P("out")), 0);
  EXPECT_EQ(meter.wrong, std::vector<std::string>{});
}

TEST_F(ZipCallbackTest, AHandlerThatKeepsAnsweringIsAskedAtMostTheRepeatCount) {
  WriteAll(dir / "secret.txt", std::string(500, 's'));
  zip->AddOptions = {AddEncrypt};
  zip->Password = "right";
  ASSERT_EQ(AddFiles(P("locked.zip"), {P("secret.txt")}), 1);
  zip->Password.clear();
  zip->AddOptions = {};
  // A wrong password every time (one the header check turns away), with more tries than it was
  // given: after 50 asks it gives up.
  struct TAsked {
    int count = 0;
    std::string wrong;
  } asked;
  asked.wrong = WrongPasswordFor(P("locked.zip"));
  ASSERT_FALSE(asked.wrong.empty());
  zip->OnPasswordError = TZipPasswordErrorEvent(
      +[](void* v, TObject*, bool, AnsiString& pw, const AnsiString&, uint32_t& repeat, TPasswordButton& a) {
        auto* asked = static_cast<TAsked*>(v);
        pw = asked->wrong;
        repeat = 15;
        if (++asked->count >= 50) a = pwbCancelAll;
      },
      &asked);
  zip->SetPasswordReqCount(3);
  EXPECT_EQ(ExtractTo(P("locked.zip"), P("out")), 0);
  EXPECT_EQ(asked.count, 3);
  EXPECT_FALSE(fs::exists(dir / "out/secret.txt"));
}

TEST_F(ZipCallbackTest, PasswordDialogLayout) {
  TPasswordDlg dlg(zip.get(), TPasswordDlg::pbOk | TPasswordDlg::pbCancel | TPasswordDlg::pbCancelAll);
  EXPECT_EQ(dlg.Width(), 3 * 124 + 35);
  EXPECT_EQ(dlg.PwdEdit->Width(), 3 * 124 - 10);
  EXPECT_EQ(dlg.PwdEdit->PasswordChar(), '*');
  EXPECT_EQ(dlg.CancelAllButton->Left(), 20 + 124 * 2);
  EXPECT_EQ(dlg.CancelAllButton->ModalResult(), 9);
  EXPECT_EQ(dlg.AbortButton, nullptr);
  dlg.SetCaption("Password");
  dlg.Prompt->SetCaption(Utf8ToAnsi("Введите пароль"));
  dlg.PwdEdit->SetText("abc");
  ShowForTest(&dlg, dlg.Width(), dlg.Height());
  fs::create_directories(VT_TEST_OUTPUT_DIR);
  EXPECT_TRUE(SaveWindowImage(&dlg, std::string(VT_TEST_OUTPUT_DIR) + "/password_dialog.png"));
}

}  // namespace
