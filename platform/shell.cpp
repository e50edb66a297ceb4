#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/graphics.h"
#include "platform/sysutils.h"

namespace {

TShellHook& Hook() {
  static TShellHook h;
  return h;
}

bool IsLink(const AnsiString& t) {
  auto colon = t.find(':');
  if (colon == std::string::npos || colon < 2) return false;  // "C:" is a drive, not a scheme
  for (size_t i = 0; i < colon; ++i)
    if (!std::isalnum(static_cast<unsigned char>(t[i])) && t[i] != '+' && t[i] != '-' && t[i] != '.')
      return false;
  return true;
}

// Percent-encodes what a URL may not hold: controls, blanks, quotes, angle brackets and every
// non-ASCII byte of the UTF-8 text. Delimiters (: / ? & = @ # %) are kept so that the link
// means what the program built; a '%' not starting an escape is encoded.
std::string EncodeLink(const std::string& utf8) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    bool keep = c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' &&
                c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
    if (c == '%') keep = i + 2 < utf8.size() && std::isxdigit(static_cast<unsigned char>(utf8[i + 1])) &&
                         std::isxdigit(static_cast<unsigned char>(utf8[i + 2]));
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::vector<AnsiString> SplitArgs(const AnsiString& s) {
  std::vector<AnsiString> v;
  AnsiString cur;
  bool quoted = false;
  for (char c : s) {
    if (c == '"') quoted = !quoted;
    else if (c == ' ' && !quoted) {
      if (!cur.empty()) v.push_back(cur);
      cur.clear();
    } else cur += c;
  }
  if (!cur.empty()) v.push_back(cur);
  return v;
}

}  // namespace

void SetShellHook(TShellHook hook) { Hook() = std::move(hook); }

std::string ShellTargetUrl(const AnsiString& Target) {
  if (IsLink(Target)) return EncodeLink(AnsiToUtf8(Target));
  std::string path = ResolveSystemName(Target);
  return QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath()).toString(QUrl::FullyEncoded).toStdString();
}

bool StartProgram(const AnsiString& Program, const std::vector<AnsiString>& Arguments) {
  if (Hook()) {
    AnsiString all = Program;
    for (auto& a : Arguments) all += " " + a;
    if (Hook()("start", all, ResolveSystemName(Program))) return true;
  }
  EnsureGuiApplication();
  QStringList args;
  for (auto& a : Arguments) args << QString::fromStdString(AnsiToSystemName(a));
  return QProcess::startDetached(QString::fromStdString(ResolveSystemName(Program)), args);
}

intptr_t ShellExecute(TWinControl*, const AnsiString& Operation, const AnsiString& Target,
                      const AnsiString& Parameters, const AnsiString&, int) {
  AnsiString op = Operation.empty() ? AnsiString("open") : Operation;
  if (!IsLink(Target)) {
    std::string path = ResolveSystemName(Target);
    QFileInfo fi(QString::fromStdString(path));
    if (!fi.exists()) {
      if (Hook() && Hook()(op, Target, path)) return 42;
      return 2;
    }
    if (fi.isFile() && fi.isExecutable()) {
      if (Hook() && Hook()(op, Target, path)) return 42;
      return StartProgram(Target, SplitArgs(Parameters)) ? 42 : 31;
    }
  }
  std::string url = ShellTargetUrl(Target);
  if (Hook() && Hook()(op, Target, url)) return 42;
  EnsureGuiApplication();
  return QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url))) ? 42 : 31;
}

// ------------------------------------------------------------------------------ shell links

namespace {

// A desktop entry's Exec argument: quoted, with the characters the format reserves escaped.
std::string ExecQuote(const std::string& s) {
  std::string r = "\"";
  for (char c : s) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') r += "\\\\";
    if (c == '%') r += '%';
    r += c;
  }
  return r + "\"";
}

std::string OneLine(std::string s) {
  for (auto& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

}  // namespace

void CreateShellLink(const AnsiString& Target, const AnsiString& LinkFile, const AnsiString& Arguments,
                     const AnsiString& Description, const AnsiString& WorkingDirectory) {
  AnsiString file = ChangeFileExt(LinkFile, ".desktop");
  std::string name = OneLine(AnsiToUtf8(ChangeFileExt(ExtractFileName(LinkFile), "")));
  std::string exec = ExecQuote(AnsiToSystemName(Target));
  if (!Arguments.empty()) exec += " " + OneLine(AnsiToUtf8(Arguments));
  exec += " %f";
  std::string text = "[Desktop Entry]\nType=Application\nName=" + name + "\n";
  if (!Description.empty()) text += "Comment=" + OneLine(AnsiToUtf8(Description)) + "\n";
  text += "Exec=" + exec + "\n";
  if (!WorkingDirectory.empty()) text += "Path=" + OneLine(AnsiToSystemName(WorkingDirectory)) + "\n";
  text += "MimeType=text/html;\nTerminal=false\nCategories=Development;WebDevelopment;\n";
  std::string sys = AnsiToSystemName(file);
  std::string tmp = sys + ".new";
  FILE* f = fopen(tmp.c_str(), "wb");
  bool ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f) ok = fclose(f) == 0 && ok;
  if (ok) ok = rename(tmp.c_str(), sys.c_str()) == 0;
  if (!ok) {
    int err = errno;
    unlink(tmp.c_str());
    throw EInOutError(Format(W1251("Не удаётся создать файл \"%s\". %s"), {file, SysErrorMessage(err)}));
  }
}

AnsiString SendToFolder() {
  AnsiString ansi = SystemNameToAnsi(DesktopBaseFolder("XDG_DATA_HOME", ".local/share") + "/applications");
  ForceDirectories(ansi, 0700);
  return ansi;
}
