// The print options and the view in the default browser.
#include "tests/app/preview_fixture.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <set>

namespace {

// ------------------------------------------------------------------------------ print options

TEST_F(PreviewTest, PrintOptionsPrintTheSourceAsTheyAreSet) {
  Create({doc.string()});
  Run("FilePrint");
  ASSERT_NE(PrntOpt, nullptr);
  EXPECT_TRUE(PrntOpt->Visible());
  EXPECT_FALSE(main->Enabled());
  EXPECT_EQ(PrntOpt->Caption(), W1251("Настройка печати"));
  EXPECT_FALSE(PrntOpt->OnlySel->Enabled());
  EXPECT_TRUE(PrntOpt->PrntSynt->Checked());
  EXPECT_TRUE(PrntOpt->Numb->Checked());
  EXPECT_FALSE(PrntOpt->Colors->Checked());
  EXPECT_EQ(PrntOpt->Copies->Text(), "1");
  Keep(PrntOpt, "print_options.png");

  // The printer's set-up is the desktop's print dialog.
  dialogs.Answer(IDCANCEL);
  PrntOpt->PrntSet->Click();
  EXPECT_EQ(dialogs.Count(dkPrinterSetup), 1);

  // A copies count that is not a number: the conversion error, the window stays, no job.
  fs::path pdf = root / "out.pdf";
  Printer()->SetOutputFileName(pdf.string());
  for (const char* bad : {"two", "0", "-1"}) {
    PrntOpt->Copies->SetText(bad);
    EXPECT_THROW(PrntOpt->OkBut->Click(), EConvertError) << bad;
    EXPECT_TRUE(PrntOpt->Visible());
    EXPECT_FALSE(fs::exists(pdf));
  }

  // The arrows step from any count typed.
  PrntOpt->Copies->SetText("150");
  PrntOpt->UpDown1->Step(true);
  EXPECT_EQ(PrntOpt->Copies->Text(), "151");

  PrntOpt->Copies->SetText("2");
  PrntOpt->OkBut->Click();
  EXPECT_FALSE(PrntOpt->Visible());
  EXPECT_TRUE(main->Enabled());
  ASSERT_TRUE(fs::exists(pdf));
  std::string info = Shell("pdfinfo '" + pdf.string() + "'");
  EXPECT_NE(info.find("Vantry Tarn - [a.htm]"), std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + info.find("Pages:") + 6), 2) << info;
  std::string text = Shell("pdftotext -layout '" + pdf.string() + "' -");
  EXPECT_NE(text.find("2: <body style="), std::string::npos) << text;

  // Another opening is a new window; with a selection the choice is offered, unticked.
  TPrntOpt* first = PrntOpt;
  Ed()->SetBlockBegin(BufferCoord(2, 2));
  Ed()->SetBlockEnd(BufferCoord(6, 2));
  Run("FilePrint");
  EXPECT_NE(PrntOpt, first);
  delete first;
  EXPECT_TRUE(PrntOpt->OnlySel->Enabled());
  EXPECT_FALSE(PrntOpt->OnlySel->Checked());
  PrntOpt->OnlySel->SetChecked(true);
  dialogs.Answer(IDOK, pdf.string());
  PrntOpt->PrntSet->Click();
  PrntOpt->OkBut->Click();
  text = Shell("pdftotext -layout '" + pdf.string() + "' -");
  EXPECT_NE(text.find("2: body"), std::string::npos) << text;
  EXPECT_EQ(text.find("1: "), std::string::npos) << text;
  PrntOpt->Show();
  PrntOpt->CancelBut->Click();
  EXPECT_FALSE(PrntOpt->Visible());
  EXPECT_TRUE(main->Enabled());
}

TEST_F(PreviewTest, PrintingWithoutAPrinterSaysWhereThePdfWent) {
  // The default place lies under the home folder: here, the test's own. A file of the default
  // name is the user's: the job takes the next free name.
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", root.c_str(), 1);
  const fs::path taken = root / "Vantry Tarn - [a.htm].pdf";
  WriteFile(taken, "keep me");
  Create({doc.string()});
  Run("FilePrint");
  PrntOpt->OkBut->Click();
  AnsiString file = Printer()->FileOfJob();
  EXPECT_EQ(file, (root / "Vantry Tarn - [a.htm] (2).pdf").string());
  EXPECT_EQ(ReadFile(taken), "keep me");
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(dialogs.Count(dkMessageBox), 1);
  const TDialogRequest* told = dialogs.Last(dkMessageBox);
  EXPECT_EQ(told->Caption, W1251("Информация"));
  EXPECT_EQ(told->Text, W1251("Принтер не установлен. Документ сохранён в файл\r") + file);

  // Nothing printed (only the selection asked for, and there is none): nothing announced.
  fs::remove(file);
  PrntOpt->Show();
  PrntOpt->OnlySel->SetChecked(true);
  PrntOpt->OkBut->Click();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(dialogs.Count(dkMessageBox), 1);

  // A file the user named is not announced, and is that job's alone: the next one goes to the
  // default place again, and says so.
  Printer()->SetOutputFileName((root / "named.pdf").string());
  PrntOpt->Show();
  PrntOpt->OkBut->Click();
  EXPECT_TRUE(fs::exists(root / "named.pdf"));
  EXPECT_EQ(dialogs.Count(dkMessageBox), 1);
  fs::remove(root / "named.pdf");
  PrntOpt->Show();
  PrntOpt->OkBut->Click();
  setenv("HOME", home.c_str(), 1);
  EXPECT_FALSE(fs::exists(root / "named.pdf"));
  EXPECT_EQ(Printer()->FileOfJob(), file);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadFile(taken), "keep me");
  ASSERT_EQ(dialogs.Count(dkMessageBox), 2);
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text, W1251("Принтер не установлен. Документ сохранён в файл\r") + file);
}

TEST_F(PreviewTest, ADocumentWithALongNameIsViewedAndPrintedWithoutAPrinter) {
  // 122 Cyrillic letters: 244 bytes of UTF-8 and the extension, as long a name as fits.
  std::string letters;
  for (int i = 0; i < 122; ++i) letters += "\xD0\xB4";
  fs::path file = site / (letters + ".htm");
  fs::copy_file(doc, file);
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", root.c_str(), 1);
  Create({SystemNameToAnsi(file.string())});
  Run("Action1");
  Run("FilePrint");
  PrntOpt->OkBut->Click();
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(dialogs.Count(dkMessageBox), 1);
  // The page beside the document and the PDF file, each under a name that fits.
  ASSERT_EQ(launched.size(), 1u);
  ASSERT_EQ(launched[0].rfind("file://" + site.string() + "/", 0), 0u) << launched[0];
  AnsiString pdf = Printer()->FileOfJob();
  EXPECT_TRUE(fs::exists(AnsiToSystemName(pdf)));
  EXPECT_NE(pdf.find(W1251("Vantry Tarn - [\xD0\xB4\xD0\xB4")), std::string::npos) << pdf;
  std::set<std::string> names{fs::path(AnsiToSystemName(pdf)).filename().string()};
  for (const auto& e : fs::directory_iterator(site)) names.insert(e.path().filename().string());
  EXPECT_EQ(names.size(), 5u);  // a.htm, b.htm, the document, its page and the PDF file
  for (const std::string& n : names) EXPECT_LE(n.size(), 255u) << n;
  // A short name stays whole, and a name relative to the current folder stays relative.
  EXPECT_EQ(PreviewFileName("a.htm", "/x"), "a.htm-preview.htm");
  EXPECT_EQ(PreviewFileName("/site/a.htm", "/x"), "/site/a.htm-preview.htm");
}

TEST_F(PreviewTest, APrintServerThatDoesNotAnswerIsSaidSoAndTheDocumentKept) {
  // The desktop's print server, named to be a socket that takes connections and never
  // answers, as a hung server does: the printer object gives up and says so.
  fs::path silent = root / "silent.sock";
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(silent.string().size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, silent.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 16), 0);
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  const char* server = getenv("CUPS_SERVER");
  std::string keptServer = server ? server : "";
  setenv("HOME", root.c_str(), 1);
  setenv("CUPS_SERVER", silent.c_str(), 1);
  SetPrintServer(nullptr);
  SetPrintServerTimeout(200);
  Create({doc.string()});
  Run("FilePrint");
  PrntOpt->OkBut->Click();
  AnsiString file = Printer()->FileOfJob();
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(dialogs.Count(dkMessageBox), 1);
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text,
            W1251("Сервер печати (") + silent.string() + W1251(") не отвечает. Документ сохранён в файл\r") + file);
  // No server at all (nothing at the name): as without a printer.
  fs::remove(file);
  setenv("CUPS_SERVER", (root / "none.sock").c_str(), 1);
  PrntOpt->Show();
  PrntOpt->OkBut->Click();
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(dialogs.Count(dkMessageBox), 2);
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Text, W1251("Принтер не установлен. Документ сохранён в файл\r") + file);
  setenv("HOME", home.c_str(), 1);
  if (server) setenv("CUPS_SERVER", keptServer.c_str(), 1);
  else unsetenv("CUPS_SERVER");
  SetPrintServerTimeout(4000);
  close(fd);
}

TEST_F(PreviewTest, ViewInTheDefaultBrowserLeavesItsFile) {
  Create({doc.string()});
  Run("Action1");
  fs::path file = site / "a.htm-preview.htm";
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], "file://" + file.string());
  EXPECT_EQ(MainPreview, nullptr);
  // The program's own file is written again, also by another window of the program.
  Destroy();
  Create({doc.string()});
  Ed()->SetSelText("<p>1</p>");
  Run("Action1");
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[1], "file://" + file.string());
  EXPECT_NE(ReadFile(file).find("<p>1</p>"), std::string::npos);
  // A file of that name that the user made (or changed) is left alone: the page goes beside it.
  WriteFile(file, "mine");
  Ed()->SetSelText("<p>2</p>");
  Run("Action1");
  Run("Action1");
  fs::path beside = site / "a.htm-preview (2).htm";
  ASSERT_EQ(launched.size(), 4u);
  EXPECT_EQ(launched[2], "file://" + site.string() + "/a.htm-preview%20(2).htm");
  EXPECT_EQ(launched[3], launched[2]);
  EXPECT_EQ(ReadFile(file), "mine");
  EXPECT_NE(ReadFile(beside).find("<p>2</p>"), std::string::npos);
  // Untitled: the file goes to the program folder, wherever the current folder is.
  dialogs.Answer(IDNO);
  Run("FileNewActin");
  Run("Action1");
  fs::path untitled = program / "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9-preview.htm";
  EXPECT_TRUE(fs::exists(untitled));
  ASSERT_EQ(launched.size(), 5u);
  EXPECT_EQ(launched[4], "file://" + program.string() + "/%D0%9D%D0%BE%D0%B2%D1%8B%D0%B9-preview.htm");
}

}  // namespace
