// Links in an editor with the URI highlighter: the hand cursor and opening through the shell.
#include "editor-services/uri/uri_opener.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/input_simulation.h"
#include "platform/shell.h"

namespace {

struct Links : ::testing::Test {
  void SetUp() override {
    SetShellHook([this](const AnsiString&, const AnsiString&, const std::string& launched) {
      opened.push_back(launched);
      return true;
    });
    uri = std::make_unique<TSrcURISrc>(nullptr);
    editor = std::make_unique<TSrcEdit>(nullptr);
    editor->SetHighlighter(uri.get());
    editor->Lines()->SetText("see www.example.com or Mailto:me@x.ru and a@b.ru.");
    ShowForTest(editor.get(), 500, 100);
    editor->SetFocus();
    opener = std::make_unique<TSrcURIOpener>(nullptr);
    opener->SetURIHighlighter(uri.get());
    opener->SetEditor(editor.get());
  }
  void TearDown() override {
    opener.reset();
    editor.reset();
    SetShellHook(nullptr);
  }
  // The middle of character Char of the first line, in client pixels.
  TPoint At(int Char) const {
    TPoint p = editor->RowColumnToPixels(editor->BufferToDisplayPos(BufferCoord(Char, 1)));
    return TPoint{p.X + editor->CharWidth() / 2, p.Y + editor->LineHeight() / 2};
  }
  void Click(TPoint down, TPoint up, TShiftState shift) {
    SimulateMouse(editor.get(), smMove, mbLeft, down.X, down.Y, shift);
    SimulateMouse(editor.get(), smPress, mbLeft, down.X, down.Y, shift);
    SimulateMouse(editor.get(), smRelease, mbLeft, up.X, up.Y, shift);
  }

  std::vector<std::string> opened;
  std::unique_ptr<TSrcURISrc> uri;
  std::unique_ptr<TSrcEdit> editor;
  std::unique_ptr<TSrcURIOpener> opener;
};

TEST_F(Links, TheHandShowsOverLinksOnlyWhileCtrlIsHeld) {
  TPoint link = At(8), word = At(2);
  SimulateMouse(editor.get(), smMove, mbLeft, link.X, link.Y);
  EXPECT_NE(ShownCursor(editor.get()), crHandPoint);
  SimulateMouse(editor.get(), smMove, mbLeft, link.X, link.Y, {ssCtrl});
  EXPECT_EQ(ShownCursor(editor.get()), crHandPoint);
  SimulateMouse(editor.get(), smMove, mbLeft, word.X, word.Y, {ssCtrl});
  EXPECT_NE(ShownCursor(editor.get()), crHandPoint);
  opener->SetCtrlActivatesLinks(false);
  SimulateMouse(editor.get(), smMove, mbLeft, link.X, link.Y);
  EXPECT_EQ(ShownCursor(editor.get()), crHandPoint);
}

TEST_F(Links, ACtrlClickOpensTheLinkCompletedAndMarksItVisited) {
  Click(At(8), At(8), {ssCtrl});
  Click(At(30), At(30), {ssCtrl});
  Click(At(45), At(45), {ssCtrl});
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0], "http://www.example.com");
  EXPECT_EQ(opened[1], "Mailto:me@x.ru");  // the scheme it has is not added again
  EXPECT_EQ(opened[2], "mailto:a@b.ru");   // without the full stop that ends the sentence
  EXPECT_TRUE(opener->IsVisitedURI("www.example.com"));
  AnsiString token;
  TSrcHighlighterAttributes* attri = nullptr;
  ASSERT_TRUE(editor->GetTokenAttributeAt(BufferCoord(8, 1), token, attri));
  EXPECT_EQ(attri, uri->VisitedURIAttri());
}

TEST_F(Links, DragsPlainClicksAndClicksInTheSelectionOpenNothing) {
  TPoint link = At(8);
  Click(link, TPoint{link.X + 12, link.Y}, {ssCtrl});  // a drag
  Click(link, link, {});                               // without Ctrl
  editor->SetOptions(editor->Options().With(eoDragDropEditing));
  editor->SetBlockBegin(BufferCoord(5, 1));
  editor->SetBlockEnd(BufferCoord(20, 1));
  SimulateMouse(editor.get(), smMove, mbLeft, link.X, link.Y, {ssCtrl});
  EXPECT_NE(ShownCursor(editor.get()), crHandPoint);
  Click(link, link, {ssCtrl});
  EXPECT_TRUE(opened.empty());
}

TEST_F(Links, LinksWithBlanksOrCyrillicLettersArePercentEncoded) {
  opener->OpenLink(W1251("http://пример.рф/a b"), utHttpLink);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D1%80%D1%84/a%20b");
}

}  // namespace
