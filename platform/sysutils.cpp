#include "platform/sysutils.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

void Abort() { throw EAbort(); }

namespace {

[[noreturn]] void FormatError(std::string_view fmt) {
  throw EConvertError(W1251("Формат \"") + AnsiString(fmt) + W1251("\" неверен или не подходит к аргументам."));
}

}  // namespace

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
  AnsiString out;
  const TVarRec* a = args.begin();
  size_t argCount = args.size(), next = 0;
  size_t i = 0;
  auto takeInt = [&]() -> int64_t {
    if (next >= argCount || !std::holds_alternative<int64_t>(a[next].v)) FormatError(fmt);
    return std::get<int64_t>(a[next++].v);
  };
  while (i < fmt.size()) {
    char c = fmt[i++];
    if (c != '%') { out += c; continue; }
    if (i >= fmt.size()) FormatError(fmt);
    if (fmt[i] == '%') { out += '%'; ++i; continue; }
    // [index:] [-] [width] [.prec] type
    size_t save = i;
    int num = -1;
    while (i < fmt.size() && isdigit(static_cast<unsigned char>(fmt[i]))) {
      num = (num < 0 ? 0 : num * 10) + (fmt[i] - '0');
      ++i;
    }
    if (i < fmt.size() && fmt[i] == ':' && num >= 0) { next = static_cast<size_t>(num); ++i; }
    else i = save;
    bool left = false;
    if (i < fmt.size() && fmt[i] == '-') { left = true; ++i; }
    int width = -1, prec = -1;
    if (i < fmt.size() && fmt[i] == '*') { width = static_cast<int>(takeInt()); ++i; }
    else while (i < fmt.size() && isdigit(static_cast<unsigned char>(fmt[i]))) {
      width = (width < 0 ? 0 : width * 10) + (fmt[i] - '0');
      ++i;
    }
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      prec = 0;
      if (i < fmt.size() && fmt[i] == '*') { prec = static_cast<int>(takeInt()); ++i; }
      else while (i < fmt.size() && isdigit(static_cast<unsigned char>(fmt[i]))) { prec = prec * 10 + (fmt[i] - '0'); ++i; }
    }
    if (i >= fmt.size()) FormatError(fmt);
    char type = static_cast<char>(tolower(static_cast<unsigned char>(fmt[i])));
    bool upperHex = fmt[i] == 'X';
    ++i;
    if (next >= argCount) FormatError(fmt);
    const auto& arg = a[next++].v;
    AnsiString piece;
    char buf[512];
    switch (type) {
      case 'd': case 'u': {
        if (!std::holds_alternative<int64_t>(arg)) FormatError(fmt);
        int64_t v = std::get<int64_t>(arg);
        if (type == 'u') v = static_cast<int64_t>(static_cast<uint32_t>(v));
        snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v < 0 ? -v : v));
        piece = buf;
        if (prec > 0 && static_cast<int>(piece.size()) < prec) piece.insert(0, prec - piece.size(), '0');
        if (v < 0) piece.insert(0, 1, '-');
        break;
      }
      case 'x': {
        if (!std::holds_alternative<int64_t>(arg)) FormatError(fmt);
        int64_t v = std::get<int64_t>(arg);
        unsigned long long u = v < 0 && v >= INT32_MIN ? static_cast<uint32_t>(v) : static_cast<unsigned long long>(v);
        snprintf(buf, sizeof buf, upperHex ? "%llX" : "%llX", u);
        piece = buf;
        if (prec > 0 && static_cast<int>(piece.size()) < prec) piece.insert(0, prec - piece.size(), '0');
        break;
      }
      case 'p': {
        if (!std::holds_alternative<int64_t>(arg)) FormatError(fmt);
        snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(std::get<int64_t>(arg)));
        piece = buf;
        break;
      }
      case 's': {
        if (!std::holds_alternative<AnsiString>(arg)) FormatError(fmt);
        piece = std::get<AnsiString>(arg);
        if (prec >= 0 && static_cast<int>(piece.size()) > prec) piece.resize(prec);
        break;
      }
      case 'f': case 'g': case 'e': case 'n': case 'm': {
        double v;
        if (std::holds_alternative<double>(arg)) v = std::get<double>(arg);
        else if (std::holds_alternative<int64_t>(arg)) v = static_cast<double>(std::get<int64_t>(arg));
        else FormatError(fmt);
        if (type == 'g') snprintf(buf, sizeof buf, "%.*g", prec < 0 ? 15 : prec, v);
        else if (type == 'e') snprintf(buf, sizeof buf, "%.*E", prec < 0 ? 15 : prec, v);
        else snprintf(buf, sizeof buf, "%.*f", prec < 0 ? 2 : prec, v);
        piece = buf;
        break;
      }
      default:
        FormatError(fmt);
    }
    if (width > 0 && static_cast<int>(piece.size()) < width) {
      if (left) piece.append(width - piece.size(), ' ');
      else piece.insert(0, width - piece.size(), ' ');
    }
    out += piece;
  }
  return out;
}

AnsiString IntToStr(int64_t v) { return std::to_string(v); }

AnsiString IntToHex(int64_t v, int digits) {
  char buf[32];
  snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

bool TryStrToInt(std::string_view s, int& out) {
  AnsiString t = Trim(s);
  if (t.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (t[0] == '-' || t[0] == '+') { neg = t[0] == '-'; i = 1; }
  int64_t v = 0;
  bool hex = false;
  if (i < t.size() && t[i] == '$') { hex = true; ++i; }
  else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) { hex = true; i += 2; }
  if (i >= t.size()) return false;
  for (; i < t.size(); ++i) {
    int d;
    char c = t[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + d;
    if (hex ? v > 0xFFFFFFFFLL : v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (!hex && (v > INT32_MAX || v < INT32_MIN)) return false;
  out = static_cast<int>(static_cast<uint32_t>(v));
  return true;
}

int StrToInt(std::string_view s) {
  int v;
  if (!TryStrToInt(s, v)) throw EConvertError(Format(W1251("\"%s\" не является целым числом."), {AnsiString(s)}));
  return v;
}

int StrToIntDef(std::string_view s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

AnsiString Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return AnsiString(s.substr(b, e - b));
}

AnsiString TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  return AnsiString(s.substr(b));
}

AnsiString TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return AnsiString(s.substr(0, e));
}

AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(count, c) : AnsiString(); }

int Pos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return AnsiString(s);
  AnsiString out;
  size_t i = 0;
  for (;;) {
    size_t p = s.find(from, i);
    if (p == std::string_view::npos) break;
    out.append(s.substr(i, p - i));
    out.append(to);
    i = p + from.size();
  }
  out.append(s.substr(i));
  return out;
}

AnsiString SysErrorMessage(int err) {
  // The reasons in the user's language: the C library's texts are English in the C locale.
  static const struct {
    int err;
    const char* text;
  } kReasons[] = {
      {EPERM, "Операция не разрешена."},
      {ENOENT, "Нет такого файла или папки."},
      {EINTR, "Операция прервана."},
      {EIO, "Ошибка ввода-вывода."},
      {ENXIO, "Нет такого устройства или адреса."},
      {E2BIG, "Слишком длинный список аргументов."},
      {ENOEXEC, "Это не исполняемый файл."},
      {EBADF, "Неверный дескриптор файла."},
      {EAGAIN, "Ресурс временно недоступен."},
      {ENOMEM, "Недостаточно памяти."},
      {EACCES, "Отказано в доступе."},
      {EFAULT, "Неверный адрес."},
      {EBUSY, "Устройство или ресурс занято."},
      {EEXIST, "Файл уже существует."},
      {EXDEV, "Нельзя переместить файл на другое устройство."},
      {ENODEV, "Нет такого устройства."},
      {ENOTDIR, "Часть пути не является папкой."},
      {EISDIR, "Это папка."},
      {EINVAL, "Недопустимый аргумент."},
      {ENFILE, "Открыто слишком много файлов в системе."},
      {EMFILE, "Открыто слишком много файлов."},
      {ETXTBSY, "Файл занят."},
      {EFBIG, "Файл слишком велик."},
      {ENOSPC, "На устройстве не осталось места."},
      {ESPIPE, "Файл не допускает перемещения по нему."},
      {EROFS, "Файловая система доступна только для чтения."},
      {EMLINK, "Слишком много ссылок."},
      {EPIPE, "Канал закрыт."},
      {ENAMETOOLONG, "Слишком длинное имя файла."},
      {ENOLCK, "Нет свободных блокировок."},
      {ENOSYS, "Функция не поддерживается."},
      {ENOTEMPTY, "Папка не пуста."},
      {ELOOP, "Слишком много уровней символьных ссылок."},
      {EOVERFLOW, "Значение слишком велико."},
      {EOPNOTSUPP, "Операция не поддерживается."},
      {ETIMEDOUT, "Время ожидания истекло."},
      {ECONNREFUSED, "В соединении отказано."},
      {EHOSTUNREACH, "Узел недоступен."},
      {ESTALE, "Файл на сетевом диске больше недоступен."},
      {EDQUOT, "Превышена дисковая квота."},
      {ECANCELED, "Операция отменена."},
  };
  for (const auto& r : kReasons)
    if (r.err == err) return W1251(r.text);
  return Format(W1251("Системная ошибка %d."), {err});
}

AnsiString ExtractFilePath(std::string_view name) {
  size_t p = name.rfind(PathDelim);
  return p == std::string_view::npos ? AnsiString() : AnsiString(name.substr(0, p + 1));
}

AnsiString ExtractFileDir(std::string_view name) {
  size_t p = name.rfind(PathDelim);
  if (p == std::string_view::npos) return AnsiString();
  if (p == 0) return "/";
  return AnsiString(name.substr(0, p));
}

AnsiString ExtractFileName(std::string_view name) {
  size_t p = name.rfind(PathDelim);
  return AnsiString(p == std::string_view::npos ? name : name.substr(p + 1));
}

AnsiString ExtractFileExt(std::string_view name) {
  size_t p = name.find_last_of("./");
  if (p == std::string_view::npos || name[p] != '.') return AnsiString();
  return AnsiString(name.substr(p));
}

AnsiString ChangeFileExt(std::string_view name, std::string_view ext) {
  size_t p = name.find_last_of("./");
  if (p == std::string_view::npos || name[p] != '.') return AnsiString(name) + AnsiString(ext);
  return AnsiString(name.substr(0, p)) + AnsiString(ext);
}

AnsiString IncludeTrailingPathDelimiter(std::string_view s) {
  AnsiString r(s);
  if (r.empty() || r.back() != PathDelim) r += PathDelim;
  return r;
}

AnsiString ExcludeTrailingPathDelimiter(std::string_view s) {
  AnsiString r(s);
  while (r.size() > 1 && r.back() == PathDelim) r.pop_back();
  return r;
}

std::string AnsiToSystemName(std::string_view name) { return AnsiToUtf8(name); }

AnsiString SystemNameToAnsi(std::string_view name) {
  bool lost = false;
  AnsiString r = Utf8ToAnsi(name, '?', &lost);
  if (lost)
    throw EConvertError(W1251("В имени файла \"") + r +
                        W1251("\" есть символы, которых нет в кодовой странице Windows-1251."));
  return r;
}

namespace {

bool StatExists(const std::string& p, struct stat* st = nullptr) {
  struct stat s;
  if (::stat(p.c_str(), &s) != 0) return false;
  if (st) *st = s;
  return true;
}

}  // namespace

std::string ResolveSystemName(std::string_view name) {
  std::string sys = AnsiToSystemName(name);
  if (sys.empty() || StatExists(sys)) return sys;
  // Walk component by component, matching each missing one case-insensitively.
  std::string result;
  size_t i = 0;
  if (sys[0] == '/') { result = "/"; i = 1; }
  while (i <= sys.size()) {
    size_t e = sys.find('/', i);
    if (e == std::string::npos) e = sys.size();
    std::string comp = sys.substr(i, e - i);
    if (!comp.empty()) {
      std::string candidate = result + comp;
      if (!StatExists(candidate)) {
        std::string dir = result.empty() ? "." : result;
        bool found = false;
        if (DIR* d = opendir(dir.c_str())) {
          std::string want = AnsiLowerCase(Utf8ToAnsi(comp));
          while (dirent* de = readdir(d)) {
            if (AnsiLowerCase(Utf8ToAnsi(de->d_name)) == want) {
              candidate = result + de->d_name;
              found = true;
              break;
            }
          }
          closedir(d);
        }
        if (!found) return sys;
      }
      result = candidate;
      if (e < sys.size()) result += '/';
    }
    i = e + 1;
  }
  return result;
}

bool FileExists(std::string_view name) {
  struct stat st;
  return StatExists(ResolveSystemName(name), &st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view name) {
  struct stat st;
  return StatExists(ResolveSystemName(name), &st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view name, unsigned Mode) {
  std::string p = AnsiToSystemName(ExcludeTrailingPathDelimiter(name));
  if (p.empty()) return false;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      std::string part = p.substr(0, i);
      if (::mkdir(part.c_str(), static_cast<mode_t>(Mode)) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return StatExists(p, &st) && S_ISDIR(st.st_mode);
}

bool DeleteFile(std::string_view name) { return ::unlink(ResolveSystemName(name).c_str()) == 0; }

bool RenameFile(std::string_view from, std::string_view to) {
  return ::rename(ResolveSystemName(from).c_str(), AnsiToSystemName(to).c_str()) == 0;
}

int64_t FileSize(std::string_view name) {
  struct stat st;
  if (!StatExists(ResolveSystemName(name), &st)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string DesktopBaseFolder(const char* XdgVar, const char* HomeDefault) {
  // Only an absolute path counts: a relative one would move with the current folder.
  if (const char* x = getenv(XdgVar); x && x[0] == '/') return x;
  std::string home;
  if (const char* h = getenv("HOME"); h && *h) {
    home = h;
  } else {
    // Without HOME the account's own home folder; never a shared folder that another user
    // could have made first.
    std::vector<char> buf(16384);
    passwd pw{}, *found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
      home = found->pw_dir;
  }
  if (home.empty())
    throw EInOutError(W1251("Не удаётся найти домашнюю папку пользователя: переменная HOME не задана, а в базе "
                            "пользователей её нет."));
  return home + "/" + HomeDefault;
}

AnsiString UserFolder(const char* OverrideVar, const char* XdgVar, const char* HomeDefault) {
  std::string dir;
  if (const char* v = getenv(OverrideVar); v && *v) dir = v;
  else dir = DesktopBaseFolder(XdgVar, HomeDefault) + "/vantry-tarn";
  AnsiString ansi = Utf8ToAnsi(dir);
  // The folders made here hold the user's settings and notes: only the user may enter them.
  ForceDirectories(ansi, 0700);
  return ExcludeTrailingPathDelimiter(ansi);
}

AnsiString SettingsDir() {
  return IncludeTrailingPathDelimiter(UserFolder("VANTRY_TARN_CONFIG_DIR", "XDG_CONFIG_HOME", ".config"));
}
