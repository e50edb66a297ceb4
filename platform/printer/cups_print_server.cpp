// The desktop's print server: CUPS, asked directly through its library, so that every request
// is bounded in time. A server that is not there (nothing listening) has no printers; one that
// takes the connection and then does not answer is reported as such.
#include "platform/printer/cups_print_server.h"

#include <cups/cups.h>
#include <cups/pwg.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "platform/kernel.h"
#include "platform/sysutils.h"

namespace {

// The calls of the CUPS library this server makes.
#define VT_CUPS_CALLS(F)                                                                               \
  F(cupsAddOption) F(cupsDoRequest) F(cupsEncryption) F(cupsFreeOptions) F(cupsLastError)             \
  F(cupsLastErrorString) F(cupsPrintFile2) F(cupsServer) F(cupsSetServer) F(httpClose) F(httpConnect2) \
  F(httpSetTimeout) F(ippAddStrings) F(ippDelete) F(ippFindAttribute) F(ippFirstAttribute)            \
  F(ippGetBoolean) F(ippGetCount) F(ippGetGroupTag) F(ippGetName) F(ippGetString) F(ippNewRequest)    \
  F(ippNextAttribute) F(ippPort) F(pwgMediaForLegacy) F(pwgMediaForPPD) F(pwgMediaForPWG)

struct TCupsLibrary {
#define VT_CUPS_POINTER(name) decltype(&::name) name = nullptr;
  VT_CUPS_CALLS(VT_CUPS_POINTER)
#undef VT_CUPS_POINTER
};

// The library, opened when the server is first asked: linked to the program, it and the dozen
// libraries it needs would be loaded at every start.
const TCupsLibrary& Cups() {
  static const TCupsLibrary* library = []() -> const TCupsLibrary* {
    HMODULE module = LoadLibrary("libcups.so.2");
    if (!module) return nullptr;
    auto l = std::make_unique<TCupsLibrary>();
#define VT_CUPS_RESOLVE(name)                                                        \
  l->name = reinterpret_cast<decltype(&::name)>(GetProcAddress(module, #name)); \
  if (!l->name) return nullptr;
    VT_CUPS_CALLS(VT_CUPS_RESOLVE)
#undef VT_CUPS_RESOLVE
    return l.release();  // kept for the whole run, as the library is
  }();
  if (!library) throw EPrinter(W1251("Нет библиотеки печати CUPS (libcups.so.2): печать недоступна."));
  return *library;
}

std::atomic<int> timeoutMs{4000};

// Gives up a request as soon as the server has been silent for the whole timeout.
int GiveUp(http_t*, void* data) {
  *static_cast<bool*>(data) = true;
  return 0;
}

struct THttpClose {
  void operator()(http_t* h) const { Cups().httpClose(h); }
};
struct TIppDelete {
  void operator()(ipp_t* r) const { Cups().ippDelete(r); }
};
using THttp = std::unique_ptr<http_t, THttpClose>;
using TIpp = std::unique_ptr<ipp_t, TIppDelete>;

AnsiString FromUtf8(const char* s) { return s ? Utf8ToAnsi(s) : AnsiString(); }

AnsiString ServerName() { return FromUtf8(Cups().cupsServer()); }

AnsiString NotAnswering() {
  return Format(W1251("Сервер печати (%s) не отвечает."), {ServerName()});
}

// A connection to the server, bounded in time; empty when no server is there at all.
struct TConnection {
  // Set by GiveUp when the server took too long; on the heap so that the address CUPS keeps stays
  // valid when the connection is moved, and declared first so that it outlives the http handle.
  std::unique_ptr<bool> silent = std::make_unique<bool>(false);
  THttp http;
};

TConnection Connect() {
  // The server named now (CUPS_SERVER, the user's client.conf), not the one of an earlier job.
  const TCupsLibrary& cups = Cups();
  cups.cupsSetServer(nullptr);
  TConnection c;
  int cancel = 0;
  const int ms = timeoutMs.load();
  errno = 0;
  c.http.reset(
      cups.httpConnect2(cups.cupsServer(), cups.ippPort(), nullptr, AF_UNSPEC, cups.cupsEncryption(), 1, ms, &cancel));
  if (!c.http) {
    if (errno == ETIMEDOUT || errno == EINPROGRESS) throw EPrintServerSilent(NotAnswering());
    return c;
  }
  cups.httpSetTimeout(c.http.get(), ms / 1000.0, GiveUp, c.silent.get());
  return c;
}

// The paper of a media keyword ("iso_a4_210x297mm", "na_letter_8.5x11in", "A4", ...), in mm.
bool PaperOf(const char* media, double& width, double& height) {
  if (!media) return false;
  const TCupsLibrary& cups = Cups();
  pwg_media_t* m = cups.pwgMediaForPWG(media);
  if (!m) m = cups.pwgMediaForLegacy(media);
  if (!m) m = cups.pwgMediaForPPD(media);
  if (!m || m->width <= 0 || m->length <= 0) return false;
  width = m->width / 100.0;
  height = m->length / 100.0;
  return true;
}

// The default the user chose for himself: LPDEST, PRINTER, or "Default" of ~/.cups/lpoptions.
std::string UsersDefault() {
  for (const char* var : {"LPDEST", "PRINTER"})
    if (const char* v = std::getenv(var); v && *v) return v;
  const char* home = std::getenv("HOME");
  if (!home) return {};
  std::ifstream f(std::string(home) + "/.cups/lpoptions");
  std::string line, name;
  while (std::getline(f, line)) {
    if (line.rfind("Default ", 0) != 0) continue;
    name = line.substr(8);
    name = name.substr(0, name.find_first_of(" \t/"));
  }
  return name;
}

std::string ServersDefault(http_t* http, bool& silent) {
  const TCupsLibrary& cups = Cups();
  TIpp response(cups.cupsDoRequest(http, cups.ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
  if (silent) throw EPrintServerSilent(NotAnswering());
  if (!response) return {};
  ipp_attribute_t* a = cups.ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
  const char* name = a ? cups.ippGetString(a, 0, nullptr) : nullptr;
  return name ? name : "";
}

class TCupsPrintServer : public TPrintServer {
public:
  std::vector<TPrinterEntry> Printers() override {
    TConnection c = Connect();
    if (!c.http) return {};
    const TCupsLibrary& cups = Cups();
    ipp_t* request = cups.ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const attrs[] = {"printer-name", "printer-is-accepting-jobs", "printer-state-message",
                                        "printer-state-reasons", "media-default"};
    cups.ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                       static_cast<int>(sizeof attrs / sizeof *attrs), nullptr, attrs);
    TIpp response(cups.cupsDoRequest(c.http.get(), request, "/"));
    if (*c.silent) throw EPrintServerSilent(NotAnswering());
    std::vector<TPrinterEntry> list;
    if (!response) {
      // The server answers "not found" when it has no printers.
      if (cups.cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return list;
      throw EPrinter(Format(W1251("Сервер печати (%s) не дал список принтеров: %s"),
                            {ServerName(), FromUtf8(cups.cupsLastErrorString())}));
    }
    TPrinterEntry entry;
    AnsiString reasons;
    auto flush = [&] {
      if (!entry.Name.empty()) {
        if (entry.StateMessage.empty() && reasons != "none") entry.StateMessage = reasons;
        list.push_back(entry);
      }
      entry = TPrinterEntry{};
      reasons.clear();
    };
    for (ipp_attribute_t* a = cups.ippFirstAttribute(response.get()); a; a = cups.ippNextAttribute(response.get())) {
      const char* name = cups.ippGetName(a);
      if (!name) {
        flush();
        continue;
      }
      if (cups.ippGetGroupTag(a) != IPP_TAG_PRINTER) continue;
      std::string n = name;
      if (n == "printer-name") {
        entry.Name = FromUtf8(cups.ippGetString(a, 0, nullptr));
      } else if (n == "printer-is-accepting-jobs") {
        entry.Accepting = cups.ippGetBoolean(a, 0) != 0;
      } else if (n == "printer-state-message") {
        entry.StateMessage = FromUtf8(cups.ippGetString(a, 0, nullptr));
      } else if (n == "printer-state-reasons") {
        for (int i = 0; i < cups.ippGetCount(a); ++i)
          reasons += (i ? ", " : "") + FromUtf8(cups.ippGetString(a, i, nullptr));
      } else if (n == "media-default") {
        PaperOf(cups.ippGetString(a, 0, nullptr), entry.PaperWidth, entry.PaperHeight);
      }
    }
    flush();
    std::string def = UsersDefault();
    if (def.empty() && !list.empty()) def = ServersDefault(c.http.get(), *c.silent);
    for (TPrinterEntry& e : list) e.IsDefault = !def.empty() && e.Name == FromUtf8(def.c_str());
    return list;
  }

  void Submit(const AnsiString& Printer, const AnsiString& PdfFile, const AnsiString& Title, int Copies) override {
    TConnection c = Connect();
    if (!c.http) throw EPrinter(Format(W1251("Сервер печати (%s) недоступен: документ не напечатан."), {ServerName()}));
    std::string printer = AnsiToUtf8(Printer), title = AnsiToUtf8(Title);
    const TCupsLibrary& cups = Cups();
    int nOptions = 0;
    cups_option_t* options = nullptr;
    if (Copies > 1) nOptions = cups.cupsAddOption("copies", std::to_string(Copies).c_str(), nOptions, &options);
    int job = cups.cupsPrintFile2(c.http.get(), printer.c_str(), AnsiToSystemName(PdfFile).c_str(), title.c_str(),
                                  nOptions, options);
    cups.cupsFreeOptions(nOptions, options);
    if (*c.silent)
      throw EPrintServerSilent(NotAnswering() + W1251(" Документ не напечатан."));
    if (job == 0)
      throw EPrinter(Format(W1251("Принтер «%s» не принял документ: %s"), {Printer, FromUtf8(cups.cupsLastErrorString())}));
  }
};

}  // namespace

std::unique_ptr<TPrintServer> NewCupsPrintServer() { return std::make_unique<TCupsPrintServer>(); }

void SetPrintServerTimeout(int Milliseconds) { timeoutMs = Milliseconds > 0 ? Milliseconds : 1; }
