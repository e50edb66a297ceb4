#include "editor/core/keystrokes.h"

#include <gtest/gtest.h>

namespace {

const TShiftState kNone, kShift{ssShift}, kCtrl{ssCtrl}, kAlt{ssAlt}, kCtrlShift{ssCtrl, ssShift},
    kShiftAlt{ssShift, ssAlt};

TSrcEditorCommand Lookup(const TSrcEditKeyStrokes& k, Word key, TShiftState shift) {
  int i = k.FindKeycode(key, shift);
  return i < 0 ? ecNone : k.Items(i)->Command();
}

struct DefaultsFixture : ::testing::Test {
  TSrcEditKeyStrokes keys{nullptr};
  void SetUp() override { keys.ResetDefaults(); }
};

}  // namespace

TEST_F(DefaultsFixture, TableRowByRow) {
  // "command key-text" per row, the order being part of the contract.
  const char* rows[] = {
      "ecUp - Up", "ecSelUp - Shift+Up", "ecScrollUp - Ctrl+Up", "ecDown - Down", "ecSelDown - Shift+Down",
      "ecScrollDown - Ctrl+Down", "ecLeft - Left", "ecSelLeft - Shift+Left", "ecWordLeft - Ctrl+Left",
      "ecSelWordLeft - Shift+Ctrl+Left", "ecRight - Right", "ecSelRight - Shift+Right", "ecWordRight - Ctrl+Right",
      "ecSelWordRight - Shift+Ctrl+Right", "ecPageDown - PgDn", "ecSelPageDown - Shift+PgDn",
      "ecPageBottom - Ctrl+PgDn", "ecSelPageBottom - Shift+Ctrl+PgDn", "ecPageUp - PgUp",
      "ecSelPageUp - Shift+PgUp", "ecPageTop - Ctrl+PgUp", "ecSelPageTop - Shift+Ctrl+PgUp", "ecLineStart - Home",
      "ecSelLineStart - Shift+Home", "ecEditorTop - Ctrl+Home", "ecSelEditorTop - Shift+Ctrl+Home",
      "ecLineEnd - End", "ecSelLineEnd - Shift+End", "ecEditorBottom - Ctrl+End",
      "ecSelEditorBottom - Shift+Ctrl+End", "ecToggleMode - Ins", "ecCopy - Ctrl+Ins", "ecCut - Shift+Del",
      "ecPaste - Shift+Ins", "ecDeleteChar - Del", "ecDeleteLastChar - BkSp", "ecDeleteLastChar - Shift+BkSp",
      "ecDeleteLastWord - Ctrl+BkSp", "ecUndo - Alt+BkSp", "ecRedo - Shift+Alt+BkSp", "ecLineBreak - Enter",
      "ecLineBreak - Shift+Enter", "ecTab - Tab", "ecShiftTab - Shift+Tab", "ecContextHelp - F1",
      "ecSelectAll - Ctrl+A", "ecCopy - Ctrl+C", "ecPaste - Ctrl+V", "ecCut - Ctrl+X",
      "ecBlockIndent - Shift+Ctrl+I", "ecBlockUnindent - Shift+Ctrl+U", "ecLineBreak - Ctrl+M",
      "ecInsertLine - Ctrl+N", "ecDeleteWord - Ctrl+T", "ecDeleteLine - Ctrl+Y", "ecDeleteEOL - Shift+Ctrl+Y",
      "ecUndo - Ctrl+Z", "ecRedo - Shift+Ctrl+Z", "ecGotoMarker0 - Ctrl+0", "ecGotoMarker1 - Ctrl+1",
      "ecGotoMarker2 - Ctrl+2", "ecGotoMarker3 - Ctrl+3", "ecGotoMarker4 - Ctrl+4", "ecGotoMarker5 - Ctrl+5",
      "ecGotoMarker6 - Ctrl+6", "ecGotoMarker7 - Ctrl+7", "ecGotoMarker8 - Ctrl+8", "ecGotoMarker9 - Ctrl+9",
      "ecSetMarker0 - Shift+Ctrl+0", "ecSetMarker1 - Shift+Ctrl+1", "ecSetMarker2 - Shift+Ctrl+2",
      "ecSetMarker3 - Shift+Ctrl+3", "ecSetMarker4 - Shift+Ctrl+4", "ecSetMarker5 - Shift+Ctrl+5",
      "ecSetMarker6 - Shift+Ctrl+6", "ecSetMarker7 - Shift+Ctrl+7", "ecSetMarker8 - Shift+Ctrl+8",
      "ecSetMarker9 - Shift+Ctrl+9", "ecNormalSelect - Shift+Ctrl+N", "ecColumnSelect - Shift+Ctrl+C",
      "ecLineSelect - Shift+Ctrl+L", "ecMatchBracket - Shift+Ctrl+B",
  };
  ASSERT_EQ(keys.Count(), 82);
  for (int i = 0; i < 82; ++i) {
    EXPECT_EQ(keys.Items(i)->DisplayName(), rows[i]) << "row " << i + 1;
    EXPECT_EQ(keys.Items(i)->Key2(), 0);
  }
  // Every default pair is unique.
  for (int i = 0; i < 82; ++i)
    EXPECT_EQ(keys.FindShortcut2(keys.Items(i)->ShortCut(), 0), i);
}

TEST_F(DefaultsFixture, LookupsOfTheDefaults) {
  EXPECT_EQ(Lookup(keys, 'Z', kCtrl), ecUndo);
  EXPECT_EQ(Lookup(keys, 'Z', kCtrlShift), ecRedo);
  EXPECT_EQ(Lookup(keys, VK_BACK, kAlt), ecUndo);
  EXPECT_EQ(Lookup(keys, VK_BACK, kShiftAlt), ecRedo);
  EXPECT_EQ(Lookup(keys, VK_RETURN, kNone), ecLineBreak);
  EXPECT_EQ(Lookup(keys, VK_RETURN, kShift), ecLineBreak);
  EXPECT_EQ(Lookup(keys, 'Q', kCtrl), ecNone);
  EXPECT_EQ(keys.FindKeycode2('K', kCtrl, 'B', kNone), -1);
}

TEST_F(DefaultsFixture, DuplicateShortcutIsRefusedAndKeysKept) {
  TSrcEditKeyStroke* second = keys.Items(1);  // Shift+Up
  TShortCut before = second->ShortCut();
  try {
    second->SetShortCut(ShortCut('C', kCtrl));
    FAIL();
  } catch (const ESrcKeyError& e) {
    EXPECT_EQ(e.Message(), "Shortcut already exists");
  }
  EXPECT_EQ(second->ShortCut(), before);

  // The item that has it may set it again; a different pair is accepted.
  int copy = keys.FindKeycode('C', kCtrl);
  EXPECT_NO_THROW(keys.Items(copy)->SetShortCut(ShortCut('C', kCtrl)));
  EXPECT_NO_THROW(second->SetShortCut2(ShortCut('Q', kNone)));
  EXPECT_EQ(second->Key2(), 'Q');
  // Ctrl+C then Q is free, but not a second time on another item.
  TSrcEditKeyStroke* k = keys.AddKey(ecUserFirst, 'C', kCtrl);  // AddKey does not check
  EXPECT_NO_THROW(k->SetShortCut2(ShortCut('Q', kNone)));
  TSrcEditKeyStroke* k2 = keys.AddKey(ecUserFirst + 1, 'W', kCtrl);
  k2->SetKey2('Q');
  EXPECT_THROW(k2->SetShortCut(ShortCut('C', kCtrl)), ESrcKeyError);
  EXPECT_EQ(k2->Key(), 'W');
  // Clearing a shortcut is never a duplicate.
  EXPECT_NO_THROW(k2->SetShortCut(0));
  EXPECT_EQ(k->DisplayName(), "ecUserFirst - Ctrl+C Q");
  EXPECT_EQ(k2->DisplayName(), "1002 -  Q");
}

TEST_F(DefaultsFixture, AssignCopiesInOrder) {
  TSrcEditKeyStrokes copy(nullptr);
  copy.AddKey(ecUndo, 'U', kAlt);
  copy.Assign(&keys);
  EXPECT_TRUE(KeystrokesEqual(copy, keys));
  EXPECT_EQ(copy.Count(), 82);
  copy.Assign(&copy);  // self-assignment keeps the items
  EXPECT_EQ(copy.Count(), 82);

  TSrcEditKeyStroke* single = copy.Add();
  single->Assign(keys.Items(45));
  EXPECT_EQ(single->Command(), ecSelectAll);
  EXPECT_EQ(single->ShortCut(), ShortCut('A', kCtrl));
  EXPECT_THROW(single->Assign(&copy), EConvertError);
}

TEST(KeyTranslation, TwoKeySequences) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  TSrcEditKeyStroke* k = keys.AddKey(ecUserFirst, 'K', kCtrl);
  k->SetKey2('B');
  TSrcKeyTranslationState st;

  // Ctrl+K alone has no command and is remembered; B then completes the sequence.
  EXPECT_EQ(TranslateKeyCode(keys, st, 'K', kCtrl), ecNone);
  EXPECT_EQ(st.LastKey, 'K');
  EXPECT_EQ(TranslateKeyCode(keys, st, 'B', kNone), ecUserFirst);
  EXPECT_EQ(st.LastKey, 0);
  // B on its own is nothing (and is remembered itself).
  EXPECT_EQ(TranslateKeyCode(keys, st, 'B', kNone), ecNone);

  // F1 has a binding, so it is not remembered and F1, B do not combine.
  k->SetKey(VK_F1);
  k->SetShift(kNone);
  EXPECT_EQ(TranslateKeyCode(keys, st, VK_F1, kNone), ecContextHelp);
  EXPECT_EQ(st.LastKey, 0);
  EXPECT_EQ(TranslateKeyCode(keys, st, 'B', kNone), ecNone);

  // A code below 30 (Shift itself) is never remembered, and it forgets an earlier key.
  k->SetKey('K');
  k->SetShift(kCtrl);
  EXPECT_EQ(TranslateKeyCode(keys, st, 'K', kCtrl), ecNone);
  EXPECT_EQ(TranslateKeyCode(keys, st, VK_SHIFT, kShift), ecNone);
  EXPECT_EQ(st.LastKey, 0);
  EXPECT_EQ(TranslateKeyCode(keys, st, 'B', kNone), ecNone);
  // Codes above 145 are not remembered either.
  EXPECT_EQ(TranslateKeyCode(keys, st, VK_OEM_1, kNone), ecNone);
  EXPECT_EQ(st.LastKey, 0);
  EXPECT_EQ(TranslateKeyCode(keys, st, VK_SCROLL, kNone), ecNone);
  EXPECT_EQ(st.LastKey, VK_SCROLL);
}

// ---- Form storage ----

namespace {

AnsiString StoreEditor(const TSrcEditKeyStrokes& keys) {
  TFormComponent c{"SrcEdit1", "TSrcEdit", {}, {}};
  WriteKeystrokeProperties(keys, nullptr, c.Properties);
  return WriteFormText(c);
}

void LoadEditor(const AnsiString& text, TSrcEditKeyStrokes& keys) {
  TFormComponent c = ReadFormText(text);
  for (const auto& p : c.Properties) ReadKeystrokeProperty(p, keys);
}

const char* kMainWindowEditor =
    "object SrcEdit1: TSrcEdit\r\n"
    "  RemovedKeystrokes = <\r\n"
    "    item\r\n      Command = ecNormalSelect\r\n      ShortCut = 24654\r\n    end\r\n"
    "    item\r\n      Command = ecColumnSelect\r\n      ShortCut = 24643\r\n    end\r\n"
    "    item\r\n      Command = ecLineSelect\r\n      ShortCut = 24652\r\n    end>\r\n"
    "  AddedKeystrokes = <>\r\n"
    "end\r\n";

}  // namespace

TEST(KeystrokeStorage, DefaultsStoreNothing) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  EXPECT_EQ(StoreEditor(keys), "object SrcEdit1: TSrcEdit\r\nend\r\n");
}

TEST(KeystrokeStorage, ThreeSelectionModesRemovedRoundTrip) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  LoadEditor(kMainWindowEditor, keys);
  EXPECT_EQ(keys.Count(), 79);
  EXPECT_EQ(keys.FindKeycode('N', kCtrlShift), -1);
  EXPECT_EQ(keys.FindKeycode('C', kCtrlShift), -1);
  EXPECT_EQ(keys.FindKeycode('L', kCtrlShift), -1);
  EXPECT_EQ(Lookup(keys, 'B', kCtrlShift), ecMatchBracket);
  EXPECT_EQ(StoreEditor(keys), kMainWindowEditor);
}

TEST(KeystrokeStorage, RemovedFirstThenAdded) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  // Rebind Ctrl+Z and add a two-key binding, given as numbers and as shortcut text.
  keys.Items(keys.FindKeycode('Z', kCtrl))->SetCommand(ecRedo);
  TSrcEditKeyStroke* two = keys.AddKey(ecUserFirst + 5, 'K', kCtrl);
  two->SetShortCut2(ShortCut('B', kNone));
  AnsiString text = StoreEditor(keys);
  EXPECT_LT(text.find("RemovedKeystrokes"), text.find("AddedKeystrokes"));
  EXPECT_NE(text.find("Command = 1006"), AnsiString::npos);
  EXPECT_NE(text.find("ShortCut2 = 66"), AnsiString::npos);

  TSrcEditKeyStrokes loaded(nullptr);
  loaded.ResetDefaults();
  LoadEditor(text, loaded);
  EXPECT_EQ(loaded.Count(), 83);
  EXPECT_EQ(Lookup(loaded, 'Z', kCtrl), ecRedo);
  int i = loaded.FindKeycode2('K', kCtrl, 'B', kNone);
  ASSERT_GE(i, 0);
  EXPECT_EQ(loaded.Items(i)->Command(), ecUserFirst + 5);
  EXPECT_EQ(StoreEditor(loaded), text);

  // Against an equal ancestor nothing is stored. The comparison is by order: the same bindings
  // in another order are stored, as two empty lists.
  TSrcEditKeyStrokes ancestor(nullptr);
  ancestor.Assign(&loaded);
  TFormComponent c;
  WriteKeystrokeProperties(loaded, &ancestor, c.Properties);
  EXPECT_TRUE(c.Properties.empty());
  WriteKeystrokeProperties(loaded, &keys, c.Properties);
  ASSERT_EQ(c.Properties.size(), 2u);
  EXPECT_TRUE(c.Properties[0].Value.Items.empty());
  EXPECT_TRUE(c.Properties[1].Value.Items.empty());
}

TEST(KeystrokeStorage, RemovedOnlyWhenCommandMatches) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  LoadEditor("object E: TSrcEdit\n  RemovedKeystrokes = <\n    item\n      Command = ecRedo\n"
             "      ShortCut = 'Ctrl+Z'\n    end>\nend\n",
             keys);
  EXPECT_EQ(keys.Count(), 82);
  EXPECT_EQ(Lookup(keys, 'Z', kCtrl), ecUndo);
}

TEST(KeystrokeStorage, BadInput) {
  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  auto load = [&](const char* items) {
    LoadEditor(AnsiString("object E: TSrcEdit\n  AddedKeystrokes = <\n    item\n") + items + "    end>\nend\n", keys);
  };
  EXPECT_THROW(load("      Command = ecNoSuchCommand\n      ShortCut = 16474\n"), EReadError);
  EXPECT_THROW(load("      Command = ecUndo\n      ShortCut = 'Ctrl+Q+'\n"), EReadError);
  EXPECT_THROW(load("      Command = ecUndo\n      ShortCut = 70000\n"), EReadError);
  EXPECT_THROW(load("      Command = ecUndo\n      ShortCut = ecUndo\n"), EReadError);
  EXPECT_THROW(load("      Command = -1\n"), EReadError);
  EXPECT_THROW(load("      Commando = ecUndo\n"), EReadError);
  // A failed read leaves the bindings untouched.
  EXPECT_EQ(keys.Count(), 82);
  try {
    load("      Command = ecFoo\n");
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Invalid property value: Command = ecFoo");
  }

  // A stored property that is not a collection is ignored; other properties are not ours.
  LoadEditor("object E: TSrcEdit\n  RemovedKeystrokes = 5\n  AddedKeystrokes = 'x'\nend\n", keys);
  EXPECT_EQ(keys.Count(), 82);
  TFormProperty other{"Left", TFormValue::Integer(3)};
  EXPECT_FALSE(ReadKeystrokeProperty(other, keys));
}
