// The tag-name table of the HTML highlighter: a character-class sum picks one of 251 slots, and
// each slot compares the scanned name with the few known names that hash there.
#include "highlighters/html.h"

namespace {

constexpr bool IsNameChar(unsigned char c) { return HtmlCharClassTable[c] != 0; }
constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The hash of a stored name, by the same rule as KeyHash.
int NameHash(const char* name) {
  int hash = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
  while (IsNameChar(*p)) hash += HtmlCharClassTable.v[*p++];
  while (IsDigit(*p)) hash += *p++ - '0';
  return hash;
}

}  // namespace

const char* const HtmlTagNames[HtmlTagNameCount] = {
   "!DOCTYPE", "A", "ABBR", "ACRONYM", "ADDRESS", "APPLET", "AREA", "B", "BASE", "BASEFONT", "BDO",
   "BGSOUND", "BIG", "BLINK", "BLOCKQUOTE", "BODY", "BR", "BUTTON", "CAPTION", "CENTER", "CITE",
   "CODE", "COL", "COLGROUP", "COMMENT", "DD", "DEL", "DFN", "DIR", "DIV", "DL", "DT", "EM",
   "EMBED", "FIELDSET", "FONT", "FORM", "FRAME", "FRAMESET", "H1", "H2", "H3", "H4", "H5", "H6",
   "HEAD", "HR", "HTML", "I", "IFRAME", "ILAYER", "IMG", "INPUT", "INS", "ISINDEX", "KBD",
   "KEYGEN", "LABEL", "LAYER", "LEGEND", "LI", "LINK", "LISTING", "MAP", "MARQUEE", "MENU", "META",
   "MULTICOL", "NEXTID", "NOBR", "NOEMBED", "NOFRAMES", "NOLAYER", "NOSCRIPT", "OBJECT", "OL",
   "OPTGROUP", "OPTION", "P", "PARAM", "PLAINTEXT", "PRE", "Q", "S", "SAMP", "SCRIPT", "SELECT",
   "SERVER", "SMALL", "SPACER", "SPAN", "STRIKE", "STRONG", "STYLE", "SUB", "SUP", "TABLE",
   "TBODY", "TD", "TEXTAREA", "TFOOT", "TH", "THEAD", "TITLE", "TR", "TT", "U", "UL", "VAR", "WBR",
   "XMP", "/A", "/ABBR", "/ACRONYM", "/ADDRESS", "/APPLET", "/B", "/BDO", "/BIG", "/BLINK",
   "/BLOCKQUOTE", "/BODY", "/BUTTON", "/CAPTION", "/CENTER", "/CITE", "/CODE", "/COLGROUP",
   "/COMMENT", "/DD", "/DEL", "/DFN", "/DIR", "/DIV", "/DL", "/DT", "/EM", "/EMBED", "/FIELDSET",
   "/FONT", "/FORM", "/FRAMESET", "/H1", "/H2", "/H3", "/H4", "/H5", "/H6", "/HEAD", "/HTML", "/I",
   "/IFRAME", "/ILAYER", "/INS", "/KBD", "/LABEL", "/LAYER", "/LEGEND", "/LI", "/LISTING", "/MAP",
   "/MARQUEE", "/MENU", "/MULTICOL", "/NOBR", "/NOEMBED", "/NOFRAMES", "/NOLAYER", "/NOSCRIPT",
   "/OBJECT", "/OL", "/OPTGROUP", "/OPTION", "/P", "/PRE", "/Q", "/S", "/SAMP", "/SCRIPT",
   "/SELECT", "/SERVER", "/SMALL", "/SPAN", "/STRIKE", "/STRONG", "/STYLE", "/SUB", "/SUP",
   "/TABLE", "/TBODY", "/TD", "/TEXTAREA", "/TFOOT", "/TH", "/THEAD", "/TITLE", "/TR", "/TT", "/U",
   "/UL", "/VAR", "/XMP",
};

void TSrcHTMLSrc::InitIdent() {
  for (auto& slot : identFuncTable_) slot = TTagSlot{};
  for (const char* name : HtmlTagNames) {
    TTagSlot& slot = identFuncTable_[NameHash(name)];
    if (slot.count < 4) slot.names[slot.count++] = name;
  }
}

int TSrcHTMLSrc::KeyHash(size_t Pos) {
  // The sum stops growing once it is past the table: only "in the table or not" matters then,
  // and a long run of name characters cannot overflow it.
  if (Pos > lineLen_) Pos = lineLen_;  // a position past the line scans an empty name
  int hash = 0;
  size_t p = Pos;
  stringStart_ = Pos;
  while (IsNameChar(Ch(p))) {
    if (hash < HtmlTagSlotCount) hash += HtmlCharClassTable.v[Ch(p)];
    ++p;
  }
  while (IsDigit(Ch(p))) {
    if (hash < HtmlTagSlotCount) hash += Ch(p) - '0';
    ++p;
  }
  stringLen_ = p - Pos;
  return hash;
}

TSrcHtmlTokenKind TSrcHTMLSrc::IdentKind(size_t Pos) {
  int hash = KeyHash(Pos);
  if (hash >= HtmlTagSlotCount) return htIdentifier;
  const TTagSlot& slot = identFuncTable_[hash];
  for (int i = 0; i < slot.count; ++i)
    if (KeyComp(slot.names[i])) return htKey;
  return htUndefKey;
}

bool TSrcHTMLSrc::KeyComp(const char* Name) const {
  size_t i = 0;
  for (; Name[i]; ++i) {
    if (i >= stringLen_) return false;
    if (HtmlCharClassTable.v[Ch(stringStart_ + i)] != HtmlCharClassTable.v[static_cast<unsigned char>(Name[i])]) return false;
  }
  return i == stringLen_;
}
