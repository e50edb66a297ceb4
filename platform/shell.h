#pragma once
// The desktop shell: opening a file or link with its default handler and starting programs.
#include <functional>
#include <vector>

#include "platform/ansi.h"

class TWinControl;

enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3 };

// Opens Target: an executable file is started (detached, with Parameters split at blanks), any
// other file, folder or link goes to the desktop's default handler (xdg-open), which runs on its
// own: when it ends having failed, a message box says so. An empty Operation means "open". A
// mailto or http link is percent-encoded as the desktop's handler needs (existing %XX escapes
// stay); its text is otherwise kept. Returns a value above 32 on success, as the shell does, and
// 2 (file not found) or 31 (no handler: no program to start, no xdg-open) on failure.
intptr_t ShellExecute(TWinControl* Owner, const AnsiString& Operation, const AnsiString& Target,
                      const AnsiString& Parameters, const AnsiString& Directory, int ShowCmd);
// Starts a program detached from this one; false when it cannot be started.
bool StartProgram(const AnsiString& Program, const std::vector<AnsiString>& Arguments);
// The link or local file URL handed to the desktop for a target (UTF-8), for tests and logs.
std::string ShellTargetUrl(const AnsiString& Target);

// Test hook: asked first with the operation, the target as the program gave it and the URL
// (or program path) that would be launched; returning true means handled (nothing launched).
using TShellHook = std::function<bool(const AnsiString& Operation, const AnsiString& Target,
                                      const std::string& Launched)>;
void SetShellHook(TShellHook hook);

// A shell link as the desktop knows it: a desktop entry in LinkFile's folder that starts Target
// with the file it is handed, for HTML files (MIME type text/html), so the program appears in
// the file manager's "Open with" list. It shows LinkFile's name without extension; its file is
// named by the desktop's rules for entry ids (ShellLinkFile). An entry this function wrote under
// the link's plain name (LinkFile with ".desktop" in place of its extension) goes. Empty texts
// are left out. Raises EInOutError when the file cannot be written.
void CreateShellLink(const AnsiString& Target, const AnsiString& LinkFile, const AnsiString& Arguments,
                     const AnsiString& Description, const AnsiString& WorkingDirectory);
// The desktop entry file of a shell link: in LinkFile's folder, its name without extension in
// lower case with each run of characters other than ASCII letters, digits, '-' and '_' made one
// '-' ("Vantry Tarn.lnk" -> "vantry-tarn.desktop"), as the desktop's tools need of an entry id.
AnsiString ShellLinkFile(const AnsiString& LinkFile);
// The desktop's applications folder (DesktopBaseFolder("XDG_DATA_HOME", ".local/share") +
// "/applications"), the shell's "SendTo" folder here; created on first use, mode 0700.
AnsiString SendToFolder();
