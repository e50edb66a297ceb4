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

TSrcJScriptSrc::TSrcJScriptSrc(TComponent* AOwner) : TSrcTokenScanner(AOwner, jsNull, jsSpace, jsrNormal) {
  commentAttri_ = NewAttribute("Comment", {fsItalic});
  identifierAttri_ = NewAttribute("Identifier", {});
  keyAttri_ = NewAttribute("Reserved Word", {fsBold});
  nonReservedKeyAttri_ = NewAttribute("Non-reserved Keyword", {});
  eventAttri_ = NewAttribute("Event", {});
  numberAttri_ = NewAttribute("Number", {});
  spaceAttri_ = NewAttribute("Space", {});
  stringAttri_ = NewAttribute("String", {});
  symbolAttri_ = NewAttribute("Symbol", {});
  // By kind: comment, identifier, key, end of line, number, space, string, symbol, illegal
  // character (painted as an identifier), predefined name, event.
  FinishAttributes({commentAttri_, identifierAttri_, keyAttri_, nullptr, numberAttri_, spaceAttri_, stringAttri_,
                    symbolAttri_, identifierAttri_, nonReservedKeyAttri_, eventAttri_},
                   {commentAttri_, identifierAttri_, keyAttri_, stringAttri_, spaceAttri_, symbolAttri_});
  Keywords();
  MakeMethodTables();
  SetDefaultFilter("Javascript Files (*.js)|*.js");
}

void TSrcJScriptSrc::MakeMethodTables() {
  // Every character without a row of its own is a one-character symbol:
  // ! ( ) , : ; < = > ? [ ] { } ~
  InitSteps(&TSrcJScriptSrc::SymbolProc);
  SetSteps("\"'", &TSrcJScriptSrc::StringProc);
  SetSteps("/", &TSrcJScriptSrc::SlashProc);
  SetSteps("&%*+-|", &TSrcJScriptSrc::OperatorProc);
  SetSteps(".", &TSrcJScriptSrc::PointProc);
  SetStepRange('0', '9', &TSrcJScriptSrc::NumberProc);
  SetStepRange('A', 'Z', &TSrcJScriptSrc::IdentProc);
  SetStepRange('a', 'z', &TSrcJScriptSrc::IdentProc);
  SetSteps("_", &TSrcJScriptSrc::IdentProc);
  SetSteps("#$@\\^`", &TSrcJScriptSrc::IllegalProc);
  SetStepRange(127, 255, &TSrcJScriptSrc::IllegalProc);
}

TSysCharSet TSrcJScriptSrc::GetIdentChars() const {
  // The word characters of the editor's word operations; the scanner does not read them.
  TSysCharSet s;
  s.AddRange('0', '9').AddRange('A', 'Z').Add('_').AddRange('a', 'z');
  return s + CyrillicLetters();
}

AnsiString TSrcJScriptSrc::GetSampleSource() const { return kSampleSource; }

int TSrcJScriptSrc::NextTokens(TSrcTokenSpan* Out, int Max) { return ScanTokenBatch(*this, Out, Max); }
TSrcRange TSrcJScriptSrc::ScanLineRange(std::string_view Line, int LineNumber) {
  return ScanRangeByTokens(*this, Line, LineNumber);
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
      OperatorProc();
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

void TSrcJScriptSrc::IdentProc() {
  tokenKind_ = NameStep(JScriptIdentTable, JScriptHashTable, Keywords(), jsIdentifier);
}

void TSrcJScriptSrc::OperatorProc() {
  switch (line_[run_]) {
    case '&': PairStep(jsSymbol, "&="); break;
    case '+': PairStep(jsSymbol, "+="); break;
    case '-': PairStep(jsSymbol, "-=>"); break;
    case '|': PairStep(jsSymbol, "|="); break;
    default: PairStep(jsSymbol, "="); break;  // % * /
  }
}

void TSrcJScriptSrc::PointProc() {
  tokenKind_ = jsSymbol;
  run_ += line_[run_ + 1] == '.' && line_[run_ + 2] == '.' ? 3 : 1;
}
