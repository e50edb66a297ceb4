#include "app/main_icons.h"
#include "platform/graphics.h"
#include "platform/icons.h"
#include "platform/input_simulation.h"
#include "tests/app/app_fixture.h"

namespace {

// Pixels of a list's image that show when drawn at (2, 2) on a bitmap two pixels larger all
// round: counted against a white and a black background, so that white or black parts of a
// picture count too. Pixels drawn outside the list's size are counted in Outside.
struct Coverage {
  int Inside = 0, Outside = 0;
};
Coverage Cover(TImageList* list, int index) {
  Coverage c;
  const int w = list->Width() + 4, h = list->Height() + 4;
  for (TColor bg : {clWhite, clBlack}) {
    TBitmap b(w, h);
    b.Canvas()->Brush()->SetColor(bg);
    b.Canvas()->FillRect(Rect(0, 0, w, h));
    list->Draw(b.Canvas(), 2, 2, index);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (b.Pixel(x, y) == bg) continue;
        bool in = x >= 2 && y >= 2 && x < w - 2 && y < h - 2;
        (in ? c.Inside : c.Outside)++;
      }
  }
  return c;
}

std::vector<TColor> Pixels(TImageList* list, int index) {
  TBitmap b(list->Width(), list->Height());
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(Rect(0, 0, list->Width(), list->Height()));
  list->Draw(b.Canvas(), 0, 0, index);
  std::vector<TColor> v;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) v.push_back(b.Pixel(x, y));
  return v;
}

struct ThemeOff {
  ThemeOff() { SetThemeIconsEnabled(false); }
  ~ThemeOff() { SetThemeIconsEnabled(true); }
};

class IconsTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    Create();
  }
  std::vector<TActionToolBar*> ToolBars() const { return {main->ActionToolBar1, main->ActionToolBar2}; }
};

TEST_F(IconsTest, EveryPictureOfTheActionsShowsWithinItsSize) {
  TImageList* list = main->MainIconz;
  ASSERT_EQ(list, main->ActionManager1->Images());
  EXPECT_EQ(list->Width(), 16);
  EXPECT_EQ(list->Height(), 16);
  ASSERT_EQ(list->Count(), ActionImageCount());
  std::vector<bool> used(size_t(list->Count()), false);
  int withImage = 0;
  for (int i = 0; i < main->ActionManager1->ActionCount(); ++i) {
    TAction* a = main->ActionManager1->Actions(i);
    int k = a->ImageIndex();
    EXPECT_LT(k, list->Count()) << a->Name();
    if (k < 0) continue;
    ++withImage;
    used[size_t(k)] = true;
    Coverage c = Cover(list, k);
    EXPECT_GT(c.Inside, 20) << a->Name() << " shows " << ActionImageKey(k);
    EXPECT_EQ(c.Outside, 0) << a->Name();
  }
  EXPECT_GT(withImage, 70);
  for (size_t k = 0; k < used.size(); ++k) EXPECT_TRUE(used[k]) << ActionImageKey(int(k)) << " is never shown";
  // Buttons of icon-only bars cannot go without a picture.
  for (TActionToolBar* bar : ToolBars()) {
    TActionClientItem* root = bar->Items();
    for (int i = 0; i < root->Count(); ++i)
      if (TAction* a = root->Items(i)->Action()) {
        EXPECT_GE(a->ImageIndex(), 0) << a->Name();
      }
  }
  // Marked actions show their check marks instead of a picture.
  for (const char* n : {"InsMode", "Action4", "Action9", "Action10", "Notez", "Action11"})
    EXPECT_EQ(main->FindAction(n)->ImageIndex(), -1) << n;
  EXPECT_EQ(main->FindAction("EditCuuut")->ImageIndex(), main->FindAction("NCut")->ImageIndex());
  EXPECT_EQ(main->FindAction("FileSave")->ImageIndex(), main->FindAction("noteSave")->ImageIndex());
}

TEST_F(IconsTest, WithoutAThemeEveryPictureIsDrawnAndTheyAllDiffer) {
  ThemeOff off;
  TBitmap probe(3, 3);
  EXPECT_FALSE(LoadThemeIcon("document-new", 16, probe));
  EXPECT_EQ(probe.Width(), 3);  // left as it was
  for (int size : {16, 24}) {
    TImageList list(nullptr, size, size);
    std::vector<TActionImageSource> sources = FillActionImages(&list);
    ASSERT_EQ(list.Count(), ActionImageCount());
    ASSERT_EQ(int(sources.size()), list.Count());
    std::vector<std::vector<TColor>> seen;
    for (int k = 0; k < list.Count(); ++k) {
      EXPECT_EQ(sources[size_t(k)], aisDrawn) << ActionImageKey(k);
      Coverage c = Cover(&list, k);
      // The drawing scales with the list: it covers a fair part of the larger square too.
      EXPECT_GT(c.Inside, size * size / 8) << ActionImageKey(k) << " at " << size;
      EXPECT_EQ(c.Outside, 0) << ActionImageKey(k);
      std::vector<TColor> px = Pixels(&list, k);
      for (size_t j = 0; j < seen.size(); ++j)
        EXPECT_NE(px, seen[j]) << ActionImageKey(k) << " looks like " << ActionImageKey(int(j));
      seen.push_back(px);
    }
  }
  // Filling again replaces the pictures rather than adding to them.
  TImageList again(nullptr);
  FillActionImages(&again);
  FillActionImages(&again);
  EXPECT_EQ(again.Count(), ActionImageCount());
}

TEST_F(IconsTest, ThemeIconsComeWhereTheThemeHasThemAndKeepTheirTransparency) {
  TBitmap bmp;
  EXPECT_FALSE(LoadThemeIcon("vantry-tarn-no-such-icon", 16, bmp));
  EXPECT_TRUE(bmp.Empty());
  TImageList list(nullptr);
  std::vector<TActionImageSource> sources = FillActionImages(&list);
  bool themeHasNew = LoadThemeIcon("document-new", 16, bmp);
  EXPECT_EQ(sources[size_t(main->FindAction("FileNewActin")->ImageIndex())], themeHasNew ? aisTheme : aisDrawn);
  // Tag pictures have no standard name: drawn whatever the theme.
  for (const char* n : {"TagH1", "AddTable", "InsSymb", "Action15"})
    EXPECT_EQ(sources[size_t(main->FindAction(n)->ImageIndex())], aisDrawn) << n;
  if (!themeHasNew) GTEST_SKIP() << "no icon theme with colour action icons is installed";
  EXPECT_EQ(bmp.Width(), 16);
  EXPECT_EQ(bmp.Height(), 16);
  int opaque = OpaquePixelCount(bmp);
  EXPECT_GT(opaque, 30);
  EXPECT_LT(opaque, 16 * 16);  // the corners stay transparent
  TBitmap big;
  ASSERT_TRUE(LoadThemeIcon("document-new", 24, big));
  EXPECT_EQ(big.Width(), 24);
}

TEST_F(IconsTest, ToolBarsShowPicturesOnlyAndFitTheWindow) {
  ShowForTest(main, 1024, 700);
  Run("Notez");
  ProcessMessages();
  for (TActionToolBar* bar : ToolBars()) {
    for (int i = 0; i < bar->ItemCount(); ++i) EXPECT_TRUE(bar->ButtonShowsImage(i)) << bar->Name() << " " << i;
  }
  TActionToolBar* top = main->ActionToolBar1;
  EXPECT_LE(top->ContentLength(), top->Width());
  // Fifteen entries of icons: well under half of a 1024-pixel window.
  EXPECT_LT(top->ContentLength(), 450);
  TActionToolBar* notes = main->ActionToolBar2;
  EXPECT_LE(notes->ContentLength(), notes->Height());
  EXPECT_LE(notes->Width(), 32);
  // The same with only drawn pictures.
  {
    ThemeOff off;
    FillActionImages(main->MainIconz);
    top->RecreateControls();
    ProcessMessages();
    EXPECT_LT(top->ContentLength(), 450);
    EXPECT_TRUE(top->ButtonShowsImage(0));
  }
  FillActionImages(main->MainIconz);
}

TEST_F(IconsTest, ReStyleSwitchesWordWrapFromTheSettings) {
  EXPECT_FALSE(Ed()->WordWrap());  // default 0
  TIniFile* ini = main->Settings();
  ini->WriteInteger("Editor", "WordWrap", 1);
  main->ReStyle();
  EXPECT_TRUE(Ed()->WordWrap());
  Ed()->SetText(std::string(300, 'x'));
  ShowForTest(main, 640, 480);
  EXPECT_GT(Ed()->DisplayLineCount(), 1);
  ini->WriteInteger("Editor", "WordWrap", 2);  // only 1 switches it on
  main->ReStyle();
  EXPECT_FALSE(Ed()->WordWrap());
  EXPECT_EQ(Ed()->DisplayLineCount(), 1);
  ini->WriteInteger("Editor", "WordWrap", 1);
  main->ReStyle();
  ini->WriteInteger("Editor", "WordWrap", 0);
  main->ReStyle();
  EXPECT_FALSE(Ed()->WordWrap());
}

class IconsStartTest : public AppTest {};

TEST_F(IconsStartTest, WordWrapFromTheSettingsAtStart) {
  WriteIni("[General]\nMyPath=" + program.string() + "\n[Editor]\nWordWrap=1\n");
  Create();
  EXPECT_TRUE(main->SrcEdit1->WordWrap());
}

TEST_F(IconsTest, Screenshots) {
  std::string dir = VT_TEST_OUTPUT_DIR;
  fs::create_directories(dir);
  // Every picture, drawn and from the theme, at 16 and 24 pixels, on a light background.
  {
    const int n = ActionImageCount(), cols = 12;
    const int rows = (n + cols - 1) / cols;
    TBitmap sheet(cols * 28 + 8, rows * 3 * 30 + 8);
    sheet.Canvas()->Brush()->SetColor(RGB(246, 245, 240));
    sheet.Canvas()->FillRect(Rect(0, 0, sheet.Width(), sheet.Height()));
    TImageList theme16(nullptr), drawn16(nullptr), drawn24(nullptr, 24, 24);
    FillActionImages(&theme16);
    {
      ThemeOff off;
      FillActionImages(&drawn16);
      FillActionImages(&drawn24);
    }
    for (int k = 0; k < n; ++k) {
      int x = 6 + (k % cols) * 28, y = 6 + (k / cols) * 90;
      theme16.Draw(sheet.Canvas(), x + 4, y, k);
      drawn16.Draw(sheet.Canvas(), x + 4, y + 26, k);
      drawn24.Draw(sheet.Canvas(), x, y + 52, k);
    }
    // Twice as large, pixel for pixel, to be looked at.
    TBitmap zoom(sheet.Width() * 2, sheet.Height() * 2);
    zoom.Canvas()->CopyRect(Rect(0, 0, zoom.Width(), zoom.Height()), sheet.Canvas(),
                            Rect(0, 0, sheet.Width(), sheet.Height()));
    std::string sheetPath = dir + "/action_icons.png";
    zoom.SaveToFile(sheetPath);
    EXPECT_GT(fs::file_size(sheetPath), 1000u);
  }
  ShowForTest(main, 1024, 700);
  Run("Notez");
  main->Memo1->SetText(W1251("Заметки к странице"));
  Ed()->SetSelText("<B>Vantry Tarn</B>");
  ProcessMessages();
  EXPECT_TRUE(SaveWindowImage(main, dir + "/main_window_1024.png"));
  main->MainWNDMenu->ClickItem(0);  // "Файл"
  ProcessMessages();
  EXPECT_TRUE(SavePopupImage(dir + "/main_menu_file.png"));
  main->MainWNDMenu->CloseMenus();
  main->ActionMainMenuBar1->ClickItem(0);  // "Формат"
  ProcessMessages();
  EXPECT_TRUE(SavePopupImage(dir + "/tag_menu_format.png"));
  main->ActionMainMenuBar1->CloseMenus();
  main->ActionMainMenuBar1->ClickItem(1);  // "Шрифт"
  ProcessMessages();
  EXPECT_TRUE(SavePopupImage(dir + "/tag_menu_font.png"));
  main->ActionMainMenuBar1->CloseMenus();
  main->ActionMainMenuBar1->ClickItem(2);  // "Вставка"
  ProcessMessages();
  EXPECT_TRUE(SavePopupImage(dir + "/tag_menu_insert.png"));
  main->ActionMainMenuBar1->CloseMenus();
  ProcessMessages();
}

}  // namespace
