#include "editor-services/regex/regex_engine.h"

#include <algorithm>
#include <cstring>
#include <string.h>  // memmem

#include "editor-services/regex/regex_program.h"

namespace {

using namespace regex_program;

inline unsigned char UC(char c) { return static_cast<unsigned char>(c); }

// The next place of ch from from on, end when there is none before end.
inline const char* FindChar(const char* from, const char* end, char ch) {
  const void* hit = std::memchr(from, ch, static_cast<size_t>(end - from));
  return hit ? static_cast<const char*>(hit) : end;
}

unsigned char DefaultCaseInverter(unsigned char c) {
  unsigned char u = AnsiUpperChar(c);
  return u != c ? u : AnsiLowerChar(c);
}

}  // namespace

TRegexEngine::TRegexEngine() {
  ClearGroups();
  groupsTouched_ = false;
  std::memset(loopStack_, 0, sizeof loopStack_);
  std::memset(firstCharSet_, 0, sizeof firstCharSet_);
  std::memset(lineSepSet_, 0, sizeof lineSepSet_);
  modifiers_ = kDefaultModifiers;
  SetWhitespaceChars(AnsiString(" \t\n\r\f"));
  SetWordCharacters("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");
  SetCaseInverter(DefaultCaseInverter);
  LineSeparatorChars_ = "\r\n";
  linePairedAssigned_ = true;
  linePairedHead_ = '\r';
  linePairedTail_ = '\n';
}

TRegexEngine::~TRegexEngine() = default;

// ---------------------------------------------------------------------------------------------
// Settings

AnsiString TRegexEngine::GetExpression() const {
  return expression_ ? AnsiString(expression_.get()) : AnsiString();
}

void TRegexEngine::SetExpression(const AnsiString& value) {
  const char* stored = expression_ ? expression_.get() : "";
  // The stored copy ends at the first NUL, so compare the text up to there.
  AnsiString text(value.c_str());
  if (text == stored && compiled_) return;
  compiled_ = false;
  expression_.reset();
  if (!text.empty()) {
    expression_ = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(expression_.get(), text.c_str(), text.size() + 1);
  }
  // The program of the old text is stale either way; an empty text leaves no program, so the
  // next match reports the missing expression instead of running the old one.
  DiscardProgram();
}

bool TRegexEngine::GetModifier(int n) {
  if (n < 1 || n > 6) RaiseError(reeModifierUnsupported);
  return (modifiers_ & (1u << (n - 1))) != 0;
}

void TRegexEngine::SetModifier(int n, bool on) {
  if (n < 1 || n > 6) RaiseError(reeModifierUnsupported);
  uint32_t mask = 1u << (n - 1);
  if (on)
    modifiers_ |= mask;
  else
    modifiers_ &= ~mask;
}

void TRegexEngine::SetWhitespaceChars(const AnsiString& value) {
  WhitespaceChars_ = value;
  std::memset(spaceSet_, 0, sizeof spaceSet_);
  for (unsigned char c : value) spaceSet_[c] = 1;
  DiscardProgram();
}

void TRegexEngine::SetWordCharacters(const AnsiString& value) {
  WordCharacters_ = value;
  std::memset(wordSet_, 0, sizeof wordSet_);
  for (unsigned char c : value) wordSet_[c] = 1;
  DiscardProgram();
}

void TRegexEngine::SetLineSeparatorChars(const AnsiString& value) {
  if (value == LineSeparatorChars_) return;
  LineSeparatorChars_ = value;
  lineSepSetBuilt_ = false;
  DiscardProgram();
}

AnsiString TRegexEngine::GetLinePairedSeparator() const {
  if (!linePairedAssigned_) return AnsiString();
  return AnsiString{linePairedHead_, linePairedTail_};
}

void TRegexEngine::SetLinePairedSeparator(const AnsiString& value) {
  if (value.empty()) {
    if (!linePairedAssigned_) return;
    linePairedAssigned_ = false;
  } else if (value.size() == 2 && value[0] != value[1]) {
    if (linePairedAssigned_ && linePairedHead_ == value[0] && linePairedTail_ == value[1]) return;
    linePairedAssigned_ = true;
    linePairedHead_ = value[0];
    linePairedTail_ = value[1];
  } else {
    RaiseError(reeBadLinePairedSeparator);
  }
  DiscardProgram();
}

void TRegexEngine::SetCaseInverter(TRegexCaseInverter inverter) {
  CaseInverter_ = inverter ? std::move(inverter) : TRegexCaseInverter(DefaultCaseInverter);
  for (int c = 0; c < 256; ++c) invert_[c] = CaseInverter_(static_cast<unsigned char>(c));
  DiscardProgram();
}

AnsiString TRegexEngine::RequiredLiteral() const {
  return regMust_ ? AnsiString(regMust_, regMustLen_) : AnsiString();
}

// ---------------------------------------------------------------------------------------------
// Errors

int32_t TRegexEngine::ErrorPosNow() const {
  if (exprStart_ && regParse_) return static_cast<int32_t>(regParse_ - exprStart_);
  return 0;
}

void TRegexEngine::Error(int32_t code) {
  lastError_ = code;
  int32_t pos = ErrorPosNow();
  AnsiString msg = ErrorMsg(code);
  if (code < 1000) msg += " (pos " + IntToStr(pos) + ")";
  throw ERegexEngine(msg, code, pos);
}

void TRegexEngine::RaiseError(int32_t code) {
  Error(code);
  throw ERegexEngine(ErrorMsg(code), code, ErrorPosNow());
}

AnsiString TRegexEngine::ErrorMsg(int32_t code) {
  switch (code) {
    case reeOk: return "No errors";
    case reeCompNullArgument: return "TRegexEngine(comp): Null Argument";
    case reeCompRegexpTooBig: return "TRegexEngine(comp): Regexp Too Big";
    case reeCompParseRegTooManyBrackets: return "TRegexEngine(comp): ParseReg Too Many ()";
    case reeCompParseRegUnmatchedBrackets: return "TRegexEngine(comp): ParseReg Unmatched ()";
    case reeCompParseRegUnmatchedBrackets2: return "TRegexEngine(comp): ParseReg Unmatched ()";
    case reeCompParseRegJunkOnEnd: return "TRegexEngine(comp): ParseReg Junk On End";
    case reePlusStarOperandCouldBeEmpty: return "TRegexEngine(comp): *+ Operand Could Be Empty";
    case reeNestedSQP: return "TRegexEngine(comp): Nested *?+";
    case reeBadHexDigit: return "TRegexEngine(comp): Bad Hex Digit";
    case reeInvalidRange: return "TRegexEngine(comp): Invalid [] Range";
    case reeParseAtomTrailingBackSlash: return "TRegexEngine(comp): Parse Atom Trailing \\";
    case reeNoHexCodeAfterBSlashX: return "TRegexEngine(comp): No Hex Code After \\x";
    case reeHexCodeAfterBSlashXTooBig: return "TRegexEngine(comp): Hex Code After \\x Is Too Big";
    case reeUnmatchedSqBrackets: return "TRegexEngine(comp): Unmatched []";
    case reeInternalUrp: return "TRegexEngine(comp): Internal Urp";
    case reeQPSBFollowsNothing: return "TRegexEngine(comp): ?+*{ Follows Nothing";
    case reeTrailingBackSlash: return "TRegexEngine(comp): Trailing \\";
    case reeRarseAtomInternalDisaster: return "TRegexEngine(comp): RarseAtom Internal Disaster";
    case reeBRACESArgTooBig: return "TRegexEngine(comp): BRACES Argument Too Big";
    case reeBracesMinParamGreaterMax:
      return "TRegexEngine(comp): BRACE Min Param Greater then Max";
    case reeUnclosedComment: return "TRegexEngine(comp): Unclosed (?#Comment)";
    case reeUrecognizedModifier: return "TRegexEngine(comp): Urecognized Modifier";
    case reeBadLinePairedSeparator:
      return "TRegexEngine(comp): LinePairedSeparator must countain two different chars or no "
             "chars at all";
    case reeRegRepeatCalledInappropriately:
      return "TRegexEngine(exec): RegRepeat Called Inappropriately";
    case reeMatchPrimMemoryCorruption: return "TRegexEngine(exec): MatchPrim Memory Corruption";
    case reeMatchPrimCorruptedPointers: return "TRegexEngine(exec): MatchPrim Corrupted Pointers";
    case reeNoExpression: return "TRegexEngine(exec): Not Assigned Expression Property";
    case reeCorruptedProgram: return "TRegexEngine(exec): Corrupted Program";
    case reeNoInputStringSpecified: return "TRegexEngine(exec): No Input String Specified";
    case reeOffsetMustBeGreaterThen0: return "TRegexEngine(exec): Offset Must Be Greater Then 0";
    case reeExecNextWithoutExec: return "TRegexEngine(exec): ExecNext Without Exec[Pos]";
    case reeGetInputStringWithoutInputString:
      return "TRegexEngine(exec): GetInputString Without InputString";
    case reeDumpCorruptedOpcode: return "TRegexEngine(dump): Corrupted Opcode";
    case reeLoopStackExceeded: return "TRegexEngine(exec): Loop Stack Exceeded";
    case reeLoopWithoutEntry: return "TRegexEngine(exec): Loop Without LoopEntry !";
    case reeMatchRecursionTooDeep: return "TRegexEngine(exec): Match Stack Exceeded";
    case reeBadPCodeImported: return "TRegexEngine(misc): Bad p-code imported";
    case reeMatchLimitExceeded: return "TRegexEngine(exec): Match Limit Exceeded";
    default: return "Unknown error";
  }
}


// ---------------------------------------------------------------------------------------------
// The search

void TRegexEngine::ClearGroups() {
  for (int i = 0; i < kRegexSubExprs; ++i) {
    startp_[i] = nullptr;
    endp_[i] = nullptr;
  }
}


void TRegexEngine::PrepareProgram() {
  // Every search starts here: when nothing changed since the last one, nothing is done.
  if (ProgramCurrent()) [[likely]] {
    if (program_[0] != kRegexSignature) RaiseError(reeCorruptedProgram);
    return;
  }
  if (program_ && modifiers_ != progModifiers_) DiscardProgram();
  // The separator set follows LineSeparatorChars; it is rebuilt whenever that text changed.
  if (lineSepSetFor_ != LineSeparatorChars_ || !lineSepSetBuilt_) {
    std::memset(lineSepSet_, 0, sizeof lineSepSet_);
    for (unsigned char ch : LineSeparatorChars_) lineSepSet_[ch] = 1;
    lineSepSetFor_ = LineSeparatorChars_;
    lineSepSetBuilt_ = true;
  }
  if (!program_) Compile();
  if (program_[0] != kRegexSignature) RaiseError(reeCorruptedProgram);
}

// The groups are cleared by the search that follows.
void TRegexEngine::UseInput(const char* data, size_t size) {
  inputBase_ = data;
  inputSize_ = size;
  inputLength_ = size;
  inputBounded_ = false;
  mustFoundAt_ = nullptr;
}

// The input ends at its first NUL; the bound is found once per input, not per search.
void TRegexEngine::BoundInput() {
  const void* nul = std::memchr(inputBase_, 0, inputSize_);
  inputLength_ = nul ? static_cast<size_t>(static_cast<const char*>(nul) - inputBase_) : inputSize_;
  inputBounded_ = true;
}

// The first position from s on (end included) at which a match can begin, s itself for an
// anchored expression; none when there is none. With one or two starting characters, nextA
// and nextB are the next place of each (end when there is none).
const char* TRegexEngine::FirstStart(const char* s, const char* end, const char*& nextA,
                                     const char*& nextB) const {
  if (anchored_) return s;
  auto find = [end](const char* from, char ch) { return FindChar(from, end, ch); };
  if (firstLiteral_ != 0) {
    const char* at = find(s, static_cast<char>(firstLiteral_));
    return at == end ? nullptr : at;
  }
  if (TwoFirstChars()) {
    nextA = find(s, firstChars_[0]);
    nextB = firstCharCount_ == 2 ? find(s, firstChars_[1]) : end;
    const char* at = std::min(nextA, nextB);
    return at == end ? nullptr : at;
  }
  return SkipToFirstChar(s, end);
}

// The first position from p on (the end included) at which a match can begin; none when
// there is none.
const char* TRegexEngine::SkipToFirstChar(const char* p, const char* end) const {
  const uint8_t* set = firstCharSet_;
  while (end - p >= 4) {
    if (set[UC(p[0])]) return p;
    if (set[UC(p[1])]) return p + 1;
    if (set[UC(p[2])]) return p + 2;
    if (set[UC(p[3])]) return p + 3;
    p += 4;
  }
  for (; p < end; ++p)
    if (set[UC(*p)]) return p;
  return set[0] ? end : nullptr;
}

// Whether the required literal occurs from `from` on. An occurrence found by an earlier search
// of the same input still counts while the search starts before it.
bool TRegexEngine::FindRequiredLiteral(const char* from, const char* end) {
  if (mustFoundAt_ && mustFoundAt_ >= from) return true;
  mustFoundAt_ = nullptr;
  const size_t len = static_cast<size_t>(regMustLen_);
  if (static_cast<size_t>(end - from) < len) return false;
  // The literal's rarest byte is looked for with memchr, which costs next to nothing to start
  // on a short line. Where that byte keeps turning up without the literal around it, memmem
  // takes over for the rest, which stays linear whatever the text.
  const size_t rare = static_cast<size_t>(regMustRare_);
  const char* last = end - len + rare;  // the last place the rare byte of a fit can be
  const char* p = from + rare;
  for (int misses = 0; misses < 16; ++misses) {
    const void* hit = std::memchr(p, regMust_[rare], static_cast<size_t>(last - p) + 1);
    if (!hit) return false;
    const char* at = static_cast<const char*>(hit) - rare;
    if (std::memcmp(at, regMust_, len) == 0) {
      mustFoundAt_ = at;
      return true;
    }
    p = static_cast<const char*>(hit) + 1;
    if (p > last) return false;
  }
  const char* rest = p - rare;
  mustFoundAt_ = static_cast<const char*>(memmem(rest, static_cast<size_t>(end - rest), regMust_, len));
  return mustFoundAt_ != nullptr;
}

bool TRegexEngine::ExecPrim(int offset) {
  // Only an attempt sets group positions: a search that made none leaves nothing to clear.
  if (groupsTouched_) {
    ClearGroups();
    groupsTouched_ = false;
  }
  if (!ProgramCurrent() || program_[0] != kRegexSignature) [[unlikely]] PrepareProgram();
  if (!inputBase_) RaiseError(reeNoInputStringSpecified);
  if (offset < 1) RaiseError(reeOffsetMustBeGreaterThen0);
  if (static_cast<size_t>(offset) > inputSize_ + 1) return false;
  const char* input = inputBase_;
  const char* s = input + offset - 1;
  // The first place a match can begin is found before anything else is set up: most lines of a
  // search hold none. A new input is looked over first as far as it was given, so that on a
  // line without such a place the #0 that ends the input is never looked for.
  const char* first = nullptr;
  const char* nextA = nullptr;
  const char* nextB = nullptr;
  if (!inputBounded_) {
    first = FirstStart(s, input + inputSize_, nextA, nextB);
    if (!first) return false;
    BoundInput();
    if (inputLength_ != inputSize_) first = nullptr;  // found past the end, look again
  }
  if (static_cast<size_t>(offset) > inputLength_ + 1) return false;
  const char* end = input + inputLength_;
  if (!first) {
    first = FirstStart(s, end, nextA, nextB);
    if (!first) return false;
  }
  // The required literal lies inside every match: it is looked for from the first start on.
  auto find = [end](const char* from, char ch) { return FindChar(from, end, ch); };
  if (regMust_ && !FindRequiredLiteral(first, end)) return false;

  inputStart_ = input;
  inputEnd_ = end;
  loopStackIdx_ = 0;
  steps_ = 0;
  stepBound_ = matchLimit_ > 0 && matchLimit_ < (int64_t{1} << 59) ? matchLimit_ * 8 : INT64_MAX;
  // A long search may leave a large stack behind; it is not kept for the next one.
  struct StackTrim {
    TRegexEngine& engine;
    ~StackTrim() { engine.TrimStack(); }
  } trim{*this};

  auto attempt = [&](const char* at) {
    groupsTouched_ = true;
    if (MatchAt(at)) {
      startp_[0] = at;
      endp_[0] = regInput_;
      return true;
    }
    loopStackIdx_ = 0;
    return false;
  };

  if (anchored_) return attempt(s);
  if (firstLiteral_ != 0) {
    // Only where the whole leading literal stands can an attempt get past its first node.
    const size_t len = static_cast<size_t>(firstLiteralLen_);
    for (const char* at = first; at < end; at = find(at + 1, static_cast<char>(firstLiteral_))) {
      if (static_cast<size_t>(end - at) < len) return false;
      if (std::memcmp(at + 1, firstLiteralText_ + 1, len - 1) == 0 && attempt(at)) return true;
    }
    return false;
  }
  if (TwoFirstChars()) {
    // One or two starting characters (a letter in both cases, say): found with memchr, the
    // next hit of each kept until the scan has passed it.
    const char a = firstChars_[0];
    const char b = firstCharCount_ == 2 ? firstChars_[1] : a;
    for (;;) {
      const char* p = std::min(nextA, nextB);
      if (p >= end) return false;
      if (attempt(p)) return true;
      if (p == nextA) nextA = find(p + 1, a);
      if (p == nextB) nextB = find(p + 1, b);
    }
  }
  for (const char* p = first; p <= end;) {
    p = SkipToFirstChar(p, end);
    if (!p) return false;
    if (leadRun_.node && p < end) {
      // Every match begins with a repeat of one character class. A run shorter than its
      // minimum fails at each of its positions; after a failure at the run's first position an
      // unbounded repeat fails at the others too.
      const int32_t cap = leadRun_.unbounded ? kRepeatMax : leadRun_.min;
      const int32_t run = RunLength(leadRun_.node, p, cap);
      if (run < leadRun_.min) {
        p += run + 1;
        continue;
      }
      if (attempt(p)) return true;
      p += leadRun_.unbounded ? run + 1 : 1;
      continue;
    }
    if (attempt(p)) return true;
    ++p;
  }
  return false;
}

bool TRegexEngine::Exec(const AnsiString& input) {
  ownedInput_ = AnsiString();
  UseInput(input.data(), input.size());
  return ExecPrim(1);
}

bool TRegexEngine::Exec(AnsiString&& input) {
  ownedInput_ = std::move(input);
  UseInput(ownedInput_.data(), ownedInput_.size());
  return ExecPrim(1);
}

bool TRegexEngine::ExecInPlace(std::string_view input) {
  if (!ownedInput_.empty()) ownedInput_ = AnsiString();
  UseInput(input.data() ? input.data() : "", input.size());
  return ExecPrim(1);
}

bool TRegexEngine::ExecNext() {
  if (!startp_[0] || !endp_[0]) RaiseError(reeExecNextWithoutExec);
  int offset = static_cast<int>(endp_[0] - inputBase_) + 1;
  if (startp_[0] == endp_[0]) ++offset;
  return ExecPrim(offset);
}

int TRegexEngine::MatchPos(int n) const {
  if (n < 0 || n >= kRegexSubExprs || !inputBase_ || !startp_[n] || !endp_[n]) return -1;
  return static_cast<int>(startp_[n] - inputBase_) + 1;
}

int TRegexEngine::MatchLen(int n) const {
  if (n < 0 || n >= kRegexSubExprs || !inputBase_ || !startp_[n] || !endp_[n]) return -1;
  return static_cast<int>(endp_[n] - startp_[n]);
}
