#include "platform/shell.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/dialogs.h"
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

enum TOpenerEnd { oeExited, oeCrashed, oeNotStarted };

// Tells the user that the desktop's opener could not open Target, as the shell reports a failed
// open: the opener's exit status says why (2: no such file, 3: no program for it).
void ReportFailedOpen(const AnsiString& Target, TOpenerEnd end, int exitCode) {
  AnsiString text;
  if (end == oeNotStarted)
    text = Format(W1251("Не удалось открыть \"%s\": не запускается xdg-open, которая открывает файлы и "
                        "ссылки (пакет xdg-utils)."),
                  {Target});
  else if (end == oeCrashed)
    text = Format(W1251("Не удалось открыть \"%s\": xdg-open завершилась аварийно."), {Target});
  else if (exitCode == 2)
    text = Format(W1251("Не удалось открыть \"%s\": файл не найден."), {Target});
  else if (exitCode == 3)
    text = Format(W1251("Не удалось открыть \"%s\": нет программы, которая его открывает."), {Target});
  else
    text = Format(W1251("Не удалось открыть \"%s\": xdg-open завершилась с ошибкой (код %d)."),
                  {Target, exitCode});
  MessageBox(nullptr, text, W1251("Ошибка"), MB_OK | MB_ICONERROR);
}

// Hands the URL to the desktop's opener and returns at once; a failure is reported when the
// opener ends. False when there is no opener to start.
bool OpenWithDesktop(const AnsiString& Target, const std::string& url) {
  QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) return false;
  // Never freed while it runs: freeing it would kill the opener, and with it the program that
  // some desktops start in its place. The running ones stay reachable from here.
  static std::set<QProcess*>& running = *new std::set<QProcess*>;
  auto* p = new QProcess;
  running.insert(p);
  // The opener and what it starts write to this program's output and read nothing.
  p->setProcessChannelMode(QProcess::ForwardedChannels);
  p->setStandardInputFile(QProcess::nullDevice());
  auto done = [p] {
    running.erase(p);
    p->deleteLater();
  };
  QObject::connect(p, &QProcess::errorOccurred, p, [p, Target, done](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;
    done();
    ReportFailedOpen(Target, oeNotStarted, 0);
  });
  QObject::connect(p, &QProcess::finished, p, [Target, done](int code, QProcess::ExitStatus status) {
    done();
    if (status == QProcess::CrashExit) ReportFailedOpen(Target, oeCrashed, 0);
    else if (code != 0) ReportFailedOpen(Target, oeExited, code);
  });
  p->start(opener, {QString::fromStdString(url)});
  return true;
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
  return OpenWithDesktop(Target, url) ? 42 : 31;
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

// Whether a file is a desktop entry as CreateShellLink writes one.
bool IsOwnDesktopEntry(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  static const char kHead[] = "[Desktop Entry]\nType=Application\n";
  char head[sizeof kHead - 1];
  bool own = fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head, kHead, sizeof head) == 0;
  fclose(f);
  return own;
}

std::string OneLine(std::string s) {
  for (auto& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

}  // namespace

AnsiString ShellLinkFile(const AnsiString& LinkFile) {
  AnsiString id;
  for (char c : ChangeFileExt(ExtractFileName(LinkFile), "")) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80 && (std::isalnum(u) || c == '-' || c == '_')) id += static_cast<char>(std::tolower(u));
    else if (!id.empty() && id.back() != '-') id += '-';
  }
  while (!id.empty() && id.back() == '-') id.pop_back();
  if (id.empty()) id = "link";
  return ExtractFilePath(LinkFile) + id + ".desktop";
}

void CreateShellLink(const AnsiString& Target, const AnsiString& LinkFile, const AnsiString& Arguments,
                     const AnsiString& Description, const AnsiString& WorkingDirectory) {
  AnsiString file = ShellLinkFile(LinkFile);
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
  // The entry written before under the link's plain name: a name with a blank breaks the
  // desktop's tools (the default HTML handler is looked up by it).
  AnsiString plain = ChangeFileExt(LinkFile, ".desktop");
  if (plain != file && IsOwnDesktopEntry(AnsiToSystemName(plain))) unlink(AnsiToSystemName(plain).c_str());
}

AnsiString SendToFolder() {
  AnsiString ansi = SystemNameToAnsi(DesktopBaseFolder("XDG_DATA_HOME", ".local/share") + "/applications");
  ForceDirectories(ansi, 0700);
  return ansi;
}
