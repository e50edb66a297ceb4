#include "highlighters/html.h"

#include <cstring>

const char* const HtmlEntityTable[HtmlEntityCount] = {
    "&Alpha;", "&Beta;", "&Gamma;", "&Delta;", "&Epsilon;", "&Zeta;", "&Eta;", "&Theta;", "&Iota;",
    "&Kappa;", "&Lambda;", "&Mu;", "&Nu;", "&Xi;", "&Omicron;", "&Pi;", "&Rho;", "&Sigma;",
    "&Tau;", "&Upsilon;", "&Phi;", "&Chi;", "&Psi;", "&Omega;", "&alpha;", "&beta;", "&gamma;",
    "&delta;", "&epsilon;", "&zeta;", "&eta;", "&theta;", "&iota;", "&kappa;", "&lambda;", "&mu;",
    "&nu;", "&xi;", "&omicron;", "&pi;", "&rho;", "&sigmaf;", "&sigma;", "&tau;", "&upsilon;",
    "&phi;", "&chi;", "&psi;", "&omega;", "&thetasym;", "&upsih;", "&piv;", "&bull;", "&hellip;",
    "&prime;", "&Prime;", "&oline;", "&frasl;", "&weierp;", "&image;", "&real;", "&trade;",
    "&alefsym;", "&larr;", "&uarr;", "&rarr;", "&darr;", "&harr;", "&crarr;", "&lArr;", "&uArr;",
    "&rArr;", "&dArr;", "&hArr;", "&forall;", "&part;", "&exist;", "&empty;", "&nabla;", "&isin;",
    "&notin;", "&ni;", "&prod;", "&sum;", "&minus;", "&lowast;", "&radic;", "&prop;", "&infin;",
    "&ang;", "&and;", "&or;", "&cap;", "&cup;", "&int;", "&there4;", "&sim;", "&cong;", "&asymp;",
    "&ne;", "&equiv;", "&le;", "&ge;", "&sub;", "&sup;", "&nsub;", "&sube;", "&supe;", "&oplus;",
    "&otimes;", "&perp;", "&sdot;", "&lceil;", "&rceil;", "&lfloor;", "&rfloor;", "&lang;",
    "&rang;", "&loz;", "&spades;", "&clubs;", "&hearts;", "&diams;", "&lsquo;", "&rsquo;",
    "&sbquo;", "&ldquo;", "&rdquo;", "&bdquo;", "&dagger;", "&Dagger;", "&permil;", "&lsaquo;",
    "&rsaquo;", "&quot;", "&amp;", "&lt;", "&gt;", "&ndash;", "&mdash;", "&nbsp;", "&thinsp;",
    "&ensp;", "&emsp;", "&iexcl;", "&cent;", "&pound;", "&curren;", "&yen;", "&brvbar;",
    "&brkbar;", "&sect;", "&uml;", "&die;", "&copy;", "&ordf;", "&laquo;", "&not;", "&shy;",
    "&reg;", "&macr;", "&hibar;", "&deg;", "&plusmn;", "&sup2;", "&sup3;", "&acute;", "&micro;",
    "&para;", "&middot;", "&cedil;", "&sup1;", "&ordm;", "&raquo;", "&frac14;", "&frac12;",
    "&frac34;", "&iquest;", "&Agrave;", "&Aacute;", "&Acirc;", "&Atilde;", "&Auml;", "&Aring;",
    "&AElig;", "&Ccedil;", "&Egrave;", "&Eacute;", "&Ecirc;", "&Euml;", "&Igrave;", "&Iacute;",
    "&Icirc;", "&Iuml;", "&ETH;", "&Ntilde;", "&Ograve;", "&Oacute;", "&Ocirc;", "&Otilde;",
    "&Ouml;", "&times;", "&Oslash;", "&Ugrave;", "&Uacute;", "&Ucirc;", "&Uuml;", "&Yacute;",
    "&THORN;", "&szlig;", "&agrave;", "&aacute;", "&acirc;", "&atilde;", "&auml;", "&aring;",
    "&aelig;", "&ccedil;", "&egrave;", "&eacute;", "&ecirc;", "&euml;", "&igrave;", "&iacute;",
    "&icirc;", "&iuml;", "&eth;", "&ntilde;", "&ograve;", "&oacute;", "&ocirc;", "&otilde;",
    "&ouml;", "&divide;", "&oslash;", "&ugrave;", "&uacute;", "&ucirc;", "&uuml;", "&yacute;",
    "&thorn;", "&yuml;", "&euro;", "&OElig;", "&oelig;", "&scaron;", "&Scaron;", "&fnof;",
    "&circ;",
};

namespace {

// Characters that end a run of text (control characters, '<') or need a look ('&').
constexpr struct TextStopTable {
  bool v[256];
  constexpr TextStopTable() : v() {
    for (int c = 0; c < 32; ++c) v[c] = true;
    v[static_cast<unsigned char>('<')] = true;
    v[static_cast<unsigned char>('&')] = true;
  }
} kTextStop;

// Characters that end a run of comment (the line end, CR, LF) or need a look ('>').
constexpr struct CommentStopTable {
  bool v[256];
  constexpr CommentStopTable() : v() {
    v[0] = v[10] = v[13] = true;
    v[static_cast<unsigned char>('>')] = true;
  }
} kCommentStop;

constexpr bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
constexpr bool IsDecDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool IsLineBreak(unsigned char c) { return c == 0 || c == 10 || c == 13; }

AnsiString HtmlLanguageName() { return TSrcHTMLSrc::ClassLanguageName(); }
TSrcHighlighterCapabilities HtmlCapabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
TSrcCustomHighlighter* CreateHtml(TComponent* Owner) { return new TSrcHTMLSrc(Owner); }

const char kSampleSource[] =
    "<!-- Syntax highlighting -->\r\n"
    "\r\n"
    "<html>\r\n"
    "<body bgcolor=\"red\">\r\n"
    "  <form name=\"frmLogin\" action=\"doSomething.asp\">\r\n"
    "    <input name=\"user\" value='any\r\n"
    "      value'>\r\n"
    "  </form>\r\n"
    "  <invalid>Sample HTML code &copy; 2001</invalid>\r\n"
    "</body>\r\n"
    "</html>";

}  // namespace

const TSrcHighlighterClassInfo TSrcHTMLSrc::ClassInfo = {
    "TSrcHTMLSrc", &TSrcCustomHighlighter::ClassInfo, &HtmlLanguageName, &HtmlCapabilities, &CreateHtml};

namespace {
// The class is known to the program from start-up on.
const bool kRegistered = (RegisterHighlighterClass(&TSrcHTMLSrc::ClassInfo), true);
}  // namespace

TSrcHTMLSrc::TSrcHTMLSrc(TComponent* AOwner) : TSrcCustomHighlighter(AOwner) {
  auto make = [this](const char* name, TFontStyles style, TColor foreground) {
    auto* attr = new TSrcHighlighterAttributes(name);
    AddAttribute(attr);
    attr->SetStyle(style);
    attr->SetForeground(foreground);
    return attr;
  };
  commentAttri_ = make("Comment", {}, clNone);
  identifierAttri_ = make("Identifier", {fsBold}, clNone);
  keyAttri_ = make("Reserved Word", {fsBold}, 0x00FF0080);
  spaceAttri_ = make("Space", {}, clNone);
  symbolAttri_ = make("Symbol", {fsBold}, clNone);
  textAttri_ = make("Text", {}, clNone);
  undefKeyAttri_ = make("Unknown Word", {fsBold}, clRed);
  valueAttri_ = make("Value", {}, 0x00FF8000);
  andAttri_ = make("Escape Ampersand", {fsBold}, clLime);
  BindAttributeChanges(TNotifyEvent(static_cast<TSrcCustomHighlighter*>(this), &TSrcCustomHighlighter::AttributeChanged));
  InitIdent();
  MakeMethodTables();
  range_ = hrText;
  SetDefaultFilter("HTML Documents (*.htm;*.html)|*.htm;*.html");
  entityIndex_ = -1;
}

void TSrcHTMLSrc::MakeMethodTables() {
  for (int c = 0; c < 256; ++c) {
    TProc p;
    switch (c) {
      case 0: p = &TSrcHTMLSrc::NullProc; break;
      case 10: p = &TSrcHTMLSrc::LFProc; break;
      case 13: p = &TSrcHTMLSrc::CRProc; break;
      case '"': case '\'': p = &TSrcHTMLSrc::StringProc; break;
      case '&': p = &TSrcHTMLSrc::AmpersandProc; break;
      case '<': p = &TSrcHTMLSrc::BraceOpenProc; break;
      case '=': p = &TSrcHTMLSrc::EqualProc; break;
      case '>': p = &TSrcHTMLSrc::BraceCloseProc; break;
      default: p = c <= 32 ? &TSrcHTMLSrc::SpaceProc : &TSrcHTMLSrc::IdentProc; break;
    }
    procTable_[c] = p;
  }
}

TSrcHighlighterAttributes* TSrcHTMLSrc::GetDefaultAttribute(int Index) const {
  switch (Index) {
    case SRC_ATTR_DEFAULT_COMMENT: return commentAttri_;
    case SRC_ATTR_DEFAULT_IDENTIFIER: return identifierAttri_;
    case SRC_ATTR_DEFAULT_KEYWORD: return keyAttri_;
    case SRC_ATTR_DEFAULT_WHITESPACE: return spaceAttri_;
    case SRC_ATTR_DEFAULT_SYMBOL: return symbolAttri_;
    default: return nullptr;
  }
}

TSysCharSet TSrcHTMLSrc::GetIdentChars() const {
  // The word characters of the editor's word operations; the scanner does not read them.
  TSysCharSet s;
  s.AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z');
  return s + CyrillicLetters();
}

AnsiString TSrcHTMLSrc::GetSampleSource() const { return kSampleSource; }

TSrcRange TSrcHTMLSrc::GetRange() const {
  return reinterpret_cast<TSrcRange>(static_cast<uintptr_t>(range_));
}

void TSrcHTMLSrc::SetRange(TSrcRange Value) {
  range_ = static_cast<TSrcHtmlRangeState>(reinterpret_cast<uintptr_t>(Value) & 0xFF);
  entityIndex_ = -1;
}

void TSrcHTMLSrc::ResetRange() {
  range_ = hrText;
  entityIndex_ = -1;
}

void TSrcHTMLSrc::SetLineText(std::string_view NewValue, int LineNumber) {
  // The caller guarantees the #0 after the last character that every scan stops at.
  line_ = NewValue.data();
  lineLen_ = NewValue.size();
  run_ = 0;
  lineNumber_ = LineNumber;
  entityIndex_ = -1;
  Next();
}

AnsiString TSrcHTMLSrc::GetToken() const { return AnsiString(line_ + tokenPos_, run_ - tokenPos_); }

TSrcHighlighterAttributes* TSrcHTMLSrc::GetTokenAttribute() const { return TokenAttribute(); }

int TSrcHTMLSrc::NextTokens(TSrcTokenSpan* Out, int Max) { return ScanTokenBatch(*this, Out, Max); }

TSrcRange TSrcHTMLSrc::ScanLineRange(std::string_view Line, int LineNumber) {
  TSrcHtmlRangeState state = range_;
  switch (state) {
    case hrComment: case hrKey: case hrParam: case hrText: case hrValue: case hrQuoteValue: case hrDoubleQuoteValue:
      break;
    default:  // a state set from outside that no line ends in: the tokens decide
      return TSrcCustomHighlighter::ScanLineRange(Line, LineNumber);
  }
  // Only what changes the state is looked at. Blanks, control characters, #0 and line breaks
  // inside the line never change it; in text neither do entities and references (their
  // characters are never '<' or control characters), so text only looks for '<', a comment for
  // '>' and a quoted value for its closing quote. Between them the tokens of a tag are stepped
  // over as the token scan takes them, since where a token ends decides what the next
  // character means. The #0 after the line stops every inner loop.
  const unsigned char* s = reinterpret_cast<const unsigned char*>(Line.data());
  const size_t n = Line.size();
  size_t i = 0;
  auto find = [&](unsigned char c) {
    const void* p = std::memchr(s + i, c, n - i);
    return p ? static_cast<size_t>(static_cast<const unsigned char*>(p) - s) : n;
  };
  while (i < n) {
    unsigned char c = s[i];
    switch (state) {
      case hrText:
        i = find('<');
        if (i == n) continue;
        c = '<';  // opened by the step below
        break;
      case hrComment:
        // Closed by a '>' with two dashes right before it in this line.
        for (size_t at; (at = find('>')) < n;) {
          i = at + 1;
          if (at >= 2 && s[at - 1] == '-' && s[at - 2] == '-') {
            state = hrText;
            break;
          }
        }
        if (state == hrComment) i = n;
        continue;
      case hrQuoteValue:
      case hrDoubleQuoteValue: {
        size_t at = find(state == hrQuoteValue ? '\'' : '"');
        i = at < n ? at + 1 : n;
        if (at < n) state = hrParam;
        continue;
      }
      default:
        break;
    }
    // A token inside a tag (and '<' in text).
    if (c == '<') {
      ++i;
      if (s[i] == '!' && s[i + 1] == '-' && s[i + 2] == '-') {
        i += 3;
        state = hrComment;
      } else {
        state = hrKey;
      }
    } else if (c <= 32) {
      ++i;
    } else if (c == '=') {
      ++i;
      state = hrValue;
    } else if (c == '>') {
      ++i;
      state = hrText;
    } else if (state == hrKey) {
      if (c == '&') {
        ++i;
        state = hrText;
      } else {
        // The tag name: name characters, then digits (possibly none of either).
        while (HtmlCharClassTable[s[i]] != 0) ++i;
        while (IsDecDigit(s[i])) ++i;
        state = hrParam;
      }
    } else if (state == hrValue) {
      ++i;
      if (c == '"') state = hrDoubleQuoteValue;
      else if (c == '\'') state = hrQuoteValue;
      else {
        while (s[i] > 32 && s[i] != '>') ++i;  // a bare value
        state = hrParam;
      }
    } else {
      // An attribute name (or any other word inside the tag).
      ++i;
      while (s[i] > 32 && s[i] != '"' && s[i] != '=' && s[i] != '>') ++i;
    }
  }
  // Left as the token loop leaves it: at the end of the line.
  line_ = Line.data();
  lineLen_ = n;
  run_ = tokenPos_ = n;
  tokenID_ = htNull;
  lineNumber_ = LineNumber;
  entityIndex_ = -1;
  range_ = state;
  return GetRange();
}

TSrcHighlighterAttributes* TSrcHTMLSrc::TokenAttribute() const {
  switch (tokenID_) {
    case htAmpersand: return andAttri_;
    case htComment: return commentAttri_;
    case htIdentifier: return identifierAttri_;
    case htKey: return keyAttri_;
    case htSpace: return spaceAttri_;
    case htSymbol: return symbolAttri_;
    case htText: return textAttri_;
    case htUndefKey: return undefKeyAttri_;
    case htValue: return valueAttri_;
    default: return nullptr;
  }
}

void TSrcHTMLSrc::Next() {
  tokenPos_ = run_;
  switch (range_) {
    case hrComment: CommentScan(); break;
    case hrText: TextScan(); break;
    case hrQuoteValue:
    case hrDoubleQuoteValue:
      if (IsLineBreak(Ch(run_))) Dispatch(Ch(run_));
      else QuotedValueScan();
      break;
    default: Dispatch(Ch(run_)); break;
  }
}

void TSrcHTMLSrc::NullProc() {
  if (run_ < lineLen_) {
    // A #0 inside the line is a control character like any other: the scan goes on to the
    // real end of the line, so no text after it goes unpainted.
    SpaceProc();
    return;
  }
  tokenID_ = htNull;
}

void TSrcHTMLSrc::LFProc() {
  tokenID_ = htSpace;
  ++run_;
}

void TSrcHTMLSrc::CRProc() {
  tokenID_ = htSpace;
  ++run_;
  if (Ch(run_) == 10) ++run_;
}

void TSrcHTMLSrc::SpaceProc() {
  tokenID_ = htSpace;
  ++run_;
  for (unsigned char c = Ch(run_); c >= 1 && c <= 32 && c != 9 && c != 10 && c != 13; c = Ch(run_)) ++run_;
}

void TSrcHTMLSrc::StringProc() {
  switch (range_) {
    case hrValue:
      range_ = Ch(run_) == '"' ? hrDoubleQuoteValue : hrQuoteValue;
      ++run_;  // the opening quote belongs to the value
      QuotedValueScan();
      break;
    case hrQuoteValue:
    case hrDoubleQuoteValue:
      QuotedValueScan();
      break;
    default:
      IdentProc();
      break;
  }
}

void TSrcHTMLSrc::QuotedValueScan() {
  const unsigned char close = range_ == hrQuoteValue ? '\'' : '"';
  tokenID_ = htValue;
  for (;;) {
    unsigned char c = Ch(run_);
    if (c == close) {
      ++run_;
      range_ = hrParam;
      return;
    }
    if (IsLineBreak(c)) return;  // the value goes on after the line break
    ++run_;
  }
}

int TSrcHTMLSrc::FindEntity(size_t Pos) const {
  const char c1 = line_[Pos + 1];
  for (int i = 0; i < HtmlEntityCount; ++i) {
    const char* e = HtmlEntityTable[i];
    if (e[1] != c1) continue;
    // Stops at the first difference, at the latest at the #0 after the line.
    size_t k = 2;
    while (e[k] && e[k] == line_[Pos + k]) ++k;
    if (!e[k]) return i;
  }
  return -1;
}

size_t TSrcHTMLSrc::ScanNumericReference(size_t Pos, bool& Complete) const {
  size_t p = Pos + 2;
  if (Ch(p) == 'x' || Ch(p) == 'X') {
    ++p;
    while (IsHexDigit(Ch(p))) ++p;
  } else {
    while (IsDecDigit(Ch(p))) ++p;
  }
  Complete = Ch(p) == ';';
  return p;
}

void TSrcHTMLSrc::AmpersandProc() {
  switch (range_) {
    case hrAmpersand: {
      // The entity that the text scan found, or (when the state was set from outside) the one
      // that is really there; otherwise a numeric reference, taken only as far as it goes.
      int e = entityIndex_;
      if (e >= 0 && std::strncmp(HtmlEntityTable[e], line_ + run_, std::strlen(HtmlEntityTable[e])) != 0) e = -1;
      if (e < 0 && Ch(run_ + 1) != '#') e = FindEntity(run_);
      if (e >= 0) {
        run_ += std::strlen(HtmlEntityTable[e]);
      } else if (Ch(run_ + 1) == '#') {
        bool complete;
        run_ = ScanNumericReference(run_, complete);
        if (complete) ++run_;
      } else {
        ++run_;
      }
      tokenID_ = htAmpersand;
      entityIndex_ = -1;
      range_ = hrText;
      break;
    }
    case hrKey:
      ++run_;
      tokenID_ = htText;
      range_ = hrText;
      break;
    default:
      IdentProc();
      break;
  }
}

void TSrcHTMLSrc::BraceOpenProc() {
  ++run_;
  if (Ch(run_) == '!' && Ch(run_ + 1) == '-' && Ch(run_ + 2) == '-') {
    run_ += 3;
    tokenID_ = htComment;
    range_ = hrComment;
  } else {
    tokenID_ = htSymbol;
    range_ = hrKey;
  }
}

void TSrcHTMLSrc::EqualProc() {
  ++run_;
  tokenID_ = htSymbol;
  range_ = hrValue;
}

void TSrcHTMLSrc::BraceCloseProc() {
  ++run_;
  tokenID_ = htSymbol;
  range_ = hrText;
}

void TSrcHTMLSrc::IdentProc() {
  switch (range_) {
    case hrKey:
      range_ = hrParam;
      tokenID_ = IdentKind(run_);
      run_ += stringLen_;
      break;
    case hrValue:
      range_ = hrParam;
      tokenID_ = htValue;
      ++run_;
      for (unsigned char c = Ch(run_); c > 32 && c != '>'; c = Ch(run_)) ++run_;
      break;
    default:
      tokenID_ = htIdentifier;
      ++run_;
      for (unsigned char c = Ch(run_); c > 32 && c != '"' && c != '=' && c != '>'; c = Ch(run_)) ++run_;
      break;
  }
}

void TSrcHTMLSrc::CommentScan() {
  unsigned char c = Ch(run_);
  if (IsLineBreak(c)) {
    Dispatch(c);
    return;
  }
  tokenID_ = htComment;
  for (;;) {
    c = Ch(run_);
    if (!kCommentStop.v[c]) {
      ++run_;
      continue;
    }
    if (c != '>') return;  // the comment goes on after the line break
    ++run_;
    // Closed by a '>' with two dashes before it in this line ("<!-->" included).
    if (run_ >= 3 && line_[run_ - 2] == '-' && line_[run_ - 3] == '-') {
      range_ = hrText;
      return;
    }
  }
}

void TSrcHTMLSrc::TextScan() {
  unsigned char c = Ch(run_);
  if (c < 32 || c == '<') {
    Dispatch(c);
    return;
  }
  tokenID_ = htText;
  for (;;) {
    c = Ch(run_);
    if (!kTextStop.v[c]) {
      ++run_;
      continue;
    }
    if (c != '&') return;  // a control character or '<'
    if (Ch(run_ + 1) == '#') {
      bool complete;
      size_t end = ScanNumericReference(run_, complete);
      if (complete) {
        entityIndex_ = -1;
        range_ = hrAmpersand;
      } else {
        run_ = end;  // an incomplete reference stays text, up to its digits
      }
      return;
    }
    int e = FindEntity(run_);
    if (e >= 0) {
      entityIndex_ = e;
      range_ = hrAmpersand;
      return;
    }
    ++run_;
  }
}
