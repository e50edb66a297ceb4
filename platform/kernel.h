#pragma once
// Kernel services: run-time libraries (dlopen), the error mode of library loading, temporary
// files. Names are program text; the file system sees them as UTF-8.
#include <cstdint>

#include "platform/ansi.h"

using HMODULE = void*;

// Loads a shared library by path or bare name. A bare name is looked for in the running
// program's folder first, then by the system's search. A name ending in ".DLL" (any case) that
// is missing as given is looked up as "lib" + lower-case stem + ".so" in the same folder (or by
// the same search): "ZIPDLL.DLL" → "libzipdll.so". Returns nullptr on failure.
HMODULE LoadLibrary(const AnsiString& Name);
void FreeLibrary(HMODULE Module);
// The address of an exported function, nullptr when the library has none of that name.
void* GetProcAddress(HMODULE Module, const char* Name);
// The full path of the file a loaded library came from (program text).
AnsiString GetModuleFileName(HMODULE Module);
// The error mode of library loading: loading never shows the system's boxes here, so the mode
// is only kept and handed back.
unsigned SetErrorMode(unsigned Mode);
// Why the last LoadLibrary failed, for messages and tests.
AnsiString LastLibraryError();

// The system's temporary folder ($TMPDIR or /tmp), with a trailing delimiter.
AnsiString GetTempPath();
// Creates a new, empty, uniquely named file in Folder whose name starts with Prefix and
// returns its name; empty when none can be created.
AnsiString GetTempFileName(const AnsiString& Folder, const AnsiString& Prefix);

// Drives. Every existing folder counts as a folder on a fixed disk: removable disks, their
// volume labels and the formatting of disks have no unprivileged equivalent here.
enum : unsigned { DRIVE_UNKNOWN = 0, DRIVE_NO_ROOT_DIR = 1, DRIVE_REMOVABLE = 2, DRIVE_FIXED = 3, DRIVE_REMOTE = 4,
                  DRIVE_CDROM = 5, DRIVE_RAMDISK = 6 };
// DRIVE_FIXED for an existing folder, DRIVE_NO_ROOT_DIR otherwise.
unsigned GetDriveType(const AnsiString& Root);
// The bytes the user may still write on the file system holding Path, and its size; false
// (both -1) when the file system cannot be asked.
bool GetDiskFreeSpaceEx(const AnsiString& Path, int64_t& FreeBytes, int64_t& TotalBytes);

// The OEM code page (DOS 866) and the program's code page (Windows-1251) byte for byte, as the
// system's OEM conversion does; a character the target lacks becomes '?'.
AnsiString OemToChar(const AnsiString& Oem);
AnsiString CharToOem(const AnsiString& Text);
