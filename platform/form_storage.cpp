#include "platform/form_storage.h"

#include <cctype>

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

void Indent(AnsiString& out, int level) { out.append(static_cast<size_t>(level) * 2, ' '); }

void WriteValue(AnsiString& out, const TFormValue& v, int level);

void WriteProperty(AnsiString& out, const TFormProperty& p, int level) {
  Indent(out, level);
  out += p.Name + " = ";
  WriteValue(out, p.Value, level);
  out += "\r\n";
}

void WriteValue(AnsiString& out, const TFormValue& v, int level) {
  switch (v.Kind) {
    case TFormValue::vkInteger: out += IntToStr(v.Int); break;
    case TFormValue::vkIdent: out += v.Text; break;
    case TFormValue::vkString:
      out += '\'';
      for (char c : v.Text) {
        if (c == '\'') out += '\'';
        out += c;
      }
      out += '\'';
      break;
    case TFormValue::vkCollection:
      out += '<';
      for (const auto& item : v.Items) {
        out += "\r\n";
        Indent(out, level + 1);
        out += "item\r\n";
        for (const auto& p : item.Properties) WriteProperty(out, p, level + 2);
        Indent(out, level + 1);
        out += "end";
      }
      out += '>';
      break;
  }
}

void WriteComponent(AnsiString& out, const TFormComponent& c, int level) {
  Indent(out, level);
  // A component without a name is written as its class alone, the form the reader takes for it.
  out += c.Name.empty() ? "object " + c.ClassName + "\r\n" : "object " + c.Name + ": " + c.ClassName + "\r\n";
  for (const auto& p : c.Properties) WriteProperty(out, p, level + 1);
  for (const auto& child : c.Components) WriteComponent(out, child, level + 1);
  Indent(out, level);
  out += "end\r\n";
}

// Tokens: identifiers, integers, strings and the symbols = : < >.
class Parser {
public:
  explicit Parser(const AnsiString& text) : s_(text) { Next(); }

  TFormComponent Component() {
    ExpectWord("object");
    TFormComponent c;
    c.Name = Ident();
    if (tok_ == tkSymbol && text_ == ":") {
      Next();
      c.ClassName = Ident();
    } else {
      // "object TClass" without a name.
      c.ClassName = c.Name;
      c.Name.clear();
    }
    while (!IsWord("end")) {
      if (tok_ == tkEof) Error("'end' expected");
      if (IsWord("object")) {
        if (++depth_ > kMaxDepth) Error("components nested too deeply");
        c.Components.push_back(Component());
        --depth_;
      } else {
        c.Properties.push_back(Property());
      }
    }
    Next();
    return c;
  }

  void ExpectEof() {
    if (tok_ != tkEof) Error("end of text expected");
  }

private:
  enum Tok { tkEof, tkIdent, tkInteger, tkString, tkSymbol };
  static constexpr int kMaxDepth = 64;

  TFormProperty Property() {
    TFormProperty p;
    p.Name = Ident();
    ExpectSymbol("=");
    p.Value = Value();
    return p;
  }

  TFormValue Value() {
    switch (tok_) {
      case tkInteger: {
        TFormValue v = TFormValue::Integer(int_);
        Next();
        return v;
      }
      case tkString: {
        TFormValue v = TFormValue::String(text_);
        Next();
        return v;
      }
      case tkIdent: {
        TFormValue v = TFormValue::Ident(text_);
        Next();
        return v;
      }
      case tkSymbol:
        if (text_ == "<") return Collection();
        [[fallthrough]];
      default: Error("property value expected");
    }
  }

  TFormValue Collection() {
    if (++depth_ > kMaxDepth) Error("collections nested too deeply");
    Next();  // '<'
    TFormValue v = TFormValue::Collection();
    while (!(tok_ == tkSymbol && text_ == ">")) {
      ExpectWord("item");
      TFormItem item;
      while (!IsWord("end")) {
        if (tok_ == tkEof) Error("'end' expected");
        item.Properties.push_back(Property());
      }
      Next();
      v.Items.push_back(std::move(item));
    }
    Next();  // '>'
    --depth_;
    return v;
  }

  AnsiString Ident() {
    if (tok_ != tkIdent) Error("identifier expected");
    AnsiString r = text_;
    Next();
    return r;
  }
  bool IsWord(const char* w) const { return tok_ == tkIdent && AnsiCompareText(text_, w) == 0; }
  void ExpectWord(const char* w) {
    if (!IsWord(w)) Error(Format("'%s' expected", {w}));
    Next();
  }
  void ExpectSymbol(const char* sym) {
    if (!(tok_ == tkSymbol && text_ == sym)) Error(Format("'%s' expected", {sym}));
    Next();
  }

  [[noreturn]] void Error(const AnsiString& what) const {
    throw EParserError(Format("%s on line %d", {what, tokLine_}));
  }

  void Next() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
      if (s_[pos_] == '\n') ++line_;
      ++pos_;
    }
    tokLine_ = line_;
    text_.clear();
    if (pos_ >= s_.size()) {
      tok_ = tkEof;
      return;
    }
    char c = s_[pos_];
    if (IsIdentStart(c)) {
      size_t b = pos_;
      while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
      text_ = s_.substr(b, pos_ - b);
      tok_ = tkIdent;
    } else if (std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+') && pos_ + 1 < s_.size() &&
                                                               std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
      size_t b = pos_++;
      while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      if (pos_ < s_.size() && IsIdentChar(s_[pos_])) Error("invalid number");
      text_ = s_.substr(b, pos_ - b);
      if (text_.size() > 12) Error("number out of range");
      int_ = std::stoll(text_);
      tok_ = tkInteger;
    } else if (c == '\'') {
      ++pos_;
      for (;;) {
        if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Error("unterminated string");
        if (s_[pos_] == '\'') {
          if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
            text_ += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        text_ += s_[pos_++];
      }
      tok_ = tkString;
    } else if (c == '=' || c == ':' || c == '<' || c == '>') {
      text_ = AnsiString(1, c);
      ++pos_;
      tok_ = tkSymbol;
    } else {
      Error(Format("invalid character '%s'", {AnsiString(1, c)}));
    }
  }

  const AnsiString& s_;
  size_t pos_ = 0;
  int line_ = 1, tokLine_ = 1, depth_ = 0;
  Tok tok_ = tkEof;
  AnsiString text_;
  int64_t int_ = 0;
};

const TFormProperty* FindIn(const std::vector<TFormProperty>& props, const AnsiString& name) {
  for (const auto& p : props)
    if (AnsiCompareText(p.Name, name) == 0) return &p;
  return nullptr;
}

}  // namespace

const TFormProperty* TFormItem::Find(const AnsiString& Name) const { return FindIn(Properties, Name); }
const TFormProperty* TFormComponent::Find(const AnsiString& Name) const { return FindIn(Properties, Name); }

TFormValue TFormValue::Integer(int64_t v) {
  TFormValue r;
  r.Kind = vkInteger;
  r.Int = v;
  return r;
}
TFormValue TFormValue::Ident(const AnsiString& v) {
  TFormValue r;
  r.Kind = vkIdent;
  r.Text = v;
  return r;
}
TFormValue TFormValue::String(const AnsiString& v) {
  TFormValue r;
  r.Kind = vkString;
  r.Text = v;
  return r;
}
TFormValue TFormValue::Collection(std::vector<TFormItem> items) {
  TFormValue r;
  r.Kind = vkCollection;
  r.Items = std::move(items);
  return r;
}

bool TFormValue::operator==(const TFormValue& o) const {
  if (Kind != o.Kind) return false;
  switch (Kind) {
    case vkInteger: return Int == o.Int;
    case vkIdent:
    case vkString: return Text == o.Text;
    case vkCollection:
      if (Items.size() != o.Items.size()) return false;
      for (size_t i = 0; i < Items.size(); ++i)
        if (Items[i].Properties != o.Items[i].Properties) return false;
      return true;
  }
  return false;
}

AnsiString WriteFormText(const TFormComponent& Component) {
  AnsiString out;
  WriteComponent(out, Component, 0);
  return out;
}

TFormComponent ReadFormText(const AnsiString& Text) {
  Parser p(Text);
  TFormComponent c = p.Component();
  p.ExpectEof();
  return c;
}
