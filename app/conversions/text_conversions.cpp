#include "app/conversions/text_conversions.h"

#include <array>
#include <string_view>

namespace {

// Lower-case row, then upper-case row, by the letter's place in these alphabets (note ь, ы, ъ).
const AnsiString& LowerAlphabet() {
  static const AnsiString s = W1251("абвгдеёжзийклмнопрстуфхцчшщьыъэюя");
  return s;
}
const AnsiString& UpperAlphabet() {
  static const AnsiString s = W1251("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЬЫЪЭЮЯ");
  return s;
}
constexpr std::array<const char*, 33> kLatinLower = {
    "a", "b", "v", "g", "d", "e", "yo", "zh", "z", "i", "y", "k", "l", "m", "n", "o", "p",
    "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "'", "y", "'", "e", "yu", "ya"};
constexpr std::array<const char*, 33> kLatinUpper = {
    "A", "B", "V", "G", "D", "E", "Yo", "Zh", "Z", "I", "Y", "K", "L", "M", "N", "O", "P",
    "R", "S", "T", "U", "F", "Kh", "Ts", "Ch", "Sh", "Shch", "'", "Y", "'", "E", "Yu", "Ya"};

// Number words, all ending in one blank; index 0 of a digit-indexed table is digit 0, which
// has no word.
constexpr std::array<const char*, 10> kHundreds = {
    "", "сто ", "двести ", "триста ", "четыреста ", "пятьсот ", "шестьсот ", "семьсот ", "восемьсот ",
    "девятьсот "};
constexpr std::array<const char*, 10> kTens = {
    "", "", "двадцать ", "тридцать ", "сорок ", "пятьдесят ", "шестьдесят ", "семьдесят ",
    "восемьдесят ", "девяносто "};
constexpr std::array<const char*, 10> kUnits = {
    "", "один ", "два ", "три ", "четыре ", "пять ", "шесть ", "семь ", "восемь ", "девять "};
constexpr std::array<const char*, 10> kTeens = {
    "десять ", "одиннадцать ", "двенадцать ", "тринадцать ", "четырнадцать ", "пятнадцать ",
    "шестнадцать ", "семнадцать ", "восемнадцать ", "девятнадцать "};
constexpr std::array<const char*, 3> kFeminineUnits = {"", "одна ", "две "};
// Scale words by level (2 thousands, 3 millions, 4 milliards) and form: 0 for a last digit
// of 1, 1 for 2-4, 2 for 0 and 5-9.
constexpr const char* kScales[5][3] = {
    {"", "", ""},
    {"", "", ""},
    {"тысяча ", "тысячи ", "тысяч "},
    {"миллион ", "миллиона ", "миллионов "},
    {"миллиард ", "миллиарда ", "миллиардов "},
};
constexpr int kMaxDigits = 12;

const char* ScaleWord(int level, int lastDigit) {
  int form = lastDigit == 1 ? 0 : (lastDigit >= 2 && lastDigit <= 4) ? 1 : 2;
  return kScales[level][form];
}

struct TRoman {
  int Value;
  const char* Numeral;
};
constexpr std::array<TRoman, 13> kRoman = {{{1, "I"}, {4, "IV"}, {5, "V"}, {9, "IX"}, {10, "X"},
                                           {40, "XL"}, {50, "L"}, {90, "XC"}, {100, "C"}, {400, "CD"},
                                           {500, "D"}, {900, "CM"}, {1000, "M"}}};

}  // namespace

AnsiString TranslitRus2Lat(const AnsiString& Text) {
  AnsiString out;
  out.reserve(Text.size());
  const AnsiString& lower = LowerAlphabet();
  const AnsiString& upper = UpperAlphabet();
  for (char c : Text) {
    size_t i = lower.find(c);
    if (i != AnsiString::npos) {
      out += kLatinLower[i];
      continue;
    }
    i = upper.find(c);
    if (i != AnsiString::npos) out += kLatinUpper[i];
    else out += c;
  }
  return out;
}

AnsiString proper(const AnsiString& Text) {
  AnsiString out = LowerCase(Text);
  bool wordStart = true;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') {
      if (wordStart) {
        c = static_cast<char>(c - 'a' + 'A');
        wordStart = false;
      }
    } else if (c != '\'') {
      wordStart = true;
    }
  }
  return out;
}

AnsiString IntToRoman(int Number) {
  AnsiString out;
  int i = static_cast<int>(kRoman.size()) - 1;
  while (Number > 0) {
    while (kRoman[static_cast<size_t>(i)].Value > Number) --i;
    out += kRoman[static_cast<size_t>(i)].Numeral;
    Number -= kRoman[static_cast<size_t>(i)].Value;
  }
  return out;
}

bool IsNumberWordsInput(const AnsiString& Text) {
  if (Text.size() > kMaxDigits) return false;
  for (char c : Text)
    if (c < '0' || c > '9') return false;
  return true;
}

AnsiString NumberToWords(const AnsiString& Digits) {
  // Anything but a string of at most 12 digits is given back as it is.
  if (!IsNumberWordsInput(Digits)) return Digits;
  if (Digits.empty()) return AnsiString();
  if (Digits.find_first_not_of('0') == AnsiString::npos) return W1251("Ноль");
  AnsiString s = AnsiString((3 - Digits.size() % 3) % 3, '0') + Digits;
  int levels = static_cast<int>(s.size() / 3);
  std::string words;  // UTF-8
  for (int g = 0; g < levels; ++g) {
    int level = levels - g;
    int h = s[static_cast<size_t>(g) * 3] - '0';
    int t = s[static_cast<size_t>(g) * 3 + 1] - '0';
    int u = s[static_cast<size_t>(g) * 3 + 2] - '0';
    if (h == 0 && t == 0 && u == 0) continue;
    words += kHundreds[static_cast<size_t>(h)];
    if (t == 1) {
      words += kTeens[static_cast<size_t>(u)];
      words += ScaleWord(level, 0);
    } else {
      words += kTens[static_cast<size_t>(t)];
      words += level == 2 && (u == 1 || u == 2) ? kFeminineUnits[static_cast<size_t>(u)]
                                                : kUnits[static_cast<size_t>(u)];
      words += ScaleWord(level, u);
    }
  }
  if (!words.empty() && words.back() == ' ') words.pop_back();
  return W1251(words);
}
