// Transliteration, capitalised words, Roman numerals and numbers in words.
#include <gtest/gtest.h>

#include "app/conversions/text_conversions.h"

namespace {

std::string U(const AnsiString& s) { return AnsiToUtf8(s); }

TEST(TextConversions, TransliterationSpellsEveryLetterAndCopiesTheRest) {
  EXPECT_EQ(TranslitRus2Lat(W1251("Щука и ёж")), "Shchuka i yozh");
  EXPECT_EQ(TranslitRus2Lat(W1251("объём")), "ob'yom");
  EXPECT_EQ(TranslitRus2Lat(W1251("Мы")), "My");
  EXPECT_EQ(TranslitRus2Lat(W1251("ЪЬЫ Ёлка, Юля, Цех, Хор, Эхо, Яма, Жук, Чай, Шар")),
            "''Y Yolka, Yulya, Tsekh, Khor, Ekho, Yama, Zhuk, Chay, Shar");
  EXPECT_EQ(TranslitRus2Lat(W1251("абвгдеёжзийклмнопрстуфхцчшщьыъэюя")),
            "abvgdeyozhziyklmnoprstufkhtschshshch'y'eyuya");
  EXPECT_EQ(TranslitRus2Lat(std::string("a\0<\xB9>", 5)), std::string("a\0<\xB9>", 5));
  EXPECT_EQ(TranslitRus2Lat(""), "");
}

TEST(TextConversions, CapitalisedWords) {
  EXPECT_EQ(proper("hello WORLD o'neil"), "Hello World O'neil");
  EXPECT_EQ(proper("abc1def"), "Abc1Def");
  EXPECT_EQ(proper(""), "");
  EXPECT_EQ(proper("'quoted' x-ray"), "'Quoted' X-Ray");
  // Cyrillic letters stay as they are but start a new word.
  EXPECT_EQ(U(proper(W1251("ПРИВЕТabc мир"))), "ПРИВЕТAbc мир");
}

TEST(TextConversions, RomanNumerals) {
  EXPECT_EQ(IntToRoman(1994), "MCMXCIV");
  EXPECT_EQ(IntToRoman(4), "IV");
  EXPECT_EQ(IntToRoman(3999), "MMMCMXCIX");
  EXPECT_EQ(IntToRoman(0), "");
  EXPECT_EQ(IntToRoman(-7), "");
  EXPECT_EQ(IntToRoman(5000), "MMMMM");
}

TEST(TextConversions, NumbersInWords) {
  EXPECT_EQ(U(NumberToWords("21")), "двадцать один");
  EXPECT_EQ(U(NumberToWords("2001")), "две тысячи один");
  EXPECT_EQ(U(NumberToWords("1000000")), "один миллион");
  EXPECT_EQ(U(NumberToWords("0012")), "двенадцать");
  EXPECT_EQ(U(NumberToWords("000")), "Ноль");
  EXPECT_EQ(U(NumberToWords("111111")), "сто одиннадцать тысяч сто одиннадцать");
  EXPECT_EQ(U(NumberToWords("1")), "один");
  EXPECT_EQ(U(NumberToWords("11000")), "одиннадцать тысяч");
  EXPECT_EQ(U(NumberToWords("22000")), "двадцать две тысячи");
  EXPECT_EQ(U(NumberToWords("5000")), "пять тысяч");
  EXPECT_EQ(U(NumberToWords("3000000")), "три миллиона");
  EXPECT_EQ(U(NumberToWords("999999999999")),
            "девятьсот девяносто девять миллиардов девятьсот девяносто девять миллионов девятьсот "
            "девяносто девять тысяч девятьсот девяносто девять");
  EXPECT_EQ(U(NumberToWords("1002003004")), "один миллиард два миллиона три тысячи четыре");
  EXPECT_EQ(NumberToWords(""), "");
  // Not a number of at most 12 digits: given back as it is.
  EXPECT_FALSE(IsNumberWordsInput("1234567890123"));
  EXPECT_FALSE(IsNumberWordsInput("-5"));
  EXPECT_FALSE(IsNumberWordsInput("1 000"));
  EXPECT_TRUE(IsNumberWordsInput(""));
  EXPECT_EQ(NumberToWords("12a"), "12a");
  EXPECT_EQ(NumberToWords("1234567890123"), "1234567890123");
}

}  // namespace
