#pragma once
// Exceptions, message formatting, number and text conversions, file names.
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "platform/ansi.h"

// Base of every exception of the program: a message in program text (Windows-1251).
class Exception : public std::exception {
public:
  explicit Exception(AnsiString message) : message_(std::move(message)) {}
  const AnsiString& Message() const { return message_; }
  void SetMessage(AnsiString m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

private:
  AnsiString message_;
};

// Declares an exception class `Name` derived from `Base` with the usual constructor.
#define VT_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                      \
  public:                                                         \
    using Base::Base;                                             \
    const char* ClassName() const override { return #Name; }      \
  }

// The silent abort: ends a handler chain without a message.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
  const char* ClassName() const override { return "EAbort"; }
};
[[noreturn]] void Abort();

VT_DECLARE_EXCEPTION(EListError, Exception);
VT_DECLARE_EXCEPTION(EStringListError, Exception);
VT_DECLARE_EXCEPTION(EConvertError, Exception);
VT_DECLARE_EXCEPTION(EInOutError, Exception);
VT_DECLARE_EXCEPTION(EStreamError, Exception);
VT_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
VT_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
VT_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
VT_DECLARE_EXCEPTION(EReadError, EStreamError);
VT_DECLARE_EXCEPTION(EWriteError, EStreamError);
VT_DECLARE_EXCEPTION(EComponentError, Exception);
VT_DECLARE_EXCEPTION(EInvalidOperation, Exception);
VT_DECLARE_EXCEPTION(EOutOfResources, Exception);

// One argument of Format: an integer, a floating-point value or a text.
struct TVarRec {
  std::variant<int64_t, double, AnsiString> v;
  TVarRec(int x) : v(static_cast<int64_t>(x)) {}
  TVarRec(unsigned x) : v(static_cast<int64_t>(x)) {}
  TVarRec(long x) : v(static_cast<int64_t>(x)) {}
  TVarRec(unsigned long x) : v(static_cast<int64_t>(x)) {}
  TVarRec(long long x) : v(static_cast<int64_t>(x)) {}
  TVarRec(unsigned long long x) : v(static_cast<int64_t>(x)) {}
  TVarRec(double x) : v(x) {}
  TVarRec(const char* s) : v(AnsiString(s ? s : "")) {}
  TVarRec(std::string_view s) : v(AnsiString(s)) {}
  TVarRec(const AnsiString& s) : v(s) {}
};

// The class library's Format: %d %u %x %X %s %f %g %e %n %m %p %% with optional index ("%0:s"),
// "-" for left alignment, width and precision ("*" takes them from the arguments). A format
// that does not fit its arguments raises EConvertError.
AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args);

AnsiString IntToStr(int64_t v);
AnsiString IntToHex(int64_t v, int digits);
int StrToInt(std::string_view s);  // EConvertError naming the text that is no integer
int StrToIntDef(std::string_view s, int def);
bool TryStrToInt(std::string_view s, int& out);
AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);
AnsiString StringOfChar(char c, int count);
// 1-based position of `sub` in `s`, 0 when absent (the class library's Pos).
int Pos(std::string_view sub, std::string_view s);
AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to);
// Text of the last system error number, for messages.
AnsiString SysErrorMessage(int err);

// File names (program text). The path delimiter is '/'.
constexpr char PathDelim = '/';
AnsiString ExtractFilePath(std::string_view name);   // with the trailing delimiter
AnsiString ExtractFileDir(std::string_view name);    // without it
AnsiString ExtractFileName(std::string_view name);
AnsiString ExtractFileExt(std::string_view name);    // with the dot
AnsiString ChangeFileExt(std::string_view name, std::string_view ext);
AnsiString IncludeTrailingPathDelimiter(std::string_view s);
AnsiString ExcludeTrailingPathDelimiter(std::string_view s);
bool FileExists(std::string_view name);
bool DirectoryExists(std::string_view name);
// Makes the folder and every missing folder above it, each with Mode (less the umask).
bool ForceDirectories(std::string_view name, unsigned Mode = 0777);
bool DeleteFile(std::string_view name);
bool RenameFile(std::string_view from, std::string_view to);
int64_t FileSize(std::string_view name);  // -1 when it cannot be read

// File-system boundary: program text names to the file system's UTF-8 and back. A name the
// code page cannot hold raises EConvertError with the name.
std::string AnsiToSystemName(std::string_view name);
AnsiString SystemNameToAnsi(std::string_view name);
// The name as the file system holds it: the name itself when it exists, otherwise the first
// entry that matches it case-insensitively, component by component; the name itself when
// nothing matches. The program was written for a case-insensitive file system.
std::string ResolveSystemName(std::string_view name);

// A base folder of the desktop (system name): $XdgVar when it is an absolute path (a relative
// one is ignored, as if unset), else the user's home folder + "/" + HomeDefault. The home folder
// is $HOME, else the one the password database holds for the user; EInOutError when neither has
// one.
std::string DesktopBaseFolder(const char* XdgVar, const char* HomeDefault);
// The user's folder of this program under the desktop's base folders: the folder OverrideVar
// names, else DesktopBaseFolder(XdgVar, HomeDefault)/vantry-tarn; created on first use, with
// mode 0700 for every folder it makes. Program text, without a trailing delimiter.
AnsiString UserFolder(const char* OverrideVar, const char* XdgVar, const char* HomeDefault);
// The settings folder (the program's "Windows directory"): $VANTRY_TARN_CONFIG_DIR, else
// $XDG_CONFIG_HOME/vantry-tarn (an absolute one), else ~/.config/vantry-tarn. With the trailing
// delimiter.
AnsiString SettingsDir();
