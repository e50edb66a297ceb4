// The mark-up of completion items: parsing, plain text, measuring, and the popup painting it.
#include "editor-services/completion/format_chunks.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "editor-services/completion/completion_proposal.h"
#include "platform/input_simulation.h"

namespace {

TEST(FormatChunks, ParsingKeepsGoodCommandsAndDropsBadOnes) {
  TFormatChunkList chunks;
  EXPECT_TRUE(ParseFormatChunks("a\\\\b", chunks, 0));
  ASSERT_EQ(chunks.Count(), 1);
  EXPECT_EQ(chunks.Chunks(0).Text, "a\\b");
  EXPECT_FALSE(ParseFormatChunks("a\\bogus{x}b", chunks, 0));
  EXPECT_EQ(FormattedTextToString("a\\bogus{x}b"), "ab");
  EXPECT_TRUE(ParseFormatChunks("\\style{+b}x", chunks, 0));
  ASSERT_EQ(chunks.Count(), 2);
  EXPECT_EQ(chunks.Chunks(0).Kind, chunkStyle);
  EXPECT_EQ(chunks.Chunks(0).Style.Letter, 'B');
  EXPECT_EQ(chunks.Chunks(0).Style.Action, 1);
  for (const char* bad : {"\\style{*B}", "\\style{+Q}", "\\column{1}", "\\hspace{x}", "\\color{notacolour}"}) {
    EXPECT_FALSE(ParseFormatChunks(bad, chunks, 0)) << bad;
    EXPECT_EQ(chunks.Count(), 0) << bad;
  }
  // A command without its braces vanishes with the rest of the text, and that is no failure.
  EXPECT_TRUE(ParseFormatChunks("ab\\color{clRed", chunks, 0));
  EXPECT_EQ(FormattedTextToString("ab\\color{clRed"), "ab");
  EXPECT_EQ(FormattedTextToString("\\color{clRed}int\\column{}x"), "intx");
  EXPECT_TRUE(ParseFormatChunks("\\COLOR{$0000FF}\\image{2}x", chunks, ChunkKind(chunkImage)));
  ASSERT_EQ(chunks.Count(), 2);
  EXPECT_EQ(chunks.Chunks(0).Data, 0xFF);
}

TEST(FormatChunks, MeasuringFollowsStylesSpacesAndColumns) {
  TBitmap bmp(10, 10);
  TCanvas* c = bmp.Canvas();
  c->Font()->SetName("Liberation Sans");
  c->Font()->SetHeight(-14);
  const int plain = c->TextWidth("Word");
  EXPECT_EQ(FormattedTextWidth(c, "Word", nullptr, nullptr), plain);
  EXPECT_GT(FormattedTextWidth(c, "\\style{+B}Word", nullptr, nullptr), plain);
  EXPECT_EQ(FormattedTextWidth(c, "\\hspace{25}Word", nullptr, nullptr), plain + 25);
  // Widths saturate: never wrapped round to the other end of the range.
  EXPECT_EQ(FormattedTextWidth(c, "\\hspace{2147483647}a", nullptr, nullptr), INT_MAX);
  EXPECT_EQ(FormattedTextWidth(c, "Word\\hspace{2147483647}\\hspace{5}", nullptr, nullptr), INT_MAX);
  EXPECT_EQ(FormattedTextWidth(c, "\\hspace{-2147483648}\\hspace{-9}Word", nullptr, nullptr), INT_MIN + plain);
  EXPECT_EQ(c->Font()->Style(), TFontStyles{});  // the canvas font is given back
  TProposalColumns columns(nullptr);
  columns.Add()->SetBiggestWord("Wide");
  EXPECT_EQ(FormattedTextWidth(c, "a\\column{}Word", &columns, nullptr), c->TextWidth("Wide ") + plain);
  // Blanks separate parameters as commas do, unless quoted.
  EXPECT_EQ(FormatParamList("int a, \"char* b\",c", 2), "int a \\style{~B}char* b\\style{~B} c");
}

TEST(FormatChunks, APopupOfMarkedUpItems) {
  TSrcEdit editor(nullptr);
  editor.Lines()->SetText("x t");
  ShowForTest(&editor, 300, 120);
  TSrcCompletionProposal p(nullptr);
  p.SetEditor(&editor);
  p.SetTitle(W1251("Список вставки"));
  p.SetOptions(p.Options() | scoUsePrettyText);
  p.Columns()->Add()->SetBiggestWord("table");
  TStringList items;
  items.Add("\\color{clNavy}table\\column{}\\style{+I}block of rows");
  items.Add("\\color{clGreen}tag\\column{}\\style{+B}any\\style{-B} tag");
  items.Add("\\color{clRed}td\\column{}cell");
  p.SetItemList(&items);
  editor.SetCaretXY(BufferCoord(4, 1));
  p.ExecuteEx(&editor);
  ASSERT_TRUE(p.Form()->Visible());
  EXPECT_EQ(p.Form()->VisibleList()->Count(), 3);  // the mark-up is not matched against
  p.Form()->SetSelectedIndex(1);
  p.Form()->Update();
  std::filesystem::create_directories(VT_TEST_OUTPUT_DIR);
  EXPECT_TRUE(SaveWindowImage(p.Form(), VT_TEST_OUTPUT_DIR "/completion_popup.png"));
  // The selected row is drawn in the selection colour, the others on the list's ground.
  const int row = p.Form()->TitleHeight() + p.Form()->RowHeight() + p.Form()->RowHeight() / 2;
  EXPECT_EQ(ClientPixel(p.Form(), p.Form()->ClientWidth() - 3, row), ColorToRGB(clHighlight));
  EXPECT_EQ(ClientPixel(p.Form(), p.Form()->ClientWidth() - 3, row + p.Form()->RowHeight()), ColorToRGB(clWindow));
  EXPECT_TRUE(editor.Focused());
}

}  // namespace
