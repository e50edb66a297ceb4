// libFuzzer target for the program's list files as start-up reads them: the first byte picks
// the list and options, the rest is the file. "autoreplace.lst" (a word, "=" and its
// replacement a line) goes to the autocorrect component, which then corrects each item's word as
// it is typed in an editor and, with its mouse option, a line of every item; "insert.lst" goes
// to the completion list, which is opened in the editor at the start of each item and completes
// it, its items drawn as plain text or, with the option, as mark-up.
// Run as: build/fuzz/fuzz/lists_fuzz -max_len=2048 -timeout=10 -max_total_time=300 <corpus>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "editor-services/autocorrect/auto_correct.h"
#include "editor-services/completion/completion_proposal.h"
#include "fuzz/fuzz_folder.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

constexpr int kMaxItems = 16;

TSrcEdit* Editor() {
  static TSrcEdit* editor = [] {
    EnsureGuiApplication();
    auto* e = new TSrcEdit(nullptr);
    ShowForTest(e, 300, 100);
    return e;
  }();
  return editor;
}

void SetLine(TSrcEdit* editor, const AnsiString& text) {
  editor->Lines()->SetText(text);
  editor->SetCaretXY(BufferCoord(static_cast<int>(text.size()) + 1, 1));
}

void CheckCaret(TSrcEdit* editor) {
  if (editor->CaretY() < 1 || editor->CaretY() > std::max(1, editor->Lines()->Count())) abort();
}

void AutoReplace(TStrings* list, uint8_t flags) {
  TSrcEdit* editor = Editor();
  TSrcAutoCorrect ac(nullptr);
  ac.SetItemSepChar('=');
  TAsSrcAutoCorrectOptions options;
  if (flags & 2) options = {ascoIgnoreCase};
  if (flags & 4) options = flags & 2 ? TAsSrcAutoCorrectOptions{ascoIgnoreCase, ascoMaintainCase}
                                     : TAsSrcAutoCorrectOptions{ascoMaintainCase};
  ac.SetOptions(options);
  ac.SetItems(list);
  ac.SetEditor(editor);
  AnsiString all;
  for (int i = 0; i < list->Count() && i < kMaxItems; ++i) {
    AnsiString original = ac.SplitItem(list->Get(i), true);
    all += original + " ";
    SetLine(editor, "x " + original);
    editor->CommandProcessor(ecChar, ' ', nullptr);
    CheckCaret(editor);
  }
  if (flags & 8) {
    ac.SetOptions({ascoCorrectOnMouseDown, ascoIgnoreCase, ascoMaintainCase});
    SetLine(editor, all);
    editor->CommandProcessor(ecRight, 0, nullptr);
    ac.AutoCorrectMouseDown(editor, mbLeft, {}, 1, 1);
    CheckCaret(editor);
  }
  ac.SetEditor(nullptr);
}

void Insert(TStrings* list, uint8_t flags) {
  TSrcEdit* editor = Editor();
  TSrcCompletionProposal inns(nullptr);
  inns.SetEndOfTokenChr("()[]. ,<>");
  if (flags & 2) inns.SetOptions(inns.Options() | scoUsePrettyText);
  inns.SetEditor(editor);
  inns.SetItemList(list);
  for (int i = 0; i < list->Count() && i < kMaxItems; ++i) {
    AnsiString item = list->Get(i);
    SetLine(editor, item.substr(0, (flags >> 4) + 1));
    inns.ExecuteEx(editor);
    if (inns.Form()->Visible()) SimulateKeyStroke(editor, (flags & 4) ? VK_DOWN : VK_RETURN);
    if (inns.Form()->Visible()) SimulateKeyStroke(editor, VK_TAB);
    inns.CancelCompletion();
    CheckCaret(editor);
  }
  inns.SetEditor(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = std::string(FuzzFolder()) + "/list.lst";
  if (size < 1) return 0;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  TStringList list;
  list.LoadFromFile(path);
  if (data[0] & 1) Insert(&list, data[0]);
  else AutoReplace(&list, data[0]);
  return 0;
}
