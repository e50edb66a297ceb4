// Properties, refusals and the messages a user can meet.
#include "tests/zip/zip_fixture.h"

namespace {

TEST_F(ZipTest, PropertiesHaveTheirDefaultsAndSetterRules) {
  TZipKeeper k(nullptr);
  EXPECT_EQ(k.AddCompLevel, 9);
  EXPECT_EQ(k.PasswordReqCount(), 1u);
  EXPECT_EQ(k.MinFreeVolumeSize, 65536);
  EXPECT_EQ(k.VersionInfo(), "1.73");
  EXPECT_EQ(k.SFXPath, "KVSFXUS.BIN");
  EXPECT_TRUE(k.SFXOptions.Contains(SFXCheckSize));
  EXPECT_EQ(k.HowToDelete, htdAllowUndo);
  EXPECT_EQ(k.StoreSuffixList(), ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar");
  k.SetPasswordReqCount(20);
  EXPECT_EQ(k.PasswordReqCount(), 15u);
  k.SetExtAddStoreSuffixes("mp3,OGG");
  EXPECT_EQ(k.ExtAddStoreSuffixes(), ".mp3:.ogg:");
  EXPECT_TRUE(k.AddStoreSuffixes.Contains(assEXT));
  EXPECT_EQ(k.StoreSuffixList().substr(k.StoreSuffixList().size() - 14), ".jar:.mp3:.ogg");
  k.SetExtAddStoreSuffixes("");
  EXPECT_FALSE(k.AddStoreSuffixes.Contains(assEXT));
}

TEST_F(ZipTest, RefusalsReportTheirMessages) {
  // Nothing to add; update turns into freshen (of everything).
  zip->SetZipFileName(P("x.zip"));
  EXPECT_EQ(zip->Add(), 10301);
  zip->AddOptions = {AddUpdate};
  zip->Add();
  EXPECT_TRUE(zip->AddOptions.Contains(AddFreshen));
  EXPECT_FALSE(zip->AddOptions.Contains(AddUpdate));
  zip->AddOptions = {};
  zip->SetZipFileName("");
  zip->FSpecArgs()->Add("a");
  EXPECT_EQ(zip->Add(), 10102);
  zip->SetZipFileName(P("x.zip"));
  zip->AddOptions = {AddEncrypt};
  zip->FSpecArgs()->Add("a");
  EXPECT_EQ(zip->Add(), 10302);
  zip->AddOptions = {};
  zip->SetZipFileName(P("no/such/folder/x.zip"));
  zip->FSpecArgs()->Add(P("a"));
  EXPECT_EQ(zip->Add(), 10308);
  EXPECT_NE(zip->Message().find(P("no/such/folder")), std::string::npos);
  // Extraction: a missing archive, a missing base folder, an archive without entries.
  zip->SetZipFileName(P("missing.zip"));
  EXPECT_EQ(zip->Extract(), 11001);
  WriteAll(dir / "a.txt", "a");
  ASSERT_EQ(AddFiles(P("a.zip"), {P("a.txt")}), 1);
  zip->ExtrBaseDir = P("no/base");
  EXPECT_EQ(zip->Extract(), 10504);
  WriteAll(dir / "empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  zip->SetZipFileName(P("empty.zip"));
  EXPECT_EQ(zip->Count(), 0);
  EXPECT_EQ(zip->ArchiveDataStart(), 0);
  zip->ExtrBaseDir = "";
  EXPECT_EQ(zip->Extract(), 11002);
  // Every report went to OnMessage as well.
  EXPECT_GE(messages.size(), 8u);
}

TEST_F(ZipTest, MessagesShowTheirRussianTextsAndTheFallbackLineOnlyWithoutOne) {
  zip->ShowZipMessage(10101, "fatal Dll error");
  EXPECT_EQ(AnsiToUtf8(zip->Message()), "Ошибка библиотеки архивации. fatal Dll error");
  EXPECT_EQ(zip->ErrCode(), 10101);
  EXPECT_EQ(messages.back(), std::make_pair(0, std::string(zip->Message())));
  zip->ShowZipMessage(12345, "extra");
  EXPECT_EQ(zip->Message(), "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 12345 extra");
  EZipKeeper e(10650, AnsiString("/x/ZIPDLL.DLL"));
  EXPECT_EQ(AnsiToUtf8(e.Message()), "Не удаётся загрузить библиотеку архивации: /x/ZIPDLL.DLL");
  EXPECT_EQ(AnsiToUtf8(EZipKeeper(11038, 3).Message()), "Это том 3 многотомного архива; откройте последний том.");
  EXPECT_EQ(AnsiToUtf8(EZipKeeper(11001, AnsiString("/x/a.zip")).Message()), "Архив не найден: /x/a.zip");
  EXPECT_EQ(EZipKeeper(12345, true).Message(), "ZipKeeper [ 12345 ]");
  // An archive that is not one, as the settings restore meets it: the reader's text, in Russian.
  WriteAll(dir / "text.zip", std::string(300, 't'));
  zip->SetZipFileName(P("text.zip"));
  EXPECT_EQ(zip->ErrCode(), 11036);
  EXPECT_EQ(AnsiToUtf8(zip->Message()), "Файл не является zip-архивом или повреждён.");
  // A text supplied through OnZipStr replaces the table's and is formatted with the argument.
  zip->OnZipStr = TZipStrEvent(
      +[](void*, TObject*, int id, AnsiString& s) {
        if (id == 10650) s = "Cannot load %s";
      },
      nullptr);
  zip->ShowExceptionError(e);
  EXPECT_EQ(zip->Message(), "Cannot load /x/ZIPDLL.DLL");
  EXPECT_EQ(messages.back().first, 10650);
}

TEST_F(ZipTest, ABusyComponentRefusesAnotherRun) {
  WriteAll(dir / "a.txt", "a");
  ASSERT_EQ(AddFiles(P("a.zip"), {P("a.txt")}), 1);
  int nested = 0;
  struct Ctx {
    TZipKeeper* k;
    int* nested;
  } ctx{zip.get(), &nested};
  zip->OnTick = TNotifyEvent(+[](void* c, TObject*) {
    auto* x = static_cast<Ctx*>(c);
    *x->nested = x->k->Extract();
  }, &ctx);
  zip->OnProgress = TZipProgressEvent(+[](void* c, TObject*, ProgressType, const AnsiString&, uint64_t) {
    auto* x = static_cast<Ctx*>(c);
    if (*x->nested == 0) *x->nested = x->k->Add();
  }, &ctx);
  EXPECT_EQ(ExtractTo(P("a.zip"), P("out")), 1);
  EXPECT_EQ(nested, -255);
}

}  // namespace
