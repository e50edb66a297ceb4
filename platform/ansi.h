#pragma once
// 8-bit text of the program: Windows-1251 bytes in a std::string, with the ANSI character
// functions (case conversion, letter and digit tests, character-type flags) of that code page.
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

using AnsiString = std::string;
using AnsiChar = char;

// A set of byte values, as the editor's scans and the highlighters' tables use it.
class TSysCharSet {
public:
  TSysCharSet() = default;
  TSysCharSet(std::initializer_list<unsigned char> chars) {
    for (unsigned char c : chars) bits_.set(c);
  }
  static TSysCharSet Range(unsigned char first, unsigned char last) {
    TSysCharSet s;
    s.AddRange(first, last);
    return s;
  }
  bool Contains(unsigned char c) const { return bits_.test(c); }
  bool Contains(char c) const { return bits_.test(static_cast<unsigned char>(c)); }
  TSysCharSet& Add(unsigned char c) { bits_.set(c); return *this; }
  TSysCharSet& Remove(unsigned char c) { bits_.reset(c); return *this; }
  TSysCharSet& AddRange(unsigned char first, unsigned char last) {
    for (unsigned c = first; c <= last; ++c) bits_.set(c);
    return *this;
  }
  TSysCharSet& AddChars(std::string_view chars) {
    for (char c : chars) bits_.set(static_cast<unsigned char>(c));
    return *this;
  }
  TSysCharSet operator+(const TSysCharSet& o) const { TSysCharSet r; r.bits_ = bits_ | o.bits_; return r; }
  TSysCharSet operator-(const TSysCharSet& o) const { TSysCharSet r; r.bits_ = bits_ & ~o.bits_; return r; }
  TSysCharSet operator*(const TSysCharSet& o) const { TSysCharSet r; r.bits_ = bits_ & o.bits_; return r; }
  bool operator==(const TSysCharSet& o) const { return bits_ == o.bits_; }
  bool Empty() const { return bits_.none(); }
  size_t Size() const { return bits_.count(); }

private:
  std::bitset<256> bits_;
};

// Code-page conversion. Windows-1251 -> UTF-8 always succeeds (0x98, the one unassigned
// byte, maps to U+FFFD). UTF-8 -> Windows-1251 replaces what the code page cannot hold by
// `replacement`; `lost`, when given, tells whether that happened. Invalid UTF-8 counts as lost.
std::string AnsiToUtf8(std::string_view ansi);
AnsiString Utf8ToAnsi(std::string_view utf8, char replacement = '?', bool* lost = nullptr);
// The same with nothing put in place of what cannot be held (input methods drop such text).
AnsiString Utf8ToAnsiDropping(std::string_view utf8, bool* lost = nullptr);
// Unicode code point of one Windows-1251 byte, and the byte of a code point (-1 when none).
char32_t AnsiCharToUnicode(unsigned char c);
int UnicodeToAnsiChar(char32_t cp);

// Russian literals of the source (UTF-8) as program text (Windows-1251).
inline AnsiString W1251(std::string_view utf8) { return Utf8ToAnsi(utf8); }

// ANSI character functions of Windows-1251.
unsigned char AnsiUpperChar(unsigned char c);
unsigned char AnsiLowerChar(unsigned char c);
inline char AnsiUpperChar(char c) { return static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(c))); }
inline char AnsiLowerChar(char c) { return static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(c))); }
bool IsCharAlpha(unsigned char c);
bool IsCharAlphaNumeric(unsigned char c);
bool IsCharUpper(unsigned char c);
bool IsCharLower(unsigned char c);
inline bool IsCharAlpha(char c) { return IsCharAlpha(static_cast<unsigned char>(c)); }
inline bool IsCharAlphaNumeric(char c) { return IsCharAlphaNumeric(static_cast<unsigned char>(c)); }
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
void CharUpperBuff(char* s, size_t len);
void CharLowerBuff(char* s, size_t len);
// ASCII-only case conversion (the class library's UpperCase/LowerCase).
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
// Case-insensitive comparisons by the Windows-1251 case tables: <0, 0, >0.
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);  // ASCII letters only
bool SameText(std::string_view a, std::string_view b);

// CT_CTYPE3 flags of the character-type service.
enum : uint16_t {
  C3_NONSPACING = 0x1, C3_DIACRITIC = 0x2, C3_VOWELMARK = 0x4, C3_SYMBOL = 0x8,
  C3_KATAKANA = 0x10, C3_HIRAGANA = 0x20, C3_HALFWIDTH = 0x40, C3_FULLWIDTH = 0x80,
  C3_IDEOGRAPH = 0x100, C3_KASHIDA = 0x200, C3_LEXICAL = 0x400, C3_ALPHA = 0x8000,
};
uint16_t CharType3(unsigned char c);
// Flags of each byte of `s`, one entry per byte (GetStringTypeEx with CT_CTYPE3).
void GetStringType3(std::string_view s, uint16_t* flags);

// Lead bytes of the system code page. Windows-1251 is a single-byte code page, so the set is
// empty; tests replace it to exercise the double-byte branches.
const TSysCharSet& LeadBytes();
void SetLeadBytes(const TSysCharSet& set);
inline bool IsLeadByte(unsigned char c) { return LeadBytes().Contains(c); }
inline bool IsLeadByte(char c) { return LeadBytes().Contains(static_cast<unsigned char>(c)); }
// Whether the system code page is a double-byte one (the lead-byte set is not empty).
bool MultiByteSupport();

enum TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };
// Kind of the byte at 0-based `index` of `s`, walking from the start.
TMbcsByteType ByteType(std::string_view s, size_t index);
