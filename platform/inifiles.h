#pragma once
// Settings files with the semantics of the Windows profile services: sections and keys match
// without regard to case, values are trimmed (a pair of enclosing quotes is removed), a line
// that is neither a section header nor a key=value pair is ignored, and a value of the wrong
// type reads as the default. Every write goes straight to the file, written whole to a temporary
// file and renamed over the old one, so a crash never leaves half a file. Every read looks at the
// file as it is on disk now, so two objects on one file see each other's writes.
#include "platform/classes.h"

VT_DECLARE_EXCEPTION(EIniFileException, Exception);

class TIniFile : public TObject {
public:
  // A bare name (no folder) lies in the settings folder (SettingsDir()).
  explicit TIniFile(const AnsiString& FileName);
  const AnsiString& FileName() const { return fileName_; }

  AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) const;
  // Decimal or hexadecimal ("$1F", "0x1F"); anything else gives Default.
  int ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default) const;
  // An integer value: non-zero is true; anything else gives Default.
  bool ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) const;
  // EIniFileException when the file cannot be written.
  void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value);
  void WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value);
  void WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value);
  // The key names of a section, in file order.
  void ReadSection(const AnsiString& Section, TStrings* Strings) const;
  void ReadSections(TStrings* Strings) const;
  // "key=value" lines of a section.
  void ReadSectionValues(const AnsiString& Section, TStrings* Strings) const;
  bool SectionExists(const AnsiString& Section) const;
  bool ValueExists(const AnsiString& Section, const AnsiString& Ident) const;
  void EraseSection(const AnsiString& Section);
  void DeleteKey(const AnsiString& Section, const AnsiString& Ident);
  // Nothing is buffered: present for callers that flush.
  void UpdateFile() {}

private:
  AnsiString fileName_;
};
