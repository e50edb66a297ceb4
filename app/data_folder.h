#pragma once
// Where the program's files lie. The folder of the executable holds what was installed with it
// (the help pages, the shipped data files) and is only read. The files the program writes
// (notes, lists, template, the preview of an untitled page) lie in the user's data folder.
#include "platform/sysutils.h"

// The folder of the running executable, without the trailing delimiter.
AnsiString InstallFolder();
// For tests: the folder taken for the executable's; empty gives the real one back.
void SetInstallFolder(const AnsiString& Folder);
// A file installed with the program: the install folder + the name.
AnsiString InstalledFile(const AnsiString& Name);
// The running executable.
AnsiString ProgramExecutable();

// The user's data folder: $VANTRY_TARN_DATA_DIR, else $XDG_DATA_HOME/vantry-tarn, else
// ~/.local/share/vantry-tarn; created on first use. Without the trailing delimiter.
AnsiString UserDataFolder();

// Copies into Folder each shipped data file of the install folder that Folder lacks. A file
// Folder holds is never written; a file that cannot be copied is left to fail where it is read.
void CopyMissingDataFiles(const AnsiString& Folder);
