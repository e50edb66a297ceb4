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

#include "platform/sysutils.h"

namespace {

std::atomic<int> timeoutMs{4000};

// Gives up a request as soon as the server has been silent for the whole timeout.
int GiveUp(http_t*, void* data) {
  *static_cast<bool*>(data) = true;
  return 0;
}

struct THttpClose {
  void operator()(http_t* h) const { httpClose(h); }
};
struct TIppDelete {
  void operator()(ipp_t* r) const { ippDelete(r); }
};
using THttp = std::unique_ptr<http_t, THttpClose>;
using TIpp = std::unique_ptr<ipp_t, TIppDelete>;

AnsiString FromUtf8(const char* s) { return s ? Utf8ToAnsi(s) : AnsiString(); }

AnsiString ServerName() { return FromUtf8(cupsServer()); }

AnsiString NotAnswering() {
  return Format(W1251("Сервер печати (%s) не отвечает."), {ServerName()});
}

// A connection to the server, bounded in time; empty when no server is there at all.
struct TConnection {
  THttp http;
  bool silent = false;  // the server took too long
};

TConnection Connect() {
  // The server named now (CUPS_SERVER, the user's client.conf), not the one of an earlier job.
  cupsSetServer(nullptr);
  TConnection c;
  int cancel = 0;
  const int ms = timeoutMs.load();
  errno = 0;
  c.http.reset(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, ms, &cancel));
  if (!c.http) {
    if (errno == ETIMEDOUT || errno == EINPROGRESS) throw EPrintServerSilent(NotAnswering());
    return c;
  }
  httpSetTimeout(c.http.get(), ms / 1000.0, GiveUp, &c.silent);
  return c;
}

// The paper of a media keyword ("iso_a4_210x297mm", "na_letter_8.5x11in", "A4", ...), in mm.
bool PaperOf(const char* media, double& width, double& height) {
  if (!media) return false;
  pwg_media_t* m = pwgMediaForPWG(media);
  if (!m) m = pwgMediaForLegacy(media);
  if (!m) m = pwgMediaForPPD(media);
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
  TIpp response(cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
  if (silent) throw EPrintServerSilent(NotAnswering());
  if (!response) return {};
  ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
  const char* name = a ? ippGetString(a, 0, nullptr) : nullptr;
  return name ? name : "";
}

class TCupsPrintServer : public TPrintServer {
public:
  std::vector<TPrinterEntry> Printers() override {
    TConnection c = Connect();
    if (!c.http) return {};
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const attrs[] = {"printer-name", "printer-is-accepting-jobs", "printer-state-message",
                                        "printer-state-reasons", "media-default"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof attrs / sizeof *attrs), nullptr, attrs);
    TIpp response(cupsDoRequest(c.http.get(), request, "/"));
    if (c.silent) throw EPrintServerSilent(NotAnswering());
    std::vector<TPrinterEntry> list;
    if (!response) {
      // The server answers "not found" when it has no printers.
      if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return list;
      throw EPrinter(Format(W1251("Сервер печати (%s) не дал список принтеров: %s"),
                            {ServerName(), FromUtf8(cupsLastErrorString())}));
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
    for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a; a = ippNextAttribute(response.get())) {
      const char* name = ippGetName(a);
      if (!name) {
        flush();
        continue;
      }
      if (ippGetGroupTag(a) != IPP_TAG_PRINTER) continue;
      std::string n = name;
      if (n == "printer-name") {
        entry.Name = FromUtf8(ippGetString(a, 0, nullptr));
      } else if (n == "printer-is-accepting-jobs") {
        entry.Accepting = ippGetBoolean(a, 0) != 0;
      } else if (n == "printer-state-message") {
        entry.StateMessage = FromUtf8(ippGetString(a, 0, nullptr));
      } else if (n == "printer-state-reasons") {
        for (int i = 0; i < ippGetCount(a); ++i) reasons += (i ? ", " : "") + FromUtf8(ippGetString(a, i, nullptr));
      } else if (n == "media-default") {
        PaperOf(ippGetString(a, 0, nullptr), entry.PaperWidth, entry.PaperHeight);
      }
    }
    flush();
    std::string def = UsersDefault();
    if (def.empty() && !list.empty()) def = ServersDefault(c.http.get(), c.silent);
    for (TPrinterEntry& e : list) e.IsDefault = !def.empty() && e.Name == FromUtf8(def.c_str());
    return list;
  }

  void Submit(const AnsiString& Printer, const AnsiString& PdfFile, const AnsiString& Title, int Copies) override {
    TConnection c = Connect();
    if (!c.http) throw EPrinter(Format(W1251("Сервер печати (%s) недоступен: документ не напечатан."), {ServerName()}));
    std::string printer = AnsiToUtf8(Printer), title = AnsiToUtf8(Title);
    int nOptions = 0;
    cups_option_t* options = nullptr;
    if (Copies > 1) nOptions = cupsAddOption("copies", std::to_string(Copies).c_str(), nOptions, &options);
    int job = cupsPrintFile2(c.http.get(), printer.c_str(), AnsiToSystemName(PdfFile).c_str(), title.c_str(),
                             nOptions, options);
    cupsFreeOptions(nOptions, options);
    if (c.silent)
      throw EPrintServerSilent(NotAnswering() + W1251(" Документ не напечатан."));
    if (job == 0)
      throw EPrinter(Format(W1251("Принтер «%s» не принял документ: %s"), {Printer, FromUtf8(cupsLastErrorString())}));
  }
};

}  // namespace

std::unique_ptr<TPrintServer> NewCupsPrintServer() { return std::make_unique<TCupsPrintServer>(); }

void SetPrintServerTimeout(int Milliseconds) { timeoutMs = Milliseconds > 0 ? Milliseconds : 1; }
