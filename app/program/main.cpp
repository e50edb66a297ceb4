// The program: the application object, the main window and the message loop.
#include <vector>

#include "app/find/confirm_replace_dialog.h"
#include "app/main_window.h"
#include "app/program_args.h"
#include "highlighters/standard.h"
#include "platform/application.h"
#include "platform/graphics.h"

int main(int argc, char** argv) {
  RegisterStandardHighlighters();
  EnsureGuiApplication();
  std::vector<AnsiString> args;
  for (int i = 1; i < argc; ++i) args.push_back(SystemNameToAnsi(argv[i]));
  SetProgramArguments(std::move(args));
  Application->Initialize();
  Application->SetTitle(ProgramTitle());
  Application->SetHelpFile(AnsiString());
  TMain* mainForm = nullptr;
  Application->CreateForm(mainForm);
  Application->CreateForm(ConfirmReplaceDialog);
  Application->Run();
  return 0;
}
