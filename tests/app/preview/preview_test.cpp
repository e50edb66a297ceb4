// The preview window in its embedded browser.
#include <algorithm>
#include <cstdlib>

#include "tests/app/preview_fixture.h"

namespace {

// ------------------------------------------------------------------------------ preview

TEST_F(PreviewTest, PreviewShowsTheFileBesideTheDocumentAndDeletesItOnClose) {
  WriteIni("[General]\nMyPath=" + program.string() + "\nStyle=XP\n");
  Create({doc.string()});
  Ed()->Lines()->Put(1, Ed()->Lines()->Get(1) + "<p>unsaved</p>");
  Run("FilePreView");
  fs::path file = site / "a.htm-preview.htm";
  ASSERT_NE(MainPreview, nullptr);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_NE(ReadFile(file).find("<p>unsaved</p>"), std::string::npos);
  EXPECT_FALSE(main->Enabled());
  EXPECT_EQ(MainPreview->Caption(), W1251("Предварительный просмотр"));
  TWebBrowser* web = MainPreview->WebBrowser1;
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && !web->LocationName().empty(); }))
      << web->Busy() << " " << web->LocationURL() << " [" << web->LocationName() << "]";
  EXPECT_EQ(web->LocationName(), "\xCF\xF0\xEE\xE1\xE0");
  AnsiString url = MainPreview->StatusBar1->Panels()->Items(0)->Text();
  EXPECT_EQ(url.rfind("a.htm-preview.htm"), url.size() - 17) << url;
  EXPECT_EQ(url.rfind("file://", 0), 0u) << url;
  // The page is painted: the blue background fills most of it.
  TBitmap grab;
  ASSERT_TRUE(WaitFor([&] {
    web->PaintTo(&grab);
    return !grab.Empty() && grab.Pixel(grab.Width() - 5, grab.Height() - 5) == RGB(0x30, 0x60, 0xC0);
  }));
  Keep(MainPreview, "preview_window.png");

  // Following a link, then "Домой": back to the preview file, the bar's style read again.
  web->Navigate((site / "b.htm").string());
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && web->LocationName() == "B"; }));
  EXPECT_NE(MainPreview->StatusBar1->Panels()->Items(0)->Text().find("b.htm"), std::string::npos);
  WriteIni("[General]\nMyPath=" + program.string() + "\nStyle=Standard\n");
  MainPreview->BrvHome->Execute();
  EXPECT_EQ(MainPreview->ActionManager1->Style(), StandardStyle());
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && web->LocationName() == "\xCF\xF0\xEE\xE1\xE0"; }));
  MainPreview->BrvBack->Execute();
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && web->LocationName() == "B"; }));

  // The browser's print command goes through the print dialog (here: a file).
  fs::path pdf = root / "page.pdf";
  dialogs.Answer(IDOK, pdf.string());
  SimulateKeyStroke(MainPreview->WebBrowser1, 'P', {ssCtrl});
  ASSERT_TRUE(WaitFor([&] { return fs::exists(pdf) && fs::file_size(pdf) > 0; }));
  EXPECT_EQ(dialogs.Count(dkPrinterSetup), 1);

  // Esc closes the window: placement saved, main window enabled, the file deleted.
  SimulateKeyStroke(MainPreview->WebBrowser1, VK_ESCAPE);
  EXPECT_FALSE(MainPreview->Visible());
  EXPECT_TRUE(main->Enabled());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_NE(ReadFile(settings / "quorbex.ini").find("[TMainPreviewWindow]"), std::string::npos);
}

TEST_F(PreviewTest, UntitledPreviewUnwritableFileAndFileAlreadyGone) {
  // The executable in a folder nobody may write, no program folder set: an untitled page is
  // previewed from the user's data folder.
  fs::path install = root / "install";
  fs::copy(VT_TEST_DATA_DIR, install, fs::copy_options::recursive);
  fs::permissions(install, fs::perms::all, fs::perm_options::remove);
  fs::permissions(install, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::add);
  SetInstallFolder(install.string());
  WriteIni("");
  Create();
  // Untitled: the file lies in the program folder; gone before the window closes, nothing fails.
  Run("FilePreView");
  EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
  fs::path file = userData / "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9-preview.htm";
  EXPECT_TRUE(fs::exists(file));
  fs::remove(file);
  MainPreview->BrvExit->Execute();
  EXPECT_FALSE(MainPreview->Visible());
  EXPECT_TRUE(main->Enabled());
  delete MainPreview;

  // A preview file that cannot be written (its folder is gone): the error comes before any window.
  Destroy();
  Create({doc.string()});
  fs::rename(site, root / "moved");
  EXPECT_THROW(Run("FilePreView"), EFileStreamError);
  EXPECT_EQ(MainPreview, nullptr);
  EXPECT_TRUE(main->Enabled());
}

TEST_F(PreviewTest, PagesWithoutACharsetAreReadAsWindows1251) {
  // A short Cyrillic title alone, which the engine's own guess takes for Chinese.
  WriteFile(doc, "<html><head><title>\xCF\xF0\xEE\xE1\xE0</title></head><body>x</body></html>");
  // A page naming its charset keeps it.
  WriteFile(site / "u.htm", "<html><head><meta charset=\"utf-8\"><title>\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0"
                            "</title></head><body>y</body></html>");
  Create({doc.string()});
  Run("FilePreView");
  TWebBrowser* web = MainPreview->WebBrowser1;
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && !web->LocationName().empty(); }))
      << web->Busy() << " " << web->LocationURL() << " [" << web->LocationName() << "]";
  EXPECT_EQ(web->LocationName(), "\xCF\xF0\xEE\xE1\xE0");
  web->Navigate((site / "u.htm").string());
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && web->LocationURL().find("u.htm") != std::string::npos; }));
  EXPECT_EQ(web->LocationName(), "\xCF\xF0\xEE\xE1\xE0");
}

TEST_F(PreviewTest, PrintWritesTheEnginesPdfWithTextOnPagesWhereThePrintJobsGo) {
  std::string body;
  for (int i = 1; i <= 120; ++i) body += "<p>Paragraph number " + std::to_string(i) + " of the long page</p>\r\n";
  WriteFile(doc, "<html><head><title>Long</title></head><body>" + body + "</body></html>");
  Create({doc.string()});
  Run("FilePreView");
  TWebBrowser* web = MainPreview->WebBrowser1;
  ASSERT_TRUE(WaitFor([&] { return !web->Busy() && web->LocationName() == "Long"; }));
  // The page as the engine prints it: every paragraph as text, on several pages, no pictures.
  auto expectPrintedPage = [&](const fs::path& pdf) {
    ASSERT_TRUE(WaitFor([&] { return Shell("pdfinfo '" + pdf.string() + "' 2>/dev/null").find("Pages:") != std::string::npos; }))
        << pdf;
    std::string info = Shell("pdfinfo '" + pdf.string() + "'");
    int pages = std::atoi(info.c_str() + info.find("Pages:") + 6);
    EXPECT_GT(pages, 1) << info;
    std::string text = Shell("pdftotext '" + pdf.string() + "' -");
    for (int i : {1, 60, 120})
      EXPECT_NE(text.find("Paragraph number " + std::to_string(i) + " of the long page"), std::string::npos) << i;
    std::string images = Shell("pdfimages -list '" + pdf.string() + "'");
    EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << images;
  };
  // Without the dialog: into the program's print output file.
  fs::path quiet = root / "quiet.pdf";
  Printer()->SetOutputFileName(quiet.string());
  web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
  expectPrintedPage(quiet);
  // «Печать»: into the file chosen in the print dialog.
  fs::path chosen = root / "chosen.pdf";
  dialogs.Answer(IDOK, chosen.string());
  MainPreview->Action1->Execute();
  expectPrintedPage(chosen);
  EXPECT_EQ(dialogs.Count(dkPrinterSetup), 1);

  // To a printer: the print server gets the engine's PDF as one job named by the page, once
  // the server has said the printer is there and takes jobs.
  Printer()->SetOutputFileName("");
  TPrinterEntry office;
  office.Name = "Office";
  office.IsDefault = true;
  printServer.printers = {office};
  web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
  ASSERT_TRUE(WaitFor([&] { return printServer.jobs.size() == 1 || dialogs.Count(dkMessageBox) > 0; }));
  ASSERT_EQ(printServer.jobs.size(), 1u) << (dialogs.Count(dkMessageBox) ? dialogs.Last(dkMessageBox)->Text : "");
  EXPECT_EQ(printServer.jobs[0].printer, "Office");
  EXPECT_EQ(printServer.jobs[0].title, "Long");
  fs::path sent = root / "sent.pdf";
  WriteFile(sent, printServer.jobs[0].pdf);
  expectPrintedPage(sent);
  EXPECT_EQ(printServer.jobs[0].copies, 1);
  EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
  // The copies chosen in the print dialog reach the printer, for this page alone.
  dialogs.Answer(IDOK, "");
  dialogs.answers.back()->Copies = 3;
  MainPreview->Action1->Execute();
  ASSERT_TRUE(WaitFor([&] { return printServer.jobs.size() == 2 || dialogs.Count(dkMessageBox) > 0; }));
  ASSERT_EQ(printServer.jobs.size(), 2u) << (dialogs.Count(dkMessageBox) ? dialogs.Last(dkMessageBox)->Text : "");
  EXPECT_EQ(printServer.jobs[1].printer, "Office");
  EXPECT_EQ(printServer.jobs[1].copies, 3);
  EXPECT_EQ(Printer()->Copies(), 1);
  // A queue that takes no jobs: said with the server's reason before the page is laid out.
  printServer.printers[0].Accepting = false;
  printServer.printers[0].StateMessage = W1251("Бумага кончилась");
  dialogs.Answer(IDOK, "");
  SimulateKeyStroke(web, 'P', {ssCtrl});
  ASSERT_TRUE(WaitFor([&] { return dialogs.Count(dkMessageBox) == 1; }));
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text, W1251("Принтер «Office» не принимает задания: Бумага кончилась."));
  // A job the server refuses: its reason, and no word of success.
  printServer.printers[0].Accepting = true;
  printServer.refuse = W1251("Принтер «Office» не принял документ: очередь переполнена");
  web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
  ASSERT_TRUE(WaitFor([&] { return dialogs.Count(dkMessageBox) == 2; }));
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text, printServer.refuse + ".");
  // A server that does not answer: said so, and the page kept in the default file.
  printServer.silent = true;
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", root.c_str(), 1);
  web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
  ASSERT_TRUE(WaitFor([&] { return dialogs.Count(dkMessageBox) == 3; }));
  setenv("HOME", home.c_str(), 1);
  fs::path kept = root / "Long.pdf";
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text,
            W1251("Сервер печати (test) не отвечает. Документ сохранён в файл\r") + kept.string());
  expectPrintedPage(kept);
  EXPECT_EQ(printServer.jobs.size(), 2u);
  EXPECT_EQ(dialogs.Count(dkMessageBox), 3);
}

}  // namespace
