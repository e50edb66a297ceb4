// The program: the application object, the main window and the message loop.
#include <cstdio>
#include <string>
#include <vector>

#include "app/find/confirm_replace_dialog.h"
#include "app/main_window.h"
#include "app/program_args.h"
#include "highlighters/standard.h"
#include "platform/application.h"
#include "platform/graphics.h"

int main(int argc, char** argv) {
  if (!DesktopSessionAvailable()) {
    std::fputs("quorbex: редактору нужен графический сеанс рабочего стола: не задана ни DISPLAY, ни "
               "WAYLAND_DISPLAY.\n",
               stderr);
    return 1;
  }
  RegisterStandardHighlighters();
  EnsureGuiApplication();
  SetSystemProgramArguments(std::vector<std::string>(argv + 1, argv + argc));
  // Nothing escapes start-up: what the handlers do not show is shown here.
  try {
    Application->Initialize();
    Application->SetTitle(ProgramTitle());
    Application->SetHelpFile(AnsiString());
    TMain* mainForm = nullptr;
    Application->CreateForm(mainForm);
    Application->CreateForm(ConfirmReplaceDialog);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(&e);
    return 1;
  }
  return 0;
}
