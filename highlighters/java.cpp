#include "highlighters/java.h"

#include <cstring>
#include <iterator>

namespace {
constexpr bool IsJavaLetter(int c) {
  return c == '$' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7);
}
}  // namespace

constexpr TSrcCharFlags MakeJavaIdentTable() {
  TSrcCharFlags t{};
  for (int c = 0; c < 256; ++c) t[c] = IsJavaLetter(c) || (c >= '0' && c <= '9');
  return t;
}
constexpr TSrcCharHashes MakeJavaHashTable() {
  // Capitals 1..26, small letters 2..27, so a small letter never hashes like its capital.
  TSrcCharHashes t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = c - 64;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = c - 95;
  for (int c = 0xC0; c <= 0xFF; ++c)
    if (c != 0xD7 && c != 0xF7) t[c] = c - 95;
  return t;
}
constinit const TSrcCharFlags JavaIdentTable = MakeJavaIdentTable();
constinit const TSrcCharHashes JavaHashTable = MakeJavaHashTable();

namespace {

const char* const kReservedWords[] = {
    "abstract", "assert", "boolean", "break", "byte", "case", "catch", "char", "class", "const",
    "continue", "default", "do", "double", "else", "extends", "false", "final", "finally", "float",
    "for", "goto", "if", "implements", "import", "instanceof", "int", "interface", "long", "native",
    "new", "null", "package", "private", "protected", "public", "return", "short", "static",
    "strictfp", "super", "switch", "synchronized", "this", "throw", "throws", "transient", "true",
    "try", "void", "volatile", "while",
};

// Names hashing to 173 or more are never looked up.
constexpr int kKeywordBuckets = 173;

int HashOf(const char* s) {
  int h = 0;
  for (; JavaIdentTable[static_cast<unsigned char>(*s)]; ++s) h += JavaHashTable[static_cast<unsigned char>(*s)];
  return h;
}

const TSrcKeywordBuckets& Keywords() {
  static const TSrcKeywordBuckets table = [] {
    TSrcKeywordBuckets t(kKeywordBuckets);
    t.Add(kReservedWords, std::size(kReservedWords), jvKey, HashOf);
    t.Build();
    return t;
  }();
  return table;
}

const char kSampleSource[] =
    "/* Java syntax highlighting */\r\n"
    "import java.util.*;\r\n"
    "\r\n"
    "/** Example class */\r\n"
    "public class Sample {\r\n"
    "  public static void main(String[] args) {\r\n"
    "    int i = 0;\r\n"
    "    for(i = 0; i < 10; i++)\r\n"
    "      System.out.println(\"Hello world\");\r\n"
    "  }\r\n"
    "}";

// Characters of a number after its first one.
constexpr TSrcCharFlags kNumberChars = [] {
  TSrcCharFlags t{};
  for (const char* s = "-.0123456789ABCDEFLXabcdeflx"; *s; ++s) t[static_cast<unsigned char>(*s)] = true;
  return t;
}();

AnsiString LanguageName() { return TSrcJavaSrc::ClassLanguageName(); }
TSrcHighlighterCapabilities Capabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
TSrcCustomHighlighter* Create(TComponent* Owner) { return new TSrcJavaSrc(Owner); }

}  // namespace

const TSrcHighlighterClassInfo TSrcJavaSrc::ClassInfo = {
    "TSrcJavaSrc", &TSrcCustomHighlighter::ClassInfo, &LanguageName, &Capabilities, &Create};

TSrcJavaSrc::TSrcJavaSrc(TComponent* AOwner) : TSrcTokenScanner(AOwner, jvNull, jvSpace, jvrNormal) {
  commentAttri_ = NewAttribute("Comment", {fsItalic});
  documentAttri_ = NewAttribute("Documentation", {fsItalic});
  identifierAttri_ = NewAttribute("Identifier", {});
  invalidAttri_ = NewAttribute("Invalid Symbol", {});
  keyAttri_ = NewAttribute("Reserved Word", {fsBold});
  numberAttri_ = NewAttribute("Number", {});
  spaceAttri_ = NewAttribute("Space", {}, clWindow);
  stringAttri_ = NewAttribute("String", {});
  symbolAttri_ = NewAttribute("Symbol", {});
  // By kind: comment, documentation, identifier, invalid, key, end of line, number, space,
  // string, symbol, illegal character (painted as invalid).
  FinishAttributes({commentAttri_, documentAttri_, identifierAttri_, invalidAttri_, keyAttri_, nullptr, numberAttri_,
                    spaceAttri_, stringAttri_, symbolAttri_, invalidAttri_},
                   {commentAttri_, identifierAttri_, keyAttri_, stringAttri_, spaceAttri_, symbolAttri_});
  Keywords();
  MakeMethodTables();
  SetDefaultFilter("Java Files (*.java)|*.java");
}

void TSrcJavaSrc::MakeMethodTables() {
  // Backslash, backquote, #127..#191, #$D7 and #$F7 are characters Java does not use.
  InitSteps(&TSrcJavaSrc::IllegalProc);
  SetSteps("\"'", &TSrcJavaSrc::StringProc);
  SetSteps(".", &TSrcJavaSrc::PointProc);
  SetSteps("/", &TSrcJavaSrc::SlashProc);
  SetSteps("#@", &TSrcJavaSrc::InvalidProc);
  SetSteps("!%&*+-<=>^|", &TSrcJavaSrc::OperatorProc);
  SetSteps("(),:;?[]{}~", &TSrcJavaSrc::SymbolProc);
  SetStepRange('0', '9', &TSrcJavaSrc::NumberProc);
  for (int c = 0; c < 256; ++c)
    if (IsJavaLetter(c)) SetStepRange(c, c, &TSrcJavaSrc::IdentProc);
}

TSysCharSet TSrcJavaSrc::GetIdentChars() const {
  // The scanner's identifier characters, and for the editor's word operations every Cyrillic
  // letter besides: the scanner's table itself stays as it is (Ч, ч, Ё and ё are not letters
  // of a Java name).
  TSysCharSet s;
  for (int c = 0; c < 256; ++c)
    if (JavaIdentTable[c]) s.Add(static_cast<unsigned char>(c));
  return s + CyrillicLetters();
}

AnsiString TSrcJavaSrc::GetSampleSource() const { return kSampleSource; }

int TSrcJavaSrc::NextTokens(TSrcTokenSpan* Out, int Max) { return ScanTokenBatch(*this, Out, Max); }
TSrcRange TSrcJavaSrc::ScanLineRange(std::string_view Line, int LineNumber) {
  return ScanRangeByTokens(*this, Line, LineNumber);
}

void TSrcJavaSrc::Next() {
  tokenPos_ = run_;
  if (range_ == jvrComment || range_ == jvrDocument) {
    ContinueComment();
    return;
  }
  range_ = jvrNormal;
  Dispatch();
}

void TSrcJavaSrc::ContinueComment() {
  if (AtBreak(run_)) {
    Dispatch();  // the end of the line or a line break, as anywhere else
    return;
  }
  tokenKind_ = range_ == jvrComment ? jvComment : jvDocument;
  if (ScanToCloser('*', '/')) range_ = jvrNormal;
}

void TSrcJavaSrc::SlashProc() {
  switch (line_[run_ + 1]) {
    case '*': {
      const bool doc = line_[run_ + 2] == '*';
      tokenKind_ = doc ? jvDocument : jvComment;
      range_ = doc ? jvrDocument : jvrComment;
      run_ += 2;  // the search for the end starts right after "/*"
      if (ScanToCloser('*', '/')) range_ = jvrNormal;
      break;
    }
    case '/':
      RestOfLineStep(jvComment);
      break;
    default:
      OperatorProc();
      break;
  }
}

void TSrcJavaSrc::OperatorProc() {
  // The longest operator that starts here: the first character, then as many of the ones that
  // may follow it as the operator allows.
  tokenKind_ = jvSymbol;
  const char c = line_[run_], n1 = line_[run_ + 1];
  size_t len = 1;
  switch (c) {
    case '&': case '|': case '+': case '-':
      if (n1 == c || n1 == '=') len = 2;
      break;
    case '<':
      if (n1 == '<') len = line_[run_ + 2] == '=' ? 3 : 2;
      else if (n1 == '=') len = 2;
      break;
    case '>':
      if (n1 == '>') {
        len = 2;
        if (line_[run_ + 2] == '>') len = line_[run_ + 3] == '=' ? 4 : 3;
        else if (line_[run_ + 2] == '=') len = 3;
      } else if (n1 == '=') {
        len = 2;
      }
      break;
    default:  // ! % * / = ^
      if (n1 == '=') len = 2;
      break;
  }
  run_ += len;
}

void TSrcJavaSrc::PointProc() {
  if (Ch(run_ + 1) >= '0' && Ch(run_ + 1) <= '9') {
    NumberProc();
    return;
  }
  SymbolProc();
}

void TSrcJavaSrc::NumberProc() {
  tokenKind_ = jvNumber;
  run_ += line_[run_] == '.' ? 2 : 1;
  for (;;) {
    unsigned char c = Ch(run_);
    if (!kNumberChars[c] || (c == '.' && line_[run_ + 1] == '.')) return;
    ++run_;
  }
}

void TSrcJavaSrc::StringProc() {
  tokenKind_ = jvString;
  const char close = line_[run_];
  if (close == '"' && line_[run_ + 1] == '"' && line_[run_ + 2] == '"') run_ += 2;
  for (;;) {
    if (AtBreak(run_)) break;
    // A backslash escapes the next character, the closing one included.
    if (line_[run_] == '\\' && run_ + 1 < lineLen_) ++run_;
    ++run_;
    if (line_[run_] == close) break;
  }
  if (run_ < lineLen_) ++run_;
}

void TSrcJavaSrc::IdentProc() { tokenKind_ = NameStep(JavaIdentTable, JavaHashTable, Keywords(), jvIdentifier); }
