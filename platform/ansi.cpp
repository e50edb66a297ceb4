#include "platform/ansi.h"

#include <array>
#include <cstring>

namespace {

// Unicode of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char32_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Upper/lower pairs among 0x80..0xBF.
constexpr unsigned char kPairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
    {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
    {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

enum : uint8_t { kAlpha = 1, kUpper = 2, kLower = 4, kDigit = 8 };

struct Tables {
  std::array<unsigned char, 256> upper{}, lower{};
  std::array<uint8_t, 256> kind{};
  std::array<uint16_t, 256> ctype3{};
  Tables() {
    for (int c = 0; c < 256; ++c) upper[c] = lower[c] = static_cast<unsigned char>(c);
    auto pair = [&](int u, int l) {
      lower[u] = static_cast<unsigned char>(l);
      upper[l] = static_cast<unsigned char>(u);
      kind[u] = kAlpha | kUpper;
      kind[l] = kAlpha | kLower;
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDF; ++c) pair(c, c + 32);
    for (auto& p : kPairs) pair(p[0], p[1]);
    kind[0xB5] = kAlpha | kLower;  // micro sign: a lower-case letter without an upper case here
    for (int c = '0'; c <= '9'; ++c) kind[c] = kDigit;

    // Character-type flags, a fixed choice for this code page: ASCII letters are ALPHA +
    // HALFWIDTH, ASCII digits, the blank and the tab HALFWIDTH (the tab separates words as
    // the blank does), other printable ASCII SYMBOL + HALFWIDTH; letters above 0x7F are
    // ALPHA; other printable bytes above 0x7F (quotes, dashes, signs) are SYMBOL; the other
    // control bytes, the no-break space, the soft hyphen and the unassigned 0x98 have no flag.
    for (int c = 0; c < 256; ++c) {
      uint16_t f = 0;
      if (c < 0x80) {
        if (kind[c] & kAlpha) f = C3_ALPHA | C3_HALFWIDTH;
        else if ((kind[c] & kDigit) || c == ' ' || c == '\t') f = C3_HALFWIDTH;
        else if (c > 0x20 && c < 0x7F) f = C3_SYMBOL | C3_HALFWIDTH;
      } else if (kind[c] & kAlpha) {
        f = C3_ALPHA;
      } else if (c != 0x98 && c != 0xA0 && c != 0xAD) {
        f = C3_SYMBOL;
      }
      ctype3[c] = f;
    }
  }
};

const Tables& T() {
  static const Tables t;
  return t;
}

TSysCharSet& LeadSet() {
  static TSysCharSet s;
  return s;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns the code point or -1 for an invalid sequence
// (also a longer form than the code point needs, a surrogate, or beyond U+10FFFF), advancing i
// past what was consumed.
long DecodeUtf8(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  int n;
  char32_t cp;
  if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; }
  else return -1;
  for (int k = 0; k < n; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return -1;
  return static_cast<long>(cp);
}

AnsiString FromUtf8(std::string_view utf8, bool drop, char replacement, bool* lost) {
  AnsiString out;
  out.reserve(utf8.size());
  bool anyLost = false;
  size_t i = 0;
  while (i < utf8.size()) {
    long cp = DecodeUtf8(utf8, i);
    int b = cp < 0 ? -1 : UnicodeToAnsiChar(static_cast<char32_t>(cp));
    if (b < 0) {
      anyLost = true;
      if (!drop) out += replacement;
    } else {
      out += static_cast<char>(b);
    }
  }
  if (lost) *lost = anyLost;
  return out;
}

}  // namespace

char32_t AnsiCharToUnicode(unsigned char c) {
  if (c < 0x80) return c;
  if (c >= 0xC0) return 0x0410 + (c - 0xC0);
  return kHigh[c - 0x80];
}

int UnicodeToAnsiChar(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (int k = 0; k < 64; ++k)
    if (kHigh[k] == cp && cp != 0xFFFD) return 0x80 + k;
  return -1;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 2);
  for (char ch : ansi) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) out += ch;
    else AppendUtf8(out, AnsiCharToUnicode(c));
  }
  return out;
}

AnsiString Utf8ToAnsi(std::string_view utf8, char replacement, bool* lost) {
  return FromUtf8(utf8, false, replacement, lost);
}

AnsiString Utf8ToAnsiDropping(std::string_view utf8, bool* lost) {
  return FromUtf8(utf8, true, 0, lost);
}

unsigned char AnsiUpperChar(unsigned char c) { return T().upper[c]; }
unsigned char AnsiLowerChar(unsigned char c) { return T().lower[c]; }
bool IsCharAlpha(unsigned char c) { return T().kind[c] & kAlpha; }
bool IsCharAlphaNumeric(unsigned char c) { return T().kind[c] & (kAlpha | kDigit); }
bool IsCharUpper(unsigned char c) { return T().kind[c] & kUpper; }
bool IsCharLower(unsigned char c) { return T().kind[c] & kLower; }

void CharUpperBuff(char* s, size_t len) {
  const auto& up = T().upper;
  for (size_t i = 0; i < len; ++i) s[i] = static_cast<char>(up[static_cast<unsigned char>(s[i])]);
}

void CharLowerBuff(char* s, size_t len) {
  const auto& lo = T().lower;
  for (size_t i = 0; i < len; ++i) s[i] = static_cast<char>(lo[static_cast<unsigned char>(s[i])]);
}

AnsiString AnsiUpperCase(std::string_view s) {
  AnsiString r(s);
  CharUpperBuff(r.data(), r.size());
  return r;
}

AnsiString AnsiLowerCase(std::string_view s) {
  AnsiString r(s);
  CharLowerBuff(r.data(), r.size());
  return r;
}

AnsiString UpperCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

AnsiString LowerCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  const auto& lo = T().lower;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = lo[static_cast<unsigned char>(a[i])], y = lo[static_cast<unsigned char>(b[i])];
    if (x != y) return x - y;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

uint16_t CharType3(unsigned char c) { return T().ctype3[c]; }

void GetStringType3(std::string_view s, uint16_t* flags) {
  const auto& t = T().ctype3;
  for (size_t i = 0; i < s.size(); ++i) flags[i] = t[static_cast<unsigned char>(s[i])];
}

const TSysCharSet& LeadBytes() { return LeadSet(); }
void SetLeadBytes(const TSysCharSet& set) { LeadSet() = set; }
bool MultiByteSupport() { return !LeadSet().Empty(); }

TMbcsByteType ByteType(std::string_view s, size_t index) {
  if (!MultiByteSupport()) return mbSingleByte;
  TMbcsByteType t = mbSingleByte;
  for (size_t i = 0; i <= index && i < s.size(); ++i) {
    if (t == mbLeadByte) t = mbTrailByte;
    else t = IsLeadByte(s[i]) ? mbLeadByte : mbSingleByte;
  }
  return t;
}
