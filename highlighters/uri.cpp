#include "highlighters/uri.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Characters of links (only #32 to #127 can be).
constexpr struct LinkCharTable {
  bool v[256];
  constexpr LinkCharTable() : v() {
    for (char c : std::string_view("!#$%&'()*+,-./:;=?@_~")) v[static_cast<unsigned char>(c)] = true;
    for (int c = '0'; c <= '9'; ++c) v[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = true;
  }
} kLinkChar;

// Characters dropped from the end of a link.
constexpr struct EndCharTable {
  bool v[256];
  constexpr EndCharTable() : v() {
    for (char c : std::string_view("!#%&()*+,-.:;=?@_~")) v[static_cast<unsigned char>(c)] = true;
  }
} kEndChar;

constexpr bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

AnsiString UriLanguageName() { return TSrcURISrc::ClassLanguageName(); }
TSrcHighlighterCapabilities UriCapabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
TSrcCustomHighlighter* CreateUri(TComponent* Owner) { return new TSrcURISrc(Owner); }

const char kSampleSource[] =
    "Universal Resource Identifier highlighting\r\n"
    "\r\n"
    "http://www.vantry-tarn.example/index.html\r\n"
    "ftp://ftp.vantry-tarn.example/pub/pages.zip\r\n"
    "www.vantry-tarn.example\r\n"
    "mailto:pages@vantry-tarn.example\r\n"
    "pages@vantry-tarn.example\r\n"
    "news:comp.infosystems.www.authoring.html";

}  // namespace

const TSrcHighlighterClassInfo TSrcURISrc::ClassInfo = {
    "TSrcURISrc", &TSrcCustomHighlighter::ClassInfo, &UriLanguageName, &UriCapabilities, &CreateUri};

TSrcURISrc::TSrcURISrc(TComponent* AOwner) : TSrcCustomHighlighter(AOwner) {
  // White space and other words are not in the attribute list: the highlighter owns them.
  spaceAttri_ = new TSrcHighlighterAttributes("Space");
  identifierAttri_ = new TSrcHighlighterAttributes("Identifier");
  uriAttri_ = new TSrcHighlighterAttributes("URI");
  uriAttri_->SetForeground(clBlue);
  uriAttri_->SetStyle({fsUnderline});
  AddAttribute(uriAttri_);
  visitedAttri_ = new TSrcHighlighterAttributes("Visited URI");
  visitedAttri_->SetForeground(clPurple);
  visitedAttri_->SetStyle({fsUnderline});
  AddAttribute(visitedAttri_);
  BindAttributeChanges(TNotifyEvent(static_cast<TSrcCustomHighlighter*>(this), &TSrcCustomHighlighter::AttributeChanged));

  const struct {
    const char* text;
    int kind;
  } schemes[] = {{"www", utWebLink},          {"news:", utNewsLink},        {"mailto:", utMailtoLink},
                 {"ftp://", utFtpLink},       {"wais://", utWaisLink},      {"nntp://", utNntpLink},
                 {"http://", utHttpLink},     {"https://", utHttpsLink},    {"gopher://", utGopherLink},
                 {"telnet://", utTelnetLink}, {"prospero://", utProsperoLink}};
  for (const auto& s : schemes) {
    int hash = 0;
    for (const char* c = s.text; *c; ++c) hash += UriSchemeHashTable[static_cast<unsigned char>(*c)];
    schemes_[hash] = TScheme{s.text, s.kind};
  }

  for (int c = 0; c < 256; ++c) {
    TProc p;
    if (c == 0) p = &TSrcURISrc::NullProc;
    else if (c == 10) p = &TSrcURISrc::LFProc;
    else if (c == 13) p = &TSrcURISrc::CRProc;
    else if (c <= 32) p = &TSrcURISrc::SpaceProc;
    else if (IsLetter(static_cast<unsigned char>(c))) p = &TSrcURISrc::LetterProc;
    else p = &TSrcURISrc::SymbolProc;
    procTable_[c] = p;
  }
  SetDefaultFilter("All Files (*.*)|*.*");
}

TSrcURISrc::~TSrcURISrc() {
  delete spaceAttri_;
  delete identifierAttri_;
}

TSrcHighlighterAttributes* TSrcURISrc::GetDefaultAttribute(int Index) const {
  switch (Index) {
    case SRC_ATTR_DEFAULT_IDENTIFIER: return identifierAttri_;
    case SRC_ATTR_DEFAULT_WHITESPACE: return spaceAttri_;
    case 6: return uriAttri_;
    case 7: return visitedAttri_;
    default: return nullptr;
  }
}

TSysCharSet TSrcURISrc::GetIdentChars() const {
  // The word characters of the editor's word operations; the scanner does not read them.
  TSysCharSet s;
  s.Add(0).AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z');
  return s + CyrillicLetters();
}

AnsiString TSrcURISrc::GetSampleSource() const { return kSampleSource; }

void TSrcURISrc::SetLineText(std::string_view NewValue, int) {
  line_.assign(NewValue);
  lineLen_ = line_.size();
  run_ = 0;
  mailRunValid_ = false;
  Next();
}

void TSrcURISrc::Next() {
  tokenPos_ = run_;
  (this->*procTable_[Ch(run_)])();
}

AnsiString TSrcURISrc::GetToken() const { return line_.substr(tokenPos_, run_ - tokenPos_); }

TSrcHighlighterAttributes* TSrcURISrc::GetTokenAttribute() const {
  switch (tokenKind_) {
    case utSpace: return spaceAttri_;
    case utUnknown: return identifierAttri_;
    case utNull: case utNullChar: return nullptr;
    default:
      return visited_.Assigned() && visited_(GetToken()) ? visitedAttri_ : uriAttri_;
  }
}

void TSrcURISrc::NullProc() {
  if (run_ < lineLen_) {
    ++run_;
    tokenKind_ = utNullChar;
  } else {
    tokenKind_ = utNull;
  }
}

void TSrcURISrc::LFProc() {
  ++run_;
  tokenKind_ = utSpace;
}

void TSrcURISrc::CRProc() {
  ++run_;
  if (Ch(run_) == 10) ++run_;
  tokenKind_ = utSpace;
}

void TSrcURISrc::SpaceProc() {
  ++run_;
  for (unsigned char c = Ch(run_); run_ < lineLen_ && c >= 1 && c <= 32 && c != 10 && c != 13; c = Ch(run_)) ++run_;
  tokenKind_ = utSpace;
}

void TSrcURISrc::SymbolProc() {
  if (IsLeadByte(Ch(run_)) && run_ + 1 < lineLen_) ++run_;
  ++run_;
  tokenKind_ = utUnknown;
}

size_t TSrcURISrc::LinkEnd(size_t Pos) const {
  size_t i = Pos;
  for (unsigned char c = Ch(i); kLinkChar.v[c]; c = Ch(++i)) {
    if (c == '.' && i > 0 && Ch(i - 1) == '.') {
      bool path = i >= 2 && ((Ch(i - 2) == '/' && Ch(i + 1) == '/') || (Ch(i - 2) == '\\' && Ch(i + 1) == '\\'));
      if (!path) break;
    }
  }
  while (i > Pos && kEndChar.v[Ch(i - 1)]) --i;
  return i;
}

bool TSrcURISrc::MailAddress() {
  if (!mailRunValid_ || run_ < mailRunStart_ || run_ >= mailRunEnd_) {
    size_t i = run_;
    mailHasAt_ = false;
    for (unsigned char c = Ch(i); kLinkChar.v[c]; c = Ch(++i)) {
      if (c == '.' && i > run_ && Ch(i - 1) == '.') break;
      if (c == '@') {
        mailHasAt_ = true;
        mailLastAt_ = i;
      }
    }
    mailRunStart_ = run_;
    mailRunEnd_ = i;
    mailRunValid_ = true;
    if (!mailHasAt_) return false;  // most runs: a word with no '@' is never an address
    while (i > run_ && kEndChar.v[Ch(i - 1)]) --i;
    mailTrimmed_ = i;
    mailHasDot_ = false;
    for (size_t k = i; k-- > run_;)
      if (Ch(k) == '.') {
        mailHasDot_ = true;
        mailLastDot_ = k;
        break;
      }
  }
  // Every letter of one run shares its end, its last '@' and its trimmed end.
  size_t end = std::max(mailTrimmed_, run_);
  if (!mailHasAt_ || mailLastAt_ <= run_ || mailLastAt_ + 1 >= end) return false;
  if (!mailHasDot_ || mailLastDot_ < mailLastAt_ + 2 || mailLastDot_ >= end) return false;
  run_ = end;
  tokenKind_ = utMailtoLink;
  return true;
}

void TSrcURISrc::LetterProc() {
  if (MailAddress()) return;
  size_t p = run_;
  int hash = 0;
  while (IsLetter(Ch(p))) hash += UriSchemeHashTable[Ch(p++)];
  if (Ch(p) == ':') {
    hash += UriSchemeHashTable[Ch(p++)];
    for (int k = 0; k < 2 && Ch(p) == '/'; ++k) hash += UriSchemeHashTable[Ch(p++)];
  }
  const size_t schemeLen = p - run_;
  const TScheme* scheme = hash <= 97 && schemes_[hash].text ? &schemes_[hash] : nullptr;
  if (scheme && std::strlen(scheme->text) == schemeLen) {
    for (size_t k = 0; k < schemeLen && scheme; ++k)
      if (UriSchemeHashTable[Ch(run_ + k)] != UriSchemeHashTable[static_cast<unsigned char>(scheme->text[k])])
        scheme = nullptr;
  } else {
    scheme = nullptr;
  }
  if (!scheme) {
    run_ = p;
    tokenKind_ = utUnknown;
    return;
  }
  size_t end = LinkEnd(p);
  if (scheme->kind == utWebLink) {
    // A dotted name: ".", some characters, a second ".", and something after it.
    size_t second = p + 1;
    while (second < end && Ch(second) != '.') ++second;
    bool web = Ch(p) == '.' && second < end && second >= p + 2 && second + 1 < end;
    run_ = end;
    tokenKind_ = web ? utWebLink : utUnknown;
    return;
  }
  if (end > p) {
    run_ = end;
    tokenKind_ = scheme->kind;
  } else {
    run_ = p;
    tokenKind_ = utUnknown;
  }
}
