// The program's start as a user sees it, in the steps of the program's own main: the
// highlighters registered, the application object, the main window from its description
// (settings, notes, the template or the file named on the command line), the replace
// confirmation dialog, and the message loop up to the first paint of the editor. Prints the
// wall-clock time of that paint (nanoseconds since the epoch), so that a script can measure from
// the moment it started the process, and the time spent inside main.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "app/find/confirm_replace_dialog.h"
#include "app/main_window.h"
#include "app/program_args.h"
#include "highlighters/standard.h"
#include "platform/application.h"
#include "platform/graphics.h"

namespace {
struct PaintWatch : TObject {
  bool painted = false;
  void Paint(TObject*, TCanvas*) { painted = true; }
};
}  // namespace

int main(int argc, char** argv) {
  auto inMain = std::chrono::steady_clock::now();
  RegisterStandardHighlighters();
  EnsureGuiApplication();
  std::vector<AnsiString> args;
  for (int i = 1; i < argc; ++i) args.push_back(SystemNameToAnsi(argv[i]));
  SetProgramArguments(std::move(args));
  Application->Initialize();
  Application->SetTitle(ProgramTitle());
  TMain* form = nullptr;
  Application->CreateForm(form);
  Application->CreateForm(ConfirmReplaceDialog);
  PaintWatch watch;
  form->SrcEdit1->OnPaint = TPaintEvent(&watch, &PaintWatch::Paint);
  form->Show();
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!watch.painted && std::chrono::steady_clock::now() < limit) ProcessMessages();
  auto now = std::chrono::system_clock::now();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inMain).count();
  std::printf("painted_at_ns %lld\nin_main_ms %.1f\nlines %d\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         now.time_since_epoch()).count()),
              ms, form->SrcEdit1->Lines()->Count());
  std::fflush(stdout);
  _exit(watch.painted ? 0 : 1);
}
