#include "highlighters/jscript.h"

#include <iterator>

constexpr TSrcCharFlags MakeJScriptIdentTable() {
  TSrcCharFlags t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = t[c + 32] = true;
  t['_'] = true;
  return t;
}
constexpr TSrcCharHashes MakeJScriptHashTable() {
  TSrcCharHashes t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = t[c + 32] = c - 'A' + 1;
  t['_'] = 31;
  return t;
}
constinit const TSrcCharFlags JScriptIdentTable = MakeJScriptIdentTable();
constinit const TSrcCharHashes JScriptHashTable = MakeJScriptHashTable();

namespace {

const char* const kReservedWords[] = {
    "abstract", "boolean", "break", "byte", "callee", "case", "catch", "char", "class", "const",
    "constructor", "continue", "debugger", "default", "delete", "do", "double", "else", "enum",
    "export", "extends", "false", "final", "finally", "float", "for", "function", "goto", "if",
    "implements", "import", "in", "instanceof", "int", "interface", "long", "NaN", "native", "new",
    "null", "package", "private", "protected", "prototype", "public", "return", "short", "start",
    "static", "super", "switch", "synchronized", "this", "throw", "throws", "transient", "true",
    "try", "typeof", "var", "void", "while", "with",
};
const char* const kEventNames[] = {
    "onAbort", "onBlur", "onChange", "onClick", "onDblClick", "onError", "onFocus", "onKeyDown",
    "onKeyPress", "onKeyUp", "onLoad", "onMouseDown", "onMouseMove", "onMouseOut", "onMouseOver",
    "onMouseUp", "onReset", "onSelect", "onSubmit", "onUnload",
};
const char* const kPredefinedNames[] = {
    "abs", "acos", "action", "alert", "align", "alinkColor", "All", "all", "Anchor", "anchor",
    "anchors", "appCodeName", "Applet", "applets", "appName", "appVersion", "Area", "Arguments",
    "arguments", "Array", "asin", "atan", "atan2", "back", "background", "bgColor", "big", "blink",
    "blur", "body", "bold", "Boolean", "border", "bottom", "Button", "call", "caller",
    "captureEvents", "ceil", "charAt", "charCodeAt", "Checkbox", "checked", "clear",
    "clearInterval", "clearTimeout", "click", "close", "closed", "color", "complete", "concat",
    "confirm", "cookie", "cos", "current", "Date", "defaultChecked", "defaultSelected",
    "defaultStatus", "defaultValue", "description", "display", "document", "domain", "E",
    "elements", "Embed", "embeds", "enabledPlugin", "encoding", "escape", "eval", "event", "exp",
    "fgColor", "filename", "FileUpload", "find", "fixed", "Float", "floor", "focus", "fontcolor",
    "fontsize", "Form", "form", "forms", "forward", "Frame", "frames", "fromCharCode", "Function",
    "getDate", "getDay", "getElementById", "getFullYear", "getHours", "getMilliseconds",
    "getMinutes", "getMonth", "getSeconds", "getTime", "getTimezoneOffset", "getUTCDate",
    "getUTCDay", "getUTCFullYear", "getUTCHours", "getUTCMilliseconds", "getUTCMinutes",
    "getUTCMonth", "getUTCSeconds", "getYear", "Global", "go", "handleEvent", "hash", "height",
    "Hidden", "History", "history", "home", "host", "hostname", "href", "hspace", "Image", "images",
    "index", "indexOf", "Infinity", "innerHeight", "innerWidth", "input", "isFinite", "isNaN",
    "italics", "java", "javaEnabled", "join", "lastIndexOf", "lastModified", "Layer", "layers",
    "left", "length", "Link", "link", "linkColor", "links", "LN10", "LN2", "Location", "location",
    "locationbar", "log", "LOG10E", "LOG2E", "logon", "lowsrc", "match", "Math", "max", "MAX_VALUE",
    "menubar", "method", "MimeType", "mimeTypes", "min", "MIN_VALUE", "moveBy", "moveTo", "name",
    "Navigator", "navigator", "NEGATIVE_INFINITY", "netscape", "next", "Null", "Number", "Object",
    "open", "opener", "Option", "options", "outerHeight", "outerWidth", "Packages", "pageX",
    "pageXOffset", "pageY", "pageYOffset", "parent", "parse", "parseFloat", "parseInt", "Password",
    "pathname", "personalbar", "PI", "platform", "Plugin", "plugins", "port", "POSITIVE_INFINITY",
    "pow", "previous", "print", "prompt", "protocol", "Radio", "random", "referrer", "refresh",
    "RegExp", "releaseEvents", "reload", "replace", "Reset", "reset", "resizeBy", "resizeTo",
    "reverse", "right", "round", "routeEvent", "screen", "scroll", "scrollbars", "scrollBy",
    "scrollTo", "search", "Select", "select", "selected", "selectedIndex", "self", "setDate",
    "setFullYear", "setHours", "setInterval", "setMilliseconds", "setMinutes", "setMonth",
    "setSeconds", "setTime", "setTimeout", "setUTCDate", "setUTCFullYear", "setUTCHours",
    "setUTCMilliseconds", "setUTCMinutes", "setUTCMonth", "setUTCSeconds", "setYear", "sin",
    "slice", "small", "sort", "split", "sqrt", "SQRT1_2", "SQRT2", "src", "status", "statusbar",
    "stop", "strike", "String", "style", "sub", "Submit", "submit", "substr", "substring",
    "suffixes", "sup", "tags", "taint", "taintEnabled", "tan", "target", "Text", "text", "Textarea",
    "title", "toGMTString", "toLocaleString", "toLowerCase", "toolbar", "top", "toSource",
    "toString", "toUpperCase", "toUTCString", "type", "Undefined", "undefined", "unescape",
    "untaint", "unwatch", "URL", "userAgent", "UTC", "value", "valueOf", "visibility", "vlinkColor",
    "vspace", "watch", "width", "Window", "window", "write", "writeln", "zIndex",
};

// Names hashing to 253 or more are never looked up.
constexpr int kKeywordBuckets = 253;

int HashOf(const char* s) {
  int h = 0;
  for (; JScriptIdentTable[static_cast<unsigned char>(*s)]; ++s) h += JScriptHashTable[static_cast<unsigned char>(*s)];
  return h;
}

const TSrcKeywordBuckets& Keywords() {
  static const TSrcKeywordBuckets table = [] {
    TSrcKeywordBuckets t(kKeywordBuckets);
    t.Add(kReservedWords, std::size(kReservedWords), jsKey, HashOf);
    t.Add(kEventNames, std::size(kEventNames), jsEvent, HashOf);
    t.Add(kPredefinedNames, std::size(kPredefinedNames), jsNonReservedKey, HashOf);
    t.Build();
    return t;
  }();
  return table;
}

const char kSampleSource[] =
    "// Syntax highlighting\r\n"
    "function printNumber()\r\n"
    "{\r\n"
    "  var number = 1234;\r\n"
    "  var x;\r\n"
    "  document.write(\"The number is \" + number);\r\n"
    "  for (var i = 0; i <= number; i++)\r\n"
    "  {\r\n"
    "    x++;\r\n"
    "    x--;\r\n"
    "    x += 1.0;\r\n"
    "  }\r\n"
    "  i += @; // illegal character\r\n"
    "}\r\n"
    "body.onLoad = printNumber;";

constexpr bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

AnsiString LanguageName() { return TSrcJScriptSrc::ClassLanguageName(); }
TSrcHighlighterCapabilities Capabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
TSrcCustomHighlighter* Create(TComponent* Owner) { return new TSrcJScriptSrc(Owner); }

}  // namespace

const TSrcHighlighterClassInfo TSrcJScriptSrc::ClassInfo = {
    "TSrcJScriptSrc", &TSrcCustomHighlighter::ClassInfo, &LanguageName, &Capabilities, &Create};

TSrcJScriptSrc::TSrcJScriptSrc(TComponent* AOwner) : TSrcTokenScanner(AOwner, jsNull, jsSpace) {
  auto make = [this](const char* name, TFontStyles style) {
    auto* attr = new TSrcHighlighterAttributes(name);
    AddAttribute(attr);
    attr->SetStyle(style);
    return attr;
  };
  commentAttri_ = make("Comment", {fsItalic});
  identifierAttri_ = make("Identifier", {});
  keyAttri_ = make("Reserved Word", {fsBold});
  nonReservedKeyAttri_ = make("Non-reserved Keyword", {});
  eventAttri_ = make("Event", {});
  numberAttri_ = make("Number", {});
  spaceAttri_ = make("Space", {});
  stringAttri_ = make("String", {});
  symbolAttri_ = make("Symbol", {});
  BindAttributeChanges(TNotifyEvent(static_cast<TSrcCustomHighlighter*>(this), &TSrcCustomHighlighter::AttributeChanged));
  Keywords();
  MakeMethodTables();
  SetDefaultFilter("Javascript Files (*.js)|*.js");
  range_ = jsrNormal;
}

void TSrcJScriptSrc::MakeMethodTables() {
  for (int c = 0; c < 256; ++c) {
    TProc p;
    switch (c) {
      case 0: p = &TSrcJScriptSrc::NullProc; break;
      case 10: p = &TSrcJScriptSrc::LFProc; break;
      case 13: p = &TSrcJScriptSrc::CRProc; break;
      case '"': case '\'': p = &TSrcJScriptSrc::StringProc; break;
      case '/': p = &TSrcJScriptSrc::SlashProc; break;
      case '&': p = &TSrcJScriptSrc::AndSymbolProc; break;
      case '%': p = &TSrcJScriptSrc::ModSymbolProc; break;
      case '*': p = &TSrcJScriptSrc::StarSymbolProc; break;
      case '+': p = &TSrcJScriptSrc::PlusProc; break;
      case '-': p = &TSrcJScriptSrc::MinusProc; break;
      case '.': p = &TSrcJScriptSrc::PointProc; break;
      case '|': p = &TSrcJScriptSrc::OrSymbolProc; break;
      case '#': case '$': case '@': case '\\': case '^': case '`': p = &TSrcJScriptSrc::IllegalProc; break;
      default:
        if (c <= 32) p = &TSrcJScriptSrc::SpaceProc;
        else if (c >= 127) p = &TSrcJScriptSrc::IllegalProc;
        else if (c >= '0' && c <= '9') p = &TSrcJScriptSrc::NumberProc;
        else if (JScriptIdentTable[c]) p = &TSrcJScriptSrc::IdentProc;
        else p = &TSrcJScriptSrc::SymbolProc;
        break;
    }
    procTable_[c] = p;
  }
}

TSrcHighlighterAttributes* TSrcJScriptSrc::GetDefaultAttribute(int Index) const {
  switch (Index) {
    case SRC_ATTR_DEFAULT_COMMENT: return commentAttri_;
    case SRC_ATTR_DEFAULT_IDENTIFIER: return identifierAttri_;
    case SRC_ATTR_DEFAULT_KEYWORD: return keyAttri_;
    case SRC_ATTR_DEFAULT_STRING: return stringAttri_;
    case SRC_ATTR_DEFAULT_WHITESPACE: return spaceAttri_;
    case SRC_ATTR_DEFAULT_SYMBOL: return symbolAttri_;
    default: return nullptr;
  }
}

TSysCharSet TSrcJScriptSrc::GetIdentChars() const {
  TSysCharSet s;
  s.AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z').AddRange(0xC0, 0xFF);
  s.Remove(0xD7).Remove(0xF7);
  return s;
}

AnsiString TSrcJScriptSrc::GetSampleSource() const { return kSampleSource; }

TSrcRange TSrcJScriptSrc::GetRange() const { return reinterpret_cast<TSrcRange>(static_cast<uintptr_t>(range_)); }

void TSrcJScriptSrc::SetRange(TSrcRange Value) {
  range_ = static_cast<TSrcJScriptRangeState>(reinterpret_cast<uintptr_t>(Value) & 0xFF);
}

TSrcHighlighterAttributes* TSrcJScriptSrc::GetTokenAttribute() const {
  switch (tokenKind_) {
    case jsComment: return commentAttri_;
    case jsIdentifier: case jsIllegalChar: return identifierAttri_;
    case jsKey: return keyAttri_;
    case jsNumber: return numberAttri_;
    case jsSpace: return spaceAttri_;
    case jsString: return stringAttri_;
    case jsSymbol: return symbolAttri_;
    case jsNonReservedKey: return nonReservedKeyAttri_;
    case jsEvent: return eventAttri_;
    default: return nullptr;
  }
}

void TSrcJScriptSrc::Next() {
  tokenPos_ = run_;
  if (range_ == jsrBlockComment) ContinueComment();
  else Dispatch();
}

void TSrcJScriptSrc::ContinueComment() {
  if (Ch(run_) == 0 && run_ >= lineLen_) {
    tokenKind_ = jsNull;
    return;
  }
  tokenKind_ = jsComment;
  // The first character is taken whatever it is, so a line break inside a comment is part of it.
  if (line_[run_] == '*' && line_[run_ + 1] == '/') {
    run_ += 2;
    range_ = jsrNormal;
    return;
  }
  ++run_;
  if (ScanToCloser('*', '/')) range_ = jsrNormal;
}

void TSrcJScriptSrc::SlashProc() {
  switch (line_[run_ + 1]) {
    case '*':
      // The '*' of the opening "/*" never closes it: the search starts after it.
      tokenKind_ = jsComment;
      range_ = jsrBlockComment;
      run_ += 2;
      if (ScanToCloser('*', '/')) range_ = jsrNormal;
      break;
    case '/':
      RestOfLineStep(jsComment);
      break;
    default:
      OperatorStep("=");
      break;
  }
}

void TSrcJScriptSrc::StringProc() {
  tokenKind_ = jsString;
  const char quote = line_[run_];
  if (line_[run_ + 1] == quote && line_[run_ + 2] == quote) run_ += 2;
  for (;;) {
    if (AtBreak(run_)) break;
    ++run_;
    if (line_[run_] == quote && line_[run_ - 1] != '\\') break;
  }
  if (!(Ch(run_) == 0 && run_ >= lineLen_)) ++run_;
}

void TSrcJScriptSrc::NumberProc() {
  tokenKind_ = jsNumber;
  const size_t start = run_;
  bool hex = false;
  for (++run_;; ++run_) {
    unsigned char c = Ch(run_);
    if (c == '.') {
      if (line_[run_ + 1] == '.') return;
    } else if (c >= '0' && c <= '9') {
    } else if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) {
      if (!hex) return;
    } else if (c == 'X' || c == 'x') {
      if (line_[start] != '0' || run_ != start + 1 || !IsHexDigit(Ch(run_ + 1))) return;
      hex = true;
    } else {
      return;
    }
  }
}

int TSrcJScriptSrc::KeyHash(size_t Pos) {
  keyStart_ = Pos;
  int h = 0;
  size_t p = Pos;
  for (; JScriptIdentTable[Ch(p)]; ++p) h += JScriptHashTable[Ch(p)];
  keyLen_ = p - Pos;
  return h;
}

TSrcJScriptTokenKind TSrcJScriptSrc::IdentKind(size_t Pos) {
  const int hash = KeyHash(Pos);
  const char* name = line_ + keyStart_;
  const size_t len = keyLen_;
  const auto* e = Keywords().Find(hash, len, [&](const char* k) { return std::memcmp(k, name, len) == 0; });
  return e ? static_cast<TSrcJScriptTokenKind>(e->Kind) : jsIdentifier;
}

void TSrcJScriptSrc::IdentProc() {
  tokenKind_ = IdentKind(run_);
  run_ += keyLen_;
  SkipWhile(JScriptIdentTable);
}

void TSrcJScriptSrc::OperatorStep(const char* Seconds) {
  tokenKind_ = jsSymbol;
  const char next = line_[run_ + 1];
  ++run_;
  for (const char* s = Seconds; *s; ++s)
    if (next == *s) {
      ++run_;
      return;
    }
}

void TSrcJScriptSrc::AndSymbolProc() { OperatorStep("&="); }
void TSrcJScriptSrc::ModSymbolProc() { OperatorStep("="); }
void TSrcJScriptSrc::StarSymbolProc() { OperatorStep("="); }
void TSrcJScriptSrc::PlusProc() { OperatorStep("+="); }
void TSrcJScriptSrc::MinusProc() { OperatorStep("-=>"); }
void TSrcJScriptSrc::OrSymbolProc() { OperatorStep("|="); }

void TSrcJScriptSrc::PointProc() {
  tokenKind_ = jsSymbol;
  run_ += line_[run_ + 1] == '.' && line_[run_ + 2] == '.' ? 3 : 1;
}

void TSrcJScriptSrc::SymbolProc() {
  tokenKind_ = jsSymbol;
  ++run_;
}
