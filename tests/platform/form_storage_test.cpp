#include "platform/form_storage.h"

#include <gtest/gtest.h>

namespace {

TFormItem Item(std::vector<TFormProperty> props) { return TFormItem{std::move(props)}; }

}  // namespace

TEST(FormStorage, WriteAndReadBack) {
  TFormComponent form{"Form1", "TForm", {}, {}};
  form.Properties.push_back({"Caption", TFormValue::String("It's")});
  form.Properties.push_back({"Left", TFormValue::Integer(-12)});
  TFormComponent edit{"SrcEdit1", "TSrcEdit", {}, {}};
  edit.Properties.push_back({"Align", TFormValue::Ident("alClient")});
  edit.Properties.push_back(
      {"RemovedKeystrokes",
       TFormValue::Collection({Item({{"Command", TFormValue::Ident("ecNormalSelect")},
                                     {"ShortCut", TFormValue::Integer(24654)}}),
                               Item({{"Command", TFormValue::Integer(1200)}, {"ShortCut", TFormValue::Integer(1)},
                                     {"ShortCut2", TFormValue::Integer(2)}})})});
  edit.Properties.push_back({"AddedKeystrokes", TFormValue::Collection()});
  form.Components.push_back(edit);

  AnsiString text = WriteFormText(form);
  EXPECT_NE(text.find("  object SrcEdit1: TSrcEdit\r\n"), AnsiString::npos);
  EXPECT_NE(text.find("AddedKeystrokes = <>"), AnsiString::npos);
  EXPECT_NE(text.find("Caption = 'It''s'"), AnsiString::npos);

  TFormComponent back = ReadFormText(text);
  EXPECT_EQ(back.Name, "Form1");
  EXPECT_EQ(back.Properties, form.Properties);
  ASSERT_EQ(back.Components.size(), 1u);
  EXPECT_EQ(back.Components[0].ClassName, "TSrcEdit");
  EXPECT_EQ(back.Components[0].Properties, edit.Properties);
  ASSERT_NE(back.Components[0].Find("removedkeystrokes"), nullptr);
  EXPECT_EQ(back.Components[0].Find("RemovedKeystrokes")->Value.Items[1].Find("ShortCut2")->Value.Int, 2);
}

TEST(FormStorage, WhatTheReaderTakesTheWriterWritesBackReadably) {
  // A component without a name ("object TClass") comes back the same through write and read.
  TFormComponent c = ReadFormText("object T\n  object U\n  end\nend\n");
  EXPECT_EQ(c.Name, "");
  EXPECT_EQ(c.ClassName, "T");
  TFormComponent back = ReadFormText(WriteFormText(c));
  EXPECT_EQ(back.Name, "");
  EXPECT_EQ(back.ClassName, "T");
  ASSERT_EQ(back.Components.size(), 1u);
  EXPECT_EQ(back.Components[0].ClassName, "U");
  EXPECT_EQ(WriteFormText(back), WriteFormText(c));
}

TEST(FormStorage, HandWrittenTextWithLfLineBreaks) {
  TFormComponent c = ReadFormText("object E: TSrcEdit\n  Keys = <\n    item\n      Command = ecUndo\n    end>\nend\n");
  ASSERT_EQ(c.Properties.size(), 1u);
  EXPECT_TRUE(c.Properties[0].Value.IsCollection());
  EXPECT_EQ(c.Properties[0].Value.Items[0].Properties[0].Value.Text, "ecUndo");
}

TEST(FormStorage, MalformedTextGivesParserErrorWithLine) {
  const char* bad[] = {
      "",
      "object",
      "object E: TSrcEdit\n",                        // no end
      "object E: TSrcEdit\n  Left = \nend\n",        // no value
      "object E: TSrcEdit\n  Left 5\nend\n",         // no '='
      "object E: TSrcEdit\n  S = 'open\nend\n",      // unterminated string
      "object E: TSrcEdit\n  K = <\n    item\nend\n",  // unterminated collection
      "object E: TSrcEdit\n  K = <\n    Command = 1\n  >\nend\n",  // no item
      "object E: TSrcEdit\n  N = 12ab\nend\n",
      "object E: TSrcEdit\n  N = 99999999999999999999\nend\n",
      "object E: TSrcEdit\n  N = 1 ; \nend\n",
      "object E: TSrcEdit\nend\nrest",
  };
  for (const char* text : bad) EXPECT_THROW(ReadFormText(text), EParserError) << text;
  try {
    ReadFormText("object E: TSrcEdit\n  Left = 1\n  Top = >\nend\n");
    FAIL();
  } catch (const EParserError& e) {
    EXPECT_NE(e.Message().find("line 3"), AnsiString::npos) << e.Message();
  }
}

TEST(FormStorage, DeepNestingIsRejectedNotOverflowed) {
  AnsiString text = "object E: T\n";
  for (int i = 0; i < 10000; ++i) text += "K = <item ";
  EXPECT_THROW(ReadFormText(text), EParserError);
}
