#pragma once
// The registry: a store of keys and values kept in a text file of the settings folder. Keys are
// paths of names joined with '\' below a root key; each key holds named 32-bit integer and
// string values. Names of keys and values compare without regard to letter case and keep the
// case they were created with. Every change is written to the file at once, atomically (a
// temporary file renamed over the old one), so that a crash mid-write never loses what was
// stored.
#include <cstdint>

#include "platform/ansi.h"
#include "platform/classes.h"
#include "platform/sysutils.h"

using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// Raised for a value of the wrong type or one that cannot be read or written.
VT_DECLARE_EXCEPTION(ERegistryException, Exception);

enum TRegDataType { rdUnknown, rdString, rdInteger };

class TRegistry : public TObject {
public:
  TRegistry();
  ~TRegistry() override;

  // The root below which key paths are taken (HKEY_CURRENT_USER at first). Setting it closes
  // the current key.
  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY v);
  // Path of the open key below the root, without a leading '\'; empty when no key is open or
  // the root itself is open.
  const AnsiString& CurrentPath() const { return currentPath_; }
  bool HasCurrentKey() const { return open_; }

  // Opens Key: a path starting with '\' is taken from the root, any other from the open key.
  // A missing key is created when CanCreate is true, otherwise the result is false.
  bool OpenKey(const AnsiString& Key, bool CanCreate);
  // Opens an existing key for reading only; writes to it raise ERegistryException.
  bool OpenKeyReadOnly(const AnsiString& Key);
  void CloseKey();
  bool CreateKey(const AnsiString& Key);
  bool DeleteKey(const AnsiString& Key);
  bool KeyExists(const AnsiString& Key) const;

  // Values of the open key.
  bool ValueExists(const AnsiString& Name) const;
  TRegDataType GetDataType(const AnsiString& Name) const;
  // ERegistryException "Invalid data type for '%s'" when the value is missing or not an integer.
  int ReadInteger(const AnsiString& Name) const;
  // An empty text for a missing value; ERegistryException for a value that is not a string.
  AnsiString ReadString(const AnsiString& Name) const;
  bool ReadBool(const AnsiString& Name) const { return ReadInteger(Name) != 0; }
  void WriteInteger(const AnsiString& Name, int Value);
  void WriteString(const AnsiString& Name, const AnsiString& Value);
  void WriteBool(const AnsiString& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }
  bool DeleteValue(const AnsiString& Name);
  // Names of the open key's direct sub-keys and of its values, in the order of creation.
  void GetKeyNames(TStrings* Strings) const;
  void GetValueNames(TStrings* Strings) const;

  // The file that holds the store ("registry.txt" in the settings folder).
  static AnsiString StoreFileName();

private:
  AnsiString Resolve(const AnsiString& Key) const;
  void RequireWritable(const AnsiString& Name) const;

  HKEY rootKey_ = HKEY_CURRENT_USER;
  AnsiString currentPath_;
  bool open_ = false;
  bool readOnly_ = false;
};
