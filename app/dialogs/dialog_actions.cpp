// The main window's actions that open the tag dialogs, the new-page wizard and the about box:
// each creates its window anew (an older one stays hidden) and shows it without waiting.
#include "app/dialogs/about_box.h"
#include "app/dialogs/font_name.h"
#include "app/dialogs/font_size.h"
#include "app/dialogs/ins_link.h"
#include "app/dialogs/ins_pict.h"
#include "app/dialogs/insert_list.h"
#include "app/dialogs/new_file_wizard.h"
#include "app/dialogs/table.h"
#include "app/dialogs/tag_header.h"
#include "app/main_window.h"
#include "platform/application.h"

namespace {
template <class T>
void ShowNew(T*& Reference) {
  Application->CreateForm(Reference);
  Reference->Show();
}
}  // namespace

void TMain::TagH1Execute(TObject*) { ShowNew(TagHeader); }
void TMain::RazMerExecute(TObject*) { ShowNew(FontSize); }
void TMain::FontNameExecute(TObject*) { ShowNew(InsTagFontName); }
void TMain::Action12Execute(TObject*) { ShowNew(InsLink); }
void TMain::Action13Execute(TObject*) { ShowNew(InsPict); }
void TMain::addlistExecute(TObject*) { ShowNew(InsertList); }
void TMain::FileNewFileWizardExecute(TObject*) { ShowNew(FileNewWizard); }
void TMain::HelpAboutProgramExecute(TObject*) { ShowNew(AboutBox); }

void TMain::TableActionExecute(TObject* Sender) {
  ShowNew(Table);
  auto* a = dynamic_cast<TAction*>(Sender);
  AnsiString name = a ? a->Name() : AnsiString("AddTable");
  if (name == "AddRow") Table->AddStroky->SetChecked(true);
  else if (name == "AddCell") Table->AddCell->SetChecked(true);
  else Table->AddTable->SetChecked(true);
}
