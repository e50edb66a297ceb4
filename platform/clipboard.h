#pragma once
// The desktop clipboard: plain text (converted between the code page and Unicode, and between
// the code page's CR LF line breaks and the desktop's LF) and private
// formats of the program, carried as MIME types of its own so that two running editors share them.
#include <functional>
#include <string>

#include "platform/ansi.h"

using TClipboardFormat = unsigned;
constexpr TClipboardFormat CF_TEXT = 1;

// A format number for a name; the same name gives the same number.
TClipboardFormat RegisterClipboardFormat(const AnsiString& Name);

class TClipboard {
public:
  TClipboard() = default;
  bool HasFormat(TClipboardFormat Format) const;
  AnsiString AsText() const;
  void SetAsText(const AnsiString& Text);
  // Raw bytes of a private format; empty when the clipboard holds none.
  std::string GetBuffer(TClipboardFormat Format) const;
  // Open/Close bracket several formats into one clipboard content.
  void Open();
  void Close();
  void SetBuffer(TClipboardFormat Format, const std::string& Data);
  void Clear();

private:
  friend TClipboard* PrimarySelection();
  explicit TClipboard(bool Primary) : primary_(Primary) {}
  bool primary_ = false;
  int openCount_ = 0;
};

TClipboard* Clipboard();
// The X primary selection (what is selected now, in this or another program), read and written
// as the clipboard is, with the same text conversions: what a middle click pastes. nullptr where
// the desktop has no primary selection.
TClipboard* PrimarySelection();

// The X primary selection, which a middle click in another window pastes: an owner with text
// selected offers it, and is asked for the text only when another program pastes it; an owner
// whose selection goes, or that goes away, withdraws it. Nothing where the desktop has none.
void OfferPrimarySelection(const void* Owner, std::function<AnsiString()> Text);
void WithdrawPrimarySelection(const void* Owner);
