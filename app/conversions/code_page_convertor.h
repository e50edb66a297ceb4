#pragma once
// The code-page converter: the Russian letters of a text moved between the five Cyrillic code
// pages the program knows, through one table of (from, to) byte pairs per ordered pair of pages.
// Characters a table does not list are copied unchanged.
#include <array>
#include <cstdint>
#include <span>

#include "platform/classes.h"

enum TCodePage : uint8_t { cpALT = 0, cpISO = 1, cpKOI = 2, cpMAC = 3, cpWIN = 4 };
inline constexpr int kCodePageCount = 5;

// One entry of a conversion table: only the low byte of each word is used.
struct TCodePair {
  uint16_t From, To;
};

// The table of an ordered pair of different pages, as the program defines it; empty for equal
// pages.
std::span<const TCodePair> CodePageTable(TCodePage Source, TCodePage Target);

// Every byte's converted value for a pair of pages, as ConvertString converts it: the byte itself
// where the table lists nothing, and for equal pages.
std::array<unsigned char, 256> CodePageMap(TCodePage Source, TCodePage Target);

// The text with every character a table lists replaced by its "to" byte; equal pages give the
// text unchanged.
AnsiString ConvertString(const AnsiString& Text, TCodePage Source, TCodePage Target);
// The same into Out, reusing its storage (Out must not be Text).
void ConvertStringInto(const AnsiString& Text, TCodePage Source, TCodePage Target, AnsiString& Out);

class TCodePageConvertor : public TComponent {
public:
  using TComponent::TComponent;
  AnsiString ClassName() const override { return "TCodePageConvertor"; }

  TCodePage InputCodePage() const { return input_; }
  void SetInputCodePage(TCodePage v);
  TCodePage OutputCodePage() const { return output_; }
  void SetOutputCodePage(TCodePage v);
  const AnsiString& InputString() const { return inputString_; }
  void SetInputString(const AnsiString& v);
  // The converted text; every change of the three properties above recomputes it.
  const AnsiString& OutputString() const { return outputString_; }

  AnsiString ConvertString(const AnsiString& Text, TCodePage Source, TCodePage Target) const {
    return ::ConvertString(Text, Source, Target);
  }

private:
  void Recompute();
  TCodePage input_ = cpALT, output_ = cpALT;
  AnsiString inputString_, outputString_;
};
