#include "highlighters/pascal.h"

#include <iterator>
#include <memory>

constexpr TSrcCharFlags MakePasIdentTable() {
  TSrcCharFlags t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = t[c + 32] = true;
  t['_'] = true;
  return t;
}
constexpr TSrcCharHashes MakePasHashTable() {
  TSrcCharHashes t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = t[c + 32] = c - 'A' + 1;
  t['_'] = 31;
  return t;
}
constinit const TSrcCharFlags PasIdentTable = MakePasIdentTable();
constinit const TSrcCharHashes PasHashTable = MakePasHashTable();

// The colour sets live in this program's own part of the registry: one sub-key per set of
// settings, machine-wide to list them and per user to hold them.
const char* const TSrcPasSrc::UserSettingsMachineKey = "\\Software\\Vantry Tarn\\Pascal Colours";
const char* const TSrcPasSrc::UserSettingsUserKey = "\\Software\\Vantry Tarn\\Pascal Colours";

namespace {

// When a keyword counts: at every dialect level, from a level on, in package sources, or only
// in the context of a property declaration or an exports clause.
enum : int {
  kAlways,
  kFromVersion2,
  kFromVersion3,
  kFromVersion4,
  kVersion6,
  kPackage,
  kProperty,
  kPropertyFromVersion3,
  kPropertyFromVersion4,
  kPropertyOrExports,
  kExports,
};
// What a keyword does to the range besides being one.
constexpr int kOpensAsm = 1 << 8, kEnds = 2 << 8, kOpensProperty = 3 << 8, kOpensExports = 4 << 8;

const char* const kAlwaysWords[] = {
    "absolute", "abstract", "and", "array", "as", "assembler", "begin", "case", "class", "const",
    "constructor", "default", "destructor", "div", "do", "downto", "dynamic", "else", "except", "export",
    "external", "far", "file", "finally", "for", "forward", "function", "goto", "if", "implementation", "in",
    "inherited", "initialization", "inline", "interface", "is", "label", "library", "message", "mod", "near",
    "nil", "not", "object", "of", "on", "or", "out", "override", "packed", "pascal", "private", "procedure",
    "program", "protected", "public", "published", "raise", "record", "register", "repeat", "set", "shl",
    "shr", "string", "then", "to", "try", "type", "unit", "until", "uses", "var", "virtual", "while", "with",
    "xor",
};
const char* const kVersion2Words[] = {"cdecl", "finalization", "stdcall"};
const char* const kVersion3Words[] = {"automated", "dispid", "dispinterface", "resourcestring", "safecall",
                                      "stringresource", "threadvar"};
const char* const kVersion4Words[] = {"overload", "reintroduce"};
const char* const kVersion6Words[] = {"deprecated", "platform"};
const char* const kPackageWords[] = {"contains", "package", "requires"};
const char* const kPropertyWords[] = {"nodefault", "read", "stored", "write"};
const char* const kPropertyVersion3Words[] = {"readonly", "writeonly"};
const char* const kPropertyVersion4Words[] = {"implements"};
const char* const kPropertyOrExportsWords[] = {"index"};
const char* const kExportsWords[] = {"name"};
const char* const kAsm[] = {"asm"};
const char* const kEnd[] = {"end"};
const char* const kPropertyWord[] = {"property"};
const char* const kExportsWord[] = {"exports"};

// Names hashing to 192 or more are never looked up.
constexpr int kKeywordBuckets = 192;

// The sum of the hashes of the letters that begin s.
int HashOf(const char* s) {
  int h = 0;
  for (; PasHashTable[static_cast<unsigned char>(*s)] && *s != '_'; ++s) h += PasHashTable[static_cast<unsigned char>(*s)];
  return h;
}

const TSrcKeywordBuckets& Keywords() {
  static const TSrcKeywordBuckets table = [] {
    TSrcKeywordBuckets t(kKeywordBuckets);
    auto add = [&t](const auto& words, int kind) { t.Add(words, std::size(words), kind, HashOf); };
    add(kAlwaysWords, kAlways);
    add(kVersion2Words, kFromVersion2);
    add(kVersion3Words, kFromVersion3);
    add(kVersion4Words, kFromVersion4);
    add(kVersion6Words, kVersion6);
    add(kPackageWords, kPackage);
    add(kPropertyWords, kProperty);
    add(kPropertyVersion3Words, kPropertyFromVersion3);
    add(kPropertyVersion4Words, kPropertyFromVersion4);
    add(kPropertyOrExportsWords, kPropertyOrExports);
    add(kExportsWords, kExports);
    add(kAsm, kAlways | kOpensAsm);
    add(kEnd, kAlways | kEnds);
    add(kPropertyWord, kAlways | kOpensProperty);
    add(kExportsWord, kAlways | kOpensExports);
    t.Build();
    return t;
  }();
  return table;
}

const char kDefaultFilter[] = "Pascal Files (*.pas;*.pp;*.dpr;*.dpk;*.inc)|*.pas;*.pp;*.dpr;*.dpk;*.inc";

const char kSampleSource[] =
    "{ Syntax highlighting }\r\n"
    "procedure TForm1.Button1Click(Sender: TObject);\r\n"
    "var\r\n"
    "  Number, I, X: Integer;\r\n"
    "  S: string; R: Real;\r\n"
    "begin\r\n"
    "  Number := 123456;\r\n"
    "  S := 'The number is ' + #65;\r\n"
    "  for I := 0 to Number do\r\n"
    "  begin\r\n"
    "    Inc(X);\r\n"
    "    Dec(X);\r\n"
    "    R := X + 1.0 + $FF;\r\n"
    "    {$R+}\r\n"
    "    {$Q-}\r\n"
    "    asm\r\n"
    "      MOV AX,1234H\r\n"
    "      MOV Number,AX\r\n"
    "    end;\r\n"
    "  end;\r\n"
    "end;";

constexpr bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

AnsiString LanguageName() { return TSrcPasSrc::ClassLanguageName(); }
TSrcHighlighterCapabilities Capabilities() { return TSrcPasSrc::ClassCapabilities(); }
TSrcCustomHighlighter* Create(TComponent* Owner) { return new TSrcPasSrc(Owner); }

}  // namespace

const TSrcHighlighterClassInfo TSrcPasSrc::ClassInfo = {
    "TSrcPasSrc", &TSrcCustomHighlighter::ClassInfo, &LanguageName, &Capabilities, &Create};

TSrcPasSrc::TSrcPasSrc(TComponent* AOwner) : TSrcTokenScanner(AOwner, ptNull, ptSpace, prUnknown) {
  asmAttri_ = NewAttribute("Assembler", {});
  commentAttri_ = NewAttribute("Comment", {fsItalic});
  directiveAttri_ = NewAttribute("Preprocessor", {fsItalic});
  identifierAttri_ = NewAttribute("Identifier", {});
  keyAttri_ = NewAttribute("Reserved Word", {fsBold});
  numberAttri_ = NewAttribute("Number", {});
  floatAttri_ = NewAttribute("Float", {});
  hexAttri_ = NewAttribute("Hexadecimal", {});
  spaceAttri_ = NewAttribute("Space", {});
  stringAttri_ = NewAttribute("String", {});
  charAttri_ = NewAttribute("Character", {});
  symbolAttri_ = NewAttribute("Symbol", {});
  // By kind: assembler, comment, identifier, key, end of line, number, space, string, symbol,
  // other character, float, hexadecimal, directive, character code.
  FinishAttributes({asmAttri_, commentAttri_, identifierAttri_, keyAttri_, nullptr, numberAttri_, spaceAttri_,
                    stringAttri_, symbolAttri_, symbolAttri_, floatAttri_, hexAttri_, directiveAttri_, charAttri_},
                   {commentAttri_, identifierAttri_, keyAttri_, stringAttri_, spaceAttri_, symbolAttri_});
  Keywords();
  MakeMethodTables();
  SetDefaultFilter(kDefaultFilter);
}

void TSrcPasSrc::MakeMethodTables() {
  InitSteps(&TSrcPasSrc::SymbolProc);
  SetSteps("#", &TSrcPasSrc::AsciiCharProc);
  SetSteps("$", &TSrcPasSrc::HexProc);
  SetSteps("'", &TSrcPasSrc::StringProc);
  SetSteps("(", &TSrcPasSrc::RoundOpenProc);
  SetSteps(".", &TSrcPasSrc::PointProc);
  SetSteps("/", &TSrcPasSrc::SlashProc);
  SetSteps(":>", &TSrcPasSrc::ColonOrGreaterProc);
  SetSteps(";", &TSrcPasSrc::SemicolonProc);
  SetSteps("<", &TSrcPasSrc::LowerProc);
  SetSteps("@", &TSrcPasSrc::AddressOpProc);
  SetSteps("{", &TSrcPasSrc::BraceOpenProc);
  SetSteps("|", &TSrcPasSrc::UnknownProc);
  SetStepRange(127, 255, &TSrcPasSrc::UnknownProc);
  SetStepRange('0', '9', &TSrcPasSrc::NumberProc);
  SetStepRange('A', 'Z', &TSrcPasSrc::IdentProc);
  SetStepRange('a', 'z', &TSrcPasSrc::IdentProc);
  SetSteps("_", &TSrcPasSrc::IdentProc);
}

TSysCharSet TSrcPasSrc::GetIdentChars() const {
  // The word characters of the editor's word operations; the scanner does not read them.
  TSysCharSet s;
  s.AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z');
  return s + CyrillicLetters();
}

AnsiString TSrcPasSrc::GetSampleSource() const { return kSampleSource; }

bool TSrcPasSrc::IsFilterStored() const { return GetDefaultFilter() != kDefaultFilter; }

void TSrcPasSrc::SetPascalVersion(TPascalVersion Value) {
  if (pascalVersion_ == Value) return;
  pascalVersion_ = Value;
  if (pascalVersion_ < pvVersion3) packageSource_ = false;
  AttributeChanged(this);
}

void TSrcPasSrc::SetPackageSource(bool Value) {
  if (packageSource_ == Value) return;
  packageSource_ = Value;
  if (packageSource_ && pascalVersion_ < pvVersion3) pascalVersion_ = pvVersion3;
  AttributeChanged(this);
}

int TSrcPasSrc::GetTokenKind() const {
  if (range_ == prAsm && !asmStart_ && tokenKind_ != ptComment && tokenKind_ != ptSpace && tokenKind_ != ptNull)
    return ptAsm;
  return tokenKind_;
}

int TSrcPasSrc::NextTokens(TSrcTokenSpan* Out, int Max) { return ScanTokenBatch(*this, Out, Max); }
TSrcRange TSrcPasSrc::ScanLineRange(std::string_view Line, int LineNumber) {
  return ScanRangeByTokens(*this, Line, LineNumber);
}

void TSrcPasSrc::Next() {
  asmStart_ = false;
  tokenPos_ = run_;
  switch (range_) {
    case prAnsi: case prAnsiAsm: AnsiScan(); break;
    case prBor: case prBorAsm: BorScan(); break;
    default: Dispatch(); break;
  }
}

void TSrcPasSrc::AnsiScan() {
  if (AtBreak(run_)) {
    Dispatch();
    return;
  }
  tokenKind_ = ptComment;
  if (ScanToCloser('*', ')')) range_ = range_ == prAnsiAsm ? prAsm : prUnknown;
}

void TSrcPasSrc::BorScan() {
  if (AtBreak(run_)) {
    Dispatch();
    return;
  }
  tokenKind_ = line_[run_ + 1] == '$' ? ptDirective : ptComment;
  for (; !AtBreak(run_); ++run_)
    if (line_[run_] == '}') {
      ++run_;
      range_ = range_ == prBorAsm ? prAsm : prUnknown;
      return;
    }
}

void TSrcPasSrc::BraceOpenProc() {
  range_ = range_ == prAsm ? prBorAsm : prBor;
  BorScan();
}

void TSrcPasSrc::RoundOpenProc() {
  tokenKind_ = ptSymbol;
  switch (line_[run_ + 1]) {
    case '*':
      tokenKind_ = ptComment;
      range_ = range_ == prAsm ? prAnsiAsm : prAnsi;
      run_ += 2;
      if (ScanToCloser('*', ')')) range_ = range_ == prAnsiAsm ? prAsm : prUnknown;
      break;
    case '.':
      run_ += 2;
      break;
    default:
      ++run_;
      break;
  }
}

void TSrcPasSrc::AsciiCharProc() {
  tokenKind_ = ptChar;
  for (++run_; Ch(run_) == '$' || IsHexDigit(Ch(run_)); ++run_) {
  }
}

void TSrcPasSrc::HexProc() {
  tokenKind_ = ptHex;
  for (++run_; IsHexDigit(Ch(run_)); ++run_) {
  }
}

void TSrcPasSrc::StringProc() {
  tokenKind_ = ptString;
  for (++run_; !AtBreak(run_); ++run_) {
    if (line_[run_] != '\'') continue;
    if (line_[run_ + 1] != '\'') {
      ++run_;
      return;
    }
    ++run_;  // two apostrophes in a row stand for one inside the string
  }
}

void TSrcPasSrc::SlashProc() {
  if (line_[run_ + 1] == '/' && pascalVersion_ >= pvVersion2) {
    RestOfLineStep(ptComment);
    return;
  }
  SymbolProc();
}


void TSrcPasSrc::NumberProc() {
  tokenKind_ = ptNumber;
  for (++run_;; ++run_) {
    const unsigned char c = Ch(run_);
    if (c >= '0' && c <= '9') continue;
    if (c == '.') {
      if (line_[run_ + 1] == '.') return;  // a range: the dots are not part of the number
      tokenKind_ = ptFloat;
    } else if (c == 'E' || c == 'e') {
      tokenKind_ = ptFloat;
    } else if (c == '+' || c == '-') {
      if (tokenKind_ != ptFloat || (line_[run_ - 1] != 'E' && line_[run_ - 1] != 'e')) return;
    } else {
      return;
    }
  }
}

void TSrcPasSrc::SemicolonProc() {
  tokenKind_ = ptSymbol;
  ++run_;
  if (range_ == prProperty || range_ == prExports) range_ = prUnknown;
}

bool TSrcPasSrc::KeywordAllowed(int Condition) const {
  switch (Condition) {
    case kAlways: return true;
    case kFromVersion2: return pascalVersion_ >= pvVersion2;
    case kFromVersion3: return pascalVersion_ >= pvVersion3;
    case kFromVersion4: return pascalVersion_ >= pvVersion4;
    case kVersion6: return pascalVersion_ == pvVersion6;
    case kPackage: return packageSource_;
    case kProperty: return range_ == prProperty;
    case kPropertyFromVersion3: return range_ == prProperty && pascalVersion_ >= pvVersion3;
    case kPropertyFromVersion4: return range_ == prProperty && pascalVersion_ >= pvVersion4;
    case kPropertyOrExports: return range_ == prProperty || range_ == prExports;
    case kExports: return range_ == prExports;
    default: return false;
  }
}

TSrcPasTokenKind TSrcPasSrc::IdentKind() {
  // The letters that begin the name; a digit or '_' after them makes it longer than any keyword.
  int hash = 0;
  size_t p = run_;
  for (; PasHashTable[Ch(p)] && Ch(p) != '_'; ++p) hash += PasHashTable[Ch(p)];
  size_t len = p - run_;
  if (PasIdentTable[Ch(p)]) ++len;
  const char* name = line_ + run_;
  const auto* e = Keywords().Find(hash, len, [&](const char* k) {
    for (size_t i = 0; i < len; ++i)
      if (PasHashTable[static_cast<unsigned char>(k[i])] != PasHashTable[static_cast<unsigned char>(name[i])]) return false;
    return true;
  });
  if (!e || !KeywordAllowed(e->Kind & 0xFF)) return ptIdentifier;
  switch (e->Kind & ~0xFF) {
    case kOpensAsm:
      range_ = prAsm;
      asmStart_ = true;
      break;
    case kEnds: range_ = prUnknown; break;
    case kOpensProperty: range_ = prProperty; break;
    case kOpensExports: range_ = prExports; break;
    default: break;
  }
  return ptKey;
}

void TSrcPasSrc::IdentProc() {
  tokenKind_ = IdentKind();
  SkipWhile(PasIdentTable);
}

void TSrcPasSrc::EnumUserSettings(TStrings* Settings) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly(UserSettingsMachineKey)) return;
  Settings->Clear();
  reg.GetKeyNames(Settings);
}

bool TSrcPasSrc::UseUserSettings(int SettingIndex) {
  static const char* const kSetNames[] = {"Assembler", "Comment", "Identifier", "Reserved word",
                                          "Number",    "Whitespace", "String",   "Symbol"};
  try {
    TStringList versions;
    EnumUserSettings(&versions);
    if (SettingIndex < 0 || SettingIndex >= versions.Count()) return false;
    const AnsiString version = versions.Get(SettingIndex);
    const bool oneValue = !version.empty() && (version[0] == '2' || version[0] == '3');
    const AnsiString key = AnsiString(UserSettingsUserKey) + "\\" + version + (oneValue ? "\\Highlight" : "\\Editor\\Highlight");
    std::unique_ptr<TSrcHighlighterAttributes> sets[std::size(kSetNames)];
    for (size_t i = 0; i < std::size(kSetNames); ++i) {
      AnsiString valueName = kSetNames[i];
      if (oneValue)
        for (char& c : valueName)
          if (c == ' ') c = '_';
      sets[i] = std::make_unique<TSrcHighlighterAttributes>(kSetNames[i]);
      if (!sets[i]->LoadFromLegacyRegistry(HKEY_CURRENT_USER, key, valueName, oneValue)) return false;
    }
    asmAttri_->AssignColorAndStyle(sets[0].get());
    commentAttri_->AssignColorAndStyle(sets[1].get());
    directiveAttri_->AssignColorAndStyle(sets[1].get());
    identifierAttri_->AssignColorAndStyle(sets[2].get());
    keyAttri_->AssignColorAndStyle(sets[3].get());
    numberAttri_->AssignColorAndStyle(sets[4].get());
    floatAttri_->AssignColorAndStyle(sets[4].get());
    hexAttri_->AssignColorAndStyle(sets[4].get());
    spaceAttri_->AssignColorAndStyle(sets[5].get());
    stringAttri_->AssignColorAndStyle(sets[6].get());
    charAttri_->AssignColorAndStyle(sets[6].get());
    symbolAttri_->AssignColorAndStyle(sets[7].get());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
