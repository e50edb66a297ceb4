#include "editor-services/print/print_text.h"

bool WrapTextEx(const AnsiString& Line, const TSysCharSet& BreakChars, int MaxCol,
                std::vector<TWrapPos>& List) {
  const int len = static_cast<int>(Line.size());
  if (MaxCol >= len) return true;
  if (MaxCol < 1) return false;
  const size_t before = List.size();
  int lastBreak = 0;  // the position the current row starts after
  int lastSeen = 0;   // the last break character of the current row, 0 when none yet
  for (int i = 1; i <= len; ++i) {
    if (BreakChars.Contains(Line[static_cast<size_t>(i - 1)])) lastSeen = i;
    if (i != lastBreak + MaxCol && i != len) continue;
    if (lastSeen == 0) {
      List.resize(before);
      return false;
    }
    List.push_back(TWrapPos{lastSeen});
    lastBreak = lastSeen;
    lastSeen = 0;
    if (len - lastBreak <= MaxCol || i == len) return true;
  }
  return true;
}

AnsiString PrintIntToRoman(int N) {
  struct Step {
    int value;
    const char* text;
    bool repeat;
  };
  static const Step steps[] = {{1000, "M", true}, {900, "CM", false}, {500, "D", true},
                               {400, "CD", false}, {100, "C", true},  {90, "XC", false},
                               {50, "L", true},    {40, "XL", false}, {10, "X", true},
                               {9, "IX", false},   {5, "V", true},    {4, "IV", false},
                               {1, "I", true}};
  AnsiString s;
  for (const Step& st : steps) {
    if (st.repeat) {
      while (N >= st.value) s += st.text, N -= st.value;
    } else if (N >= st.value) {
      s += st.text, N -= st.value;
    }
  }
  return s;
}
