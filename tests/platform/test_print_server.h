#pragma once
// The print server the tests see: no printer of the machine's, only those a test defines. It
// counts the times it is asked for its printers, keeps what is sent to it, refuses it with the
// reason set, or is silent as a hung server is.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/printer/printer.h"
#include "platform/sysutils.h"

struct TestPrintServer : TPrintServer {
  std::vector<TPrinterEntry> printers;
  int asked = 0;
  AnsiString refuse;
  bool silent = false;
  struct Job {
    AnsiString printer, title;
    std::string pdf;
    int copies = 0;
  };
  std::vector<Job> jobs;
  std::vector<TPrinterEntry> Printers() override {
    ++asked;
    if (silent) throw EPrintServerSilent(W1251("Сервер печати (test) не отвечает."));
    return printers;
  }
  void Submit(const AnsiString& printer, const AnsiString& file, const AnsiString& title, int copies) override {
    if (silent) throw EPrintServerSilent(W1251("Сервер печати (test) не отвечает. Документ не напечатан."));
    if (!refuse.empty()) throw EPrinter(refuse);
    std::ifstream f(file, std::ios::binary);
    jobs.push_back({printer, title, std::string(std::istreambuf_iterator<char>(f), {}), copies});
  }
};
