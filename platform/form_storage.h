#pragma once
// A small text form-description format: a tree of components, each with a name, a class name,
// properties and owned components. A property value is an integer, an identifier, a quoted
// string or a collection of items, each item holding properties of its own:
//
//   object SrcEdit1: TSrcEdit
//     RemovedKeystrokes = <
//       item
//         Command = ecNormalSelect
//         ShortCut = 24654
//       end>
//     AddedKeystrokes = <>
//   end
#include <cstdint>
#include <vector>

#include "platform/ansi.h"
#include "platform/sysutils.h"

// A form description that cannot be read: the message names the line.
VT_DECLARE_EXCEPTION(EParserError, Exception);

struct TFormProperty;

// The special members are defined below TFormProperty: a vector's destructor needs its element
// type complete, which TFormProperty is not yet here.
struct TFormItem {
  TFormItem();
  TFormItem(std::vector<TFormProperty> Props);
  TFormItem(const TFormItem&);
  TFormItem(TFormItem&&) noexcept;
  TFormItem& operator=(const TFormItem&);
  TFormItem& operator=(TFormItem&&) noexcept;
  ~TFormItem();
  std::vector<TFormProperty> Properties;
  // The property of that name (case-insensitive), nil when absent.
  const TFormProperty* Find(const AnsiString& Name) const;
};

struct TFormValue {
  enum TKind { vkInteger, vkIdent, vkString, vkCollection };
  TKind Kind = vkInteger;
  int64_t Int = 0;
  AnsiString Text;               // identifier or string
  std::vector<TFormItem> Items;  // collection

  static TFormValue Integer(int64_t v);
  static TFormValue Ident(const AnsiString& v);
  static TFormValue String(const AnsiString& v);
  static TFormValue Collection(std::vector<TFormItem> items = {});
  bool IsCollection() const { return Kind == vkCollection; }
  bool operator==(const TFormValue& o) const;
};

struct TFormProperty {
  AnsiString Name;
  TFormValue Value;
  bool operator==(const TFormProperty& o) const { return Name == o.Name && Value == o.Value; }
};

inline TFormItem::TFormItem() = default;
inline TFormItem::TFormItem(std::vector<TFormProperty> Props) : Properties(std::move(Props)) {}
inline TFormItem::TFormItem(const TFormItem&) = default;
inline TFormItem::TFormItem(TFormItem&&) noexcept = default;
inline TFormItem& TFormItem::operator=(const TFormItem&) = default;
inline TFormItem& TFormItem::operator=(TFormItem&&) noexcept = default;
inline TFormItem::~TFormItem() = default;

struct TFormComponent {
  AnsiString Name;
  AnsiString ClassName;
  std::vector<TFormProperty> Properties;
  std::vector<TFormComponent> Components;
  const TFormProperty* Find(const AnsiString& Name) const;
};

// Writes one component with its properties and owned components, two blanks per level.
AnsiString WriteFormText(const TFormComponent& Component);
// Reads a component written by WriteFormText (or by hand); EParserError on malformed text.
TFormComponent ReadFormText(const AnsiString& Text);
