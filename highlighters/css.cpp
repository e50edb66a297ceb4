#include "highlighters/css.h"

constexpr TSrcCharHashes MakeCssHashTable() {
  TSrcCharHashes t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = t[c + 32] = c - 'A' + 1;
  t['!'] = 123;
  t['/'] = 122;
  return t;
}
constinit const TSrcCharHashes CssHashTable = MakeCssHashTable();

const char CssPropertyNames[] =
    "azimuth,background,background-attachment,background-color,background-image,"
    "background-position,background-repeat,border,border-collapse,border-color,border-spacing,"
    "border-style,border-top border-right border-bottom border-left,"
    "border-top-color border-right-color border-bottom-color border-left-color,"
    "border-top-style border-right-style border-bottom-style border-left-style,"
    "border-top-width border-right-width border-bottom-width border-left-width,border-width,"
    "bottom,caption-side,clear,clip,color,content,counter-increment,counter-reset,cue,"
    "cue-after cue-before,cursor,direction,display,elevation,empty-cells,float,font,"
    "font-family,font-size,font-size-adjust,font-stretch,font-style,font-variant,font-weight,"
    "height,left,letter-spacing,line-height,list-style,list-style-image,list-style-position,"
    "list-style-type,margin,margin-top margin-right margin-bottom margin-left,marker-offset,"
    "marks,max-height,max-width,min-height,min-width,orphans,outline,outline-color,"
    "outline-style,outline-width,overflow,padding,padding-top,padding-right,padding-bottom,"
    "padding-left,page,page-break-after,page-break-before,page-break-inside,pause,pause-after,"
    "pause-before,pitch,pitch-range,play-during,position,quotes,richness,right,size,speak,"
    "speak-header,speak-numeral,speak-punctuation,speech-rate,stress,table-layout,text-align,"
    "text-decoration,text-indent,text-shadow,text-transform,top,unicode-bidi,vertical-align,"
    "visibility,voice-family,volume,white-space,widows,width,word-spacing,z-index";

namespace {

const char kDefaultFilter[] = "Cascading Stylesheets (*.css)|*.css";

const char kSampleSource[] =
    "/* Syntax Highlighting */\r\n"
    "body { font-family: Tahoma, Verdana, Arial, Helvetica, sans-serif; font-size: 8pt }\r\n"
    "H1 { font-size: 18pt; color: #000099; made-up-property: 1 }";

// The characters of the property names in the keyword list.
TSysCharSet KeywordChars() {
  TSysCharSet s;
  s.Add('-').AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z');
  return s;
}

constexpr bool IsNameChar(unsigned char c) { return c == '-' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexDigit(unsigned char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Characters that end the text of a selector, a value and a name.
constexpr TSrcCharFlags Stops(const char* chars, int below) {
  TSrcCharFlags t{};
  for (int c = 0; c < below; ++c) t[c] = true;
  for (; *chars; ++chars) t[static_cast<unsigned char>(*chars)] = true;
  return t;
}
constexpr TSrcCharFlags kSelectorStops = Stops("/{", 32);
constexpr TSrcCharFlags kNameStops = Stops("\":;}", 33);

AnsiString LanguageName() { return TSrcCssSrc::ClassLanguageName(); }
TSrcHighlighterCapabilities Capabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
TSrcCustomHighlighter* Create(TComponent* Owner) { return new TSrcCssSrc(Owner); }

}  // namespace

const TSrcHighlighterClassInfo TSrcCssSrc::ClassInfo = {
    "TSrcCssSrc", &TSrcCustomHighlighter::ClassInfo, &LanguageName, &Capabilities, &Create};

TSrcCssSrc::TSrcCssSrc(TComponent* AOwner)
    : TSrcTokenScanner(AOwner, csNull, csSpace, csrSelector), keywords_(std::make_unique<TSrcHashEntryList>()) {
  commentAttri_ = NewAttribute("Comment", {});
  propertyAttri_ = NewAttribute("Property", {fsBold});
  keyAttri_ = NewAttribute("Reserved Word", {fsBold}, 0x00FF0080);
  undefPropertyAttri_ = NewAttribute("Undefined Property", {fsBold}, 0x00FF0080);
  spaceAttri_ = NewAttribute("Space", {});
  colourAttri_ = NewAttribute("Color Value", {});
  numberAttri_ = NewAttribute("Number", {});
  stringAttri_ = NewAttribute("String", {});
  symbolAttri_ = NewAttribute("Symbol", {});
  textAttri_ = NewAttribute("Text", {});
  valueAttri_ = NewAttribute("Value", {}, 0x00FF8000);
  // By kind: comment, property, selector text, end of line, space, string, symbol, text,
  // unknown property, value, colour, number. No identifier or symbol look among the defaults.
  FinishAttributes({commentAttri_, propertyAttri_, keyAttri_, nullptr, spaceAttri_, stringAttri_, symbolAttri_,
                    textAttri_, undefPropertyAttri_, valueAttri_, colourAttri_, numberAttri_},
                   {commentAttri_, nullptr, keyAttri_, stringAttri_, spaceAttri_, nullptr});
  MakeMethodTables();
  EnumerateKeywords(csProperty, CssPropertyNames, KeywordChars(),
                    [this](const AnsiString& k, int kind) { DoAddKeyword(k, kind); });
  SetDefaultFilter(kDefaultFilter);
}

TSrcCssSrc::~TSrcCssSrc() = default;

void TSrcCssSrc::MakeMethodTables() {
  // A tab ends a run of blanks here, so every tab is a token of its own.
  InitSteps(&TSrcCssSrc::NameOrValueProc, false);
  SetSteps("\"", &TSrcCssSrc::StringProc);
  SetSteps("#", &TSrcCssSrc::ColourProc);
  SetSteps("/", &TSrcCssSrc::SlashProc);
  SetSteps("{", &TSrcCssSrc::BraceOpenProc);
  SetSteps("}", &TSrcCssSrc::BraceCloseProc);
  SetSteps(":,", &TSrcCssSrc::ColonOrCommaProc);
  SetSteps(";", &TSrcCssSrc::SemicolonProc);
  SetSteps(".", &TSrcCssSrc::NumberProc);
  SetStepRange('0', '9', &TSrcCssSrc::NumberProc);
}

TSysCharSet TSrcCssSrc::GetIdentChars() const {
  // The word characters of the editor's word operations: the property names' characters and
  // the Cyrillic letters of the text around them.
  return KeywordChars() + CyrillicLetters();
}

AnsiString TSrcCssSrc::GetSampleSource() const { return kSampleSource; }

bool TSrcCssSrc::IsFilterStored() const { return GetDefaultFilter() != kDefaultFilter; }

TSrcRange TSrcCssSrc::GetRange() const {
  uintptr_t v = range_;
  if (range_ == csrComment) v |= uintptr_t(rangeBeforeComment_) << 8;
  return ByteRange(v);
}

void TSrcCssSrc::SetRange(TSrcRange Value) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(Value);
  range_ = RangeByte(Value);
  if (range_ == csrComment) {
    // The end of a comment goes back to the state before it; a value that does not say which
    // one (no comment opens inside a comment) goes back to selector text.
    auto before = static_cast<TSrcCssRangeState>((v >> 8) & 0xFF);
    rangeBeforeComment_ = before == csrComment ? csrSelector : before;
  }
}

int TSrcCssSrc::KeyHash(const char* Pos) {
  keyStart_ = Pos;
  int h = 0;
  const char* p = Pos;
  for (; IsNameChar(static_cast<unsigned char>(*p)); ++p) h += CssHashTable[static_cast<unsigned char>(*p)];
  for (; IsDigit(static_cast<unsigned char>(*p)); ++p) h += *p - '0';
  keyLen_ = static_cast<size_t>(p - Pos);
  return h;
}

bool TSrcCssSrc::KeyComp(const AnsiString& Keyword) const {
  if (Keyword.size() != keyLen_) return false;
  for (size_t i = 0; i < keyLen_; ++i)
    if (CssHashTable[static_cast<unsigned char>(Keyword[i])] != CssHashTable[static_cast<unsigned char>(keyStart_[i])])
      return false;
  return true;
}

void TSrcCssSrc::DoAddKeyword(const AnsiString& AKeyword, int AKind) {
  const int hash = KeyHash(AKeyword.c_str());
  keywords_->Put(hash, new TSrcHashEntry(AKeyword, AKind));
}

TSrcCssTokenKind TSrcCssSrc::IdentKind(size_t Pos) {
  const int hash = KeyHash(line_ + Pos);
  for (const TSrcHashEntry* e = keywords_->Get(hash); e; e = e->NextEntry()) {
    if (keyLen_ < static_cast<size_t>(e->KeywordLength())) break;
    if (keyLen_ == static_cast<size_t>(e->KeywordLength()) && KeyComp(e->Keyword()))
      return static_cast<TSrcCssTokenKind>(e->EntryKind());
  }
  return csUndefProperty;
}

int TSrcCssSrc::NextTokens(TSrcTokenSpan* Out, int Max) { return ScanTokenBatch(*this, Out, Max); }
TSrcRange TSrcCssSrc::ScanLineRange(std::string_view Line, int LineNumber) {
  return ScanRangeByTokens(*this, Line, LineNumber);
}

void TSrcCssSrc::Next() {
  tokenPos_ = run_;
  switch (range_) {
    case csrComment: ContinueComment(); break;
    case csrSelector: SelectorScan(); break;
    default: Dispatch(); break;
  }
}

void TSrcCssSrc::ContinueComment() {
  if (Ch(run_) == 0 && run_ >= lineLen_) {
    tokenKind_ = csNull;
    return;
  }
  tokenKind_ = csComment;
  // Line breaks do not end a comment token: only the end of the line does.
  for (;;) {
    if (line_[run_] == '*' && line_[run_ + 1] == '/') {
      run_ += 2;
      range_ = rangeBeforeComment_;
      return;
    }
    ++run_;
    if (run_ >= lineLen_) return;
  }
}

void TSrcCssSrc::SelectorScan() {
  if (kSelectorStops[Ch(run_)]) {
    Dispatch();
    return;
  }
  tokenKind_ = csKey;
  while (!kSelectorStops[Ch(run_)]) ++run_;
}

void TSrcCssSrc::SlashProc() {
  ++run_;
  if (line_[run_] != '*') {
    tokenKind_ = csSymbol;
    return;
  }
  tokenKind_ = csComment;
  rangeBeforeComment_ = static_cast<TSrcCssRangeState>(range_);
  range_ = csrComment;
  ++run_;
  if (AtBreak(run_)) return;
  ContinueComment();
}

void TSrcCssSrc::SymbolStep(TSrcCssRangeState NewRange) {
  tokenKind_ = csSymbol;
  ++run_;
  range_ = NewRange;
}

void TSrcCssSrc::StringProc() {
  tokenKind_ = csString;
  for (++run_; !AtBreak(run_); ++run_)
    if (line_[run_] == '"') {
      ++run_;
      return;
    }
}

void TSrcCssSrc::ColourProc() {
  tokenKind_ = csColour;
  for (++run_; IsHexDigit(Ch(run_)); ++run_) {
  }
}

void TSrcCssSrc::NumberProc() {
  tokenKind_ = csNumber;
  for (++run_;; ++run_) {
    const unsigned char c = Ch(run_);
    if (IsDigit(c)) continue;
    if (c != '.' || line_[run_ + 1] == '.') return;
  }
}

void TSrcCssSrc::NameOrValueProc() {
  if (range_ == csrValue) {
    range_ = csrBlock;
    tokenKind_ = csValue;
    for (; !AtBreak(run_); ++run_) {
      const char c = line_[run_];
      if (c == ',' || c == ';' || c == '}') return;
    }
    return;
  }
  tokenKind_ = IdentKind(run_);
  ++run_;
  while (!kNameStops[Ch(run_)]) ++run_;
}
