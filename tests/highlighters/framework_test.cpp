#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "highlighters/highlighter.h"
#include "highlighters/html.h"
#include "platform/registry.h"
#include "scan_util.h"

namespace {

// Points the settings folder at a fresh temporary folder for the test.
class TempSettings : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vt-hl-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* old = getenv("VANTRY_TARN_CONFIG_DIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("VANTRY_TARN_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) setenv("VANTRY_TARN_CONFIG_DIR", old_.c_str(), 1);
    else unsetenv("VANTRY_TARN_CONFIG_DIR");
    std::filesystem::remove_all(dir_);
  }
  std::string StoreText() {
    std::ifstream f(dir_ + "/registry.txt");
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  std::string dir_, old_;
  bool hadOld_ = false;
};

// Records the Senders a notify event is called with.
struct Recorder : TObject {
  std::vector<TObject*> senders;
  void Hook(TObject* Sender) { senders.push_back(Sender); }
  TNotifyEvent Event() { return TNotifyEvent(this, &Recorder::Hook); }
};

// A second highlighter class, with one attribute name in common with the HTML one.
class TTestHighlighter : public TSrcCustomHighlighter {
public:
  explicit TTestHighlighter(TComponent* Owner) : TSrcCustomHighlighter(Owner) {
    comment = new TSrcHighlighterAttributes("Comment");
    AddAttribute(comment);
    other = new TSrcHighlighterAttributes("comment2");
    AddAttribute(other);
    comment->SetForeground(clGreen);
    BindAttributeChanges(TNotifyEvent(static_cast<TSrcCustomHighlighter*>(this), &TSrcCustomHighlighter::AttributeChanged));
  }
  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const override { return Index == 4 ? other : nullptr; }
  AnsiString GetSampleSource() const override { return sample; }
  void SetSampleSource(const AnsiString& v) override { sample = v; }
  bool GetEol() const override { return true; }
  AnsiString GetToken() const override { return ""; }
  TSrcHighlighterAttributes* GetTokenAttribute() const override { return nullptr; }
  int GetTokenKind() const override { return 0; }
  int GetTokenPos() const override { return 0; }
  void Next() override {}
  void SetLineText(std::string_view, int) override {}
  // Form reading, as the form loader does it.
  void BeginLoading() { SetComponentState(ComponentState() | csLoading); }
  void EndLoading() { Loaded(); }

  TSrcHighlighterAttributes* comment;
  TSrcHighlighterAttributes* other;
  AnsiString sample = "test sample";
};
const TSrcHighlighterClassInfo TTestHighlighter::ClassInfo = {
    "TTestHighlighter", &TSrcCustomHighlighter::ClassInfo, &TSrcCustomHighlighter::ClassLanguageName,
    &TSrcCustomHighlighter::ClassCapabilities, nullptr};

class TTestDerived : public TTestHighlighter {
public:
  using TTestHighlighter::TTestHighlighter;
  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
};
const TSrcHighlighterClassInfo TTestDerived::ClassInfo = {
    "TTestDerived", &TTestHighlighter::ClassInfo, &TSrcCustomHighlighter::ClassLanguageName,
    &TSrcCustomHighlighter::ClassCapabilities, nullptr};

TEST(HighlighterAttributes, ChangeEventsOnlyForEffectiveChanges) {
  TSrcHighlighterAttributes a("A"), b("B");
  Recorder rec;
  a.OnChange = rec.Event();
  a.SetForeground(clNone);
  a.SetBackground(clNone);
  a.SetStyle({});
  EXPECT_TRUE(rec.senders.empty());
  a.SetForeground(clRed);
  a.SetStyleBits(0x13);  // bold and italic; bit 16 is ignored
  EXPECT_EQ(rec.senders, (std::vector<TObject*>{&a, &a}));
  EXPECT_EQ(a.Style(), TFontStyles({fsBold, fsItalic}));
  rec.senders.clear();
  b.SetForeground(clRed);
  b.SetStyle({fsBold, fsItalic});
  a.AssignColorAndStyle(&b);
  EXPECT_TRUE(rec.senders.empty());
  b.SetBackground(clYellow);
  b.SetStyle({fsUnderline});
  a.Assign(&b);  // two differences, one event; the name comes along
  EXPECT_EQ(rec.senders.size(), 1u);
  EXPECT_EQ(a.Name(), "B");
  EXPECT_EQ(a.Background(), clYellow);
  EXPECT_EQ(a.Style(), TFontStyles({fsUnderline}));
  TStringList notAttributes;
  EXPECT_THROW(a.Assign(&notAttributes), EConvertError);
}

TEST(HighlighterAttributes, DefaultsAreTheLookAtTheEndOfConstruction) {
  TSrcHTMLSrc h(nullptr);
  TSrcHighlighterAttributes* c = h.CommentAttri();
  c->SetForeground(clGray);
  c->SetStyle({fsItalic});
  EXPECT_TRUE(c->IsForegroundStored());
  EXPECT_TRUE(c->IsStyleStored());
  EXPECT_FALSE(c->IsBackgroundStored());
  EXPECT_EQ(c->ForegroundDefault(), clNone);
  EXPECT_EQ(h.KeyAttri()->ForegroundDefault(), 0x00FF0080);
  EXPECT_EQ(h.KeyAttri()->StyleDefault(), TFontStyles({fsBold}));
}

TEST(Highlighter, ChangeHooksAndEnabled) {
  TSrcHTMLSrc h(nullptr);
  Recorder first, second;
  h.AddChangeHook(first.Event());
  h.AddChangeHook(second.Event());
  h.AddChangeHook(first.Event());
  h.ValueAttri()->SetForeground(clBlack);
  EXPECT_EQ(first.senders, (std::vector<TObject*>{h.ValueAttri(), h.ValueAttri()}));
  EXPECT_EQ(second.senders, (std::vector<TObject*>{h.ValueAttri()}));
  h.RemoveChangeHook(first.Event());  // every copy
  first.senders.clear();
  second.senders.clear();
  h.SetEnabled(true);
  EXPECT_TRUE(second.senders.empty());
  h.SetEnabled(false);
  EXPECT_EQ(second.senders, (std::vector<TObject*>{nullptr}));
  EXPECT_TRUE(first.senders.empty());
  EXPECT_FALSE(h.Enabled());
}

TEST(Highlighter, NothingIsReportedWhileLoadingThenOnce) {
  TTestHighlighter h(nullptr);
  Recorder rec;
  h.AddChangeHook(rec.Event());
  h.BeginLoading();
  h.comment->SetForeground(clGray);
  h.SetEnabled(false);
  EXPECT_TRUE(rec.senders.empty());
  h.EndLoading();
  EXPECT_EQ(rec.senders, (std::vector<TObject*>{nullptr}));
}

TEST(Highlighter, AttributeListAndWordCharacters) {
  TTestHighlighter h(nullptr);
  EXPECT_EQ(h.GetAttribCount(), 2);
  EXPECT_EQ(h.GetAttribute(0), h.comment);
  EXPECT_EQ(h.GetAttribute(-1), nullptr);
  EXPECT_EQ(h.GetAttribute(2), nullptr);
  try {
    h.AddAttribute(new TSrcHighlighterAttributes("comment"));  // names compare without case
    FAIL() << "a duplicate name was accepted";
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "String list does not allow duplicates");
  }
  EXPECT_EQ(h.GetAttribCount(), 2);
  TSysCharSet brk;
  brk.AddChars("!\"'()*+,-./:;=?[\\]^{|}");
  EXPECT_EQ(h.WordBreakChars, brk);
  EXPECT_EQ(brk.Size(), 22u);
  EXPECT_EQ(h.GetIdentChars(), TSysCharSet::Range(33, 255));
  EXPECT_EQ(h.GetLanguageName(), "<Unknown>");
  EXPECT_EQ(h.GetDefaultFilter(), "");
  EXPECT_TRUE(h.IsFilterStored());
  EXPECT_FALSE(h.IsKeyword("p"));
  EXPECT_EQ(h.GetRange(), nullptr);
  TStringList settings;
  settings.Add("x");
  h.EnumUserSettings(&settings);
  EXPECT_EQ(settings.Count(), 0);
}

TEST(Highlighter, AssignBetweenClasses) {
  TSrcHTMLSrc html(nullptr);
  TTestHighlighter test(nullptr);
  html.CommentAttri()->SetForeground(clGray);
  html.CommentAttri()->SetStyle({fsItalic});
  html.WordBreakChars = TSysCharSet{'#'};
  html.SetDefaultFilter("F");
  html.SetEnabled(false);
  Recorder rec;
  test.AddChangeHook(rec.Event());
  test.Assign(&html);
  EXPECT_EQ(test.comment->Foreground(), clGray);
  EXPECT_EQ(test.comment->Style(), TFontStyles({fsItalic}));
  EXPECT_EQ(test.other->Foreground(), clNone);  // no namesake: "comment2" is not "Comment"
  EXPECT_EQ(test.sample, "test sample");         // another class's sample is not taken
  EXPECT_EQ(test.WordBreakChars, TSysCharSet{'#'});
  EXPECT_EQ(test.GetDefaultFilter(), "F");
  EXPECT_FALSE(test.Enabled());
  EXPECT_EQ(rec.senders, (std::vector<TObject*>{test.comment, nullptr}));

  TTestDerived derived(nullptr);
  derived.sample = "derived";
  test.Assign(&derived);
  EXPECT_EQ(test.sample, "derived");
  derived.sample = "again";
  TTestHighlighter base(nullptr);
  derived.Assign(&base);  // a base-class source is not of the derived class
  EXPECT_EQ(derived.sample, "again");
  EXPECT_THROW(test.Assign(nullptr), EConvertError);
}

TEST(Highlighter, ScannerHelpers) {
  TSrcHTMLSrc h(nullptr);
  AnsiString line = "<a>b";
  h.ResetRange();
  h.SetLine(line, 0);
  h.SkipToLineEnd();
  EXPECT_TRUE(h.GetEol());
  EXPECT_EQ(h.GetTokenPos(), 4);
}

// A component that references a highlighter and unhooks itself when the highlighter goes.
class TUser : public TComponent {
public:
  explicit TUser(TSrcCustomHighlighter* h) : TComponent(nullptr), hl(h) {
    hl->FreeNotification(this);
    hl->AddChangeHook(TNotifyEvent(this, &TUser::Changed));
  }
  void Changed(TObject*) { ++changes; }
  void Notification(TComponent* c, TOperation op) override {
    if (c == hl && op == opRemove) {
      hl->RemoveChangeHook(TNotifyEvent(this, &TUser::Changed));
      hl = nullptr;
    }
  }
  TSrcCustomHighlighter* hl;
  int changes = 0;
};

TEST(Highlighter, OwnedAndReferencedHighlighterGoesAway) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* h = new TSrcHTMLSrc(owner.get());
  TUser user(h);
  h->TextAttri()->SetStyle({fsBold});
  EXPECT_EQ(user.changes, 1);
  owner.reset();
  EXPECT_EQ(user.hl, nullptr);
}

TEST(HighlighterClasses, HtmlIsRegisteredAtStartUp) {
  TSrcHighlighterList& list = HighlighterClassList();
  int index = list.IndexOf(&TSrcHTMLSrc::ClassInfo);
  ASSERT_GE(index, 0);
  int count = list.Count();
  RegisterHighlighterClass(&TSrcHTMLSrc::ClassInfo);
  EXPECT_EQ(list.Count(), count);
  TSrcCustomHighlighterClass cls = list.Items(index);
  EXPECT_EQ(cls->GetLanguageName(), "HTML");
  EXPECT_TRUE(cls->InheritsFrom(&TSrcCustomHighlighter::ClassInfo));
  EXPECT_TRUE(cls->GetCapabilities().Contains(hcRegistryStorage));
  std::unique_ptr<TSrcCustomHighlighter> made(cls->Create(nullptr));
  EXPECT_EQ(made->ClassType(), cls);
  EXPECT_EQ(made->GetAttribCount(), 9);
  EXPECT_THROW(list.Items(count), EListError);
}

using HighlighterRegistry = TempSettings;

TEST_F(HighlighterRegistry, SaveChangeLoadRoundTrip) {
  TSrcHTMLSrc h(nullptr);
  h.CommentAttri()->SetForeground(clGray);
  h.CommentAttri()->SetStyle({fsItalic});
  h.TextAttri()->SetBackground(clWindow);
  ASSERT_TRUE(h.SaveToRegistry(HKEY_CURRENT_USER, "Software\\Vantry Tarn\\HTML"));
  std::string text = StoreText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Vantry Tarn\\HTML\\Comment]\n\"Background\"=dword:1FFFFFFF\n"
                      "\"Foreground\"=dword:00808080\n\"Style\"=dword:00000002\n"),
            std::string::npos)
      << text;

  TSrcHTMLSrc other(nullptr);
  Recorder rec;
  other.AddChangeHook(rec.Event());
  ASSERT_TRUE(other.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Vantry Tarn\\HTML"));
  for (int i = 0; i < h.GetAttribCount(); ++i) {
    EXPECT_EQ(other.GetAttribute(i)->Foreground(), h.GetAttribute(i)->Foreground());
    EXPECT_EQ(other.GetAttribute(i)->Background(), h.GetAttribute(i)->Background());
    EXPECT_EQ(other.GetAttribute(i)->Style(), h.GetAttribute(i)->Style());
  }
  EXPECT_EQ(rec.senders.size(), 3u);  // only the values that differed

  h.CommentAttri()->SetForeground(clRed);
  h.KeyAttri()->SetStyle({});
  ASSERT_TRUE(h.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Vantry Tarn\\HTML"));
  EXPECT_EQ(h.CommentAttri()->Foreground(), clGray);
  EXPECT_EQ(h.KeyAttri()->Style(), TFontStyles({fsBold}));
  // Another root holds nothing.
  EXPECT_FALSE(h.LoadFromRegistry(HKEY_LOCAL_MACHINE, "Software\\Vantry Tarn\\HTML"));
}

TEST_F(HighlighterRegistry, MissingPartsAndStyleBits) {
  TSrcHTMLSrc h(nullptr);
  EXPECT_FALSE(h.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\None"));
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Part\\Comment", true));
    reg.WriteInteger("Style", 15);
    reg.WriteInteger("Foreground", clBlue);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Part\\Value", true));
    reg.WriteInteger("Style", 16);
  }
  h.ValueAttri()->SetStyle({fsBold});
  EXPECT_FALSE(h.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Part"));
  EXPECT_EQ(h.CommentAttri()->Style(), TFontStyles({fsBold, fsItalic, fsUnderline, fsStrikeOut}));
  EXPECT_EQ(h.CommentAttri()->Foreground(), clBlue);
  EXPECT_EQ(h.CommentAttri()->Background(), clNone);  // value missing: unchanged
  EXPECT_TRUE(h.ValueAttri()->Style().Empty());
  EXPECT_EQ(h.KeyAttri()->Foreground(), 0x00FF0080);  // sub-key missing: unchanged

  // A value of the wrong type is an error of the registry object, passed on.
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Part\\Comment", true));
    reg.WriteString("Foreground", "red");
  }
  EXPECT_THROW(h.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Part"), ERegistryException);
}

TEST_F(HighlighterRegistry, AttributeStorageKeepsTheOpenKey) {
  TSrcHighlighterAttributes a("Name");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Keep", true));
  EXPECT_TRUE(a.SaveToRegistry(reg));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Keep");
  EXPECT_TRUE(a.LoadFromRegistry(reg));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Keep");
  ASSERT_TRUE(reg.OpenKey("\\Software\\Empty", true));
  EXPECT_FALSE(a.LoadFromRegistry(reg));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Empty");
}

TEST_F(HighlighterRegistry, LegacyCommaFormat) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Old", true));
    reg.WriteString("Comment", "0,0,BU,1,1,99,xx");
    reg.WriteString("Plain", "a,b,I,0,0,12,9");
    reg.WriteString("Short", "a,b,i");
    reg.WriteString("Half", "a,b,B,0,0,zz,3");
    reg.WriteInteger("Number", 5);
  }
  TSrcHighlighterAttributes a("A");
  EXPECT_TRUE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Comment", true));
  EXPECT_EQ(a.Background(), clWindow);
  EXPECT_EQ(a.Foreground(), clWindowText);
  EXPECT_EQ(a.Style(), TFontStyles({fsBold, fsUnderline}));
  EXPECT_TRUE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Plain", true));
  EXPECT_EQ(a.Background(), clRed);
  EXPECT_EQ(a.Foreground(), clBlue);
  EXPECT_EQ(a.Style(), TFontStyles({fsItalic}));
  // Missing fields are empty, not numbers: the reader fails and says so.
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Short", true));
  // What was set before the error stays set.
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Half", true));
  EXPECT_EQ(a.Background(), clOlive);
  EXPECT_EQ(a.Foreground(), clBlue);
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Missing", true));
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Old", "Number", true));
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\Nowhere", "Comment", true));
}

TEST_F(HighlighterRegistry, LegacyValuesFormat) {
  auto write = [](const char* key, std::initializer_list<std::pair<const char*, const char*>> strings) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    for (auto& [n, v] : strings) reg.WriteString(n, v);
  };
  write("\\Software\\New\\Comment", {{"Background Color New", "clYellow"}, {"Bold", "no"}, {"Italic", "False"},
                                     {"Underline", ""}, {"Default Foreground", "0"}, {"Default Background", "FALSE"}});
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\New\\Comment", true));
    reg.WriteInteger("Foreground Color", 4);
  }
  TSrcHighlighterAttributes a("A");
  EXPECT_TRUE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "Comment", false));
  EXPECT_EQ(a.Foreground(), clNavy);
  EXPECT_EQ(a.Background(), clYellow);
  EXPECT_EQ(a.Style(), TFontStyles({fsBold, fsUnderline}));

  write("\\Software\\New\\Defaults", {{"Foreground Color New", "$00FF00"}, {"Background Color New", "255"},
                                      {"Bold", "0"}, {"Italic", "1"}, {"Underline", "FaLsE"},
                                      {"Default Foreground", "TRUE"}, {"Default Background", "1"}});
  EXPECT_TRUE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "Defaults", false));
  EXPECT_EQ(a.Foreground(), clWindowText);
  EXPECT_EQ(a.Background(), clWindow);
  EXPECT_EQ(a.Style(), TFontStyles({fsItalic}));

  write("\\Software\\New\\Colours", {{"Foreground Color New", "$00FF00"}, {"Background Color New", "255"},
                                     {"Bold", "0"}, {"Italic", "0"}, {"Underline", "0"},
                                     {"Default Foreground", "0"}, {"Default Background", "0"}});
  EXPECT_TRUE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "Colours", false));
  EXPECT_EQ(a.Foreground(), clLime);
  EXPECT_EQ(a.Background(), clRed);
  EXPECT_TRUE(a.Style().Empty());

  // A flag missing, or a colour that is not one: false, nothing applied.
  write("\\Software\\New\\NoFlag", {{"Foreground Color New", "clRed"}, {"Background Color New", "clRed"},
                                    {"Bold", "1"}, {"Italic", "1"}, {"Underline", "1"}, {"Default Foreground", "0"}});
  write("\\Software\\New\\BadColour", {{"Foreground Color New", "reddish"}, {"Background Color New", "clRed"},
                                       {"Bold", "1"}, {"Italic", "1"}, {"Underline", "1"},
                                       {"Default Foreground", "0"}, {"Default Background", "0"}});
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "NoFlag", false));
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "BadColour", false));
  EXPECT_FALSE(a.LoadFromLegacyRegistry(HKEY_CURRENT_USER, "Software\\New", "Missing", false));
  EXPECT_EQ(a.Foreground(), clLime);
  EXPECT_TRUE(a.Style().Empty());
}

}  // namespace
