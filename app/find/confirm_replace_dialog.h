#pragma once
// The question asked before each replacement: replace this hit, skip it, cancel the run or
// replace all the rest; placed next to the hit so that it never covers it.
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

// The result of the "all" button.
inline constexpr int mrReplaceAll = 10;

class TConfirmReplaceDialog : public TForm {
public:
  explicit TConfirmReplaceDialog(TComponent* AOwner);
  ~TConfirmReplaceDialog() override;
  AnsiString ClassName() const override { return "TConfirmReplaceDialog"; }

  TPanel* pnlHeader = nullptr;
  TControl* imgQuestion = nullptr;
  TLabel* lblQuestion = nullptr;
  TLabel* lblConfirmation = nullptr;
  TPanel* pnlBody = nullptr;
  TButton* btnReplace = nullptr;
  TButton* btnSkip = nullptr;
  TButton* btnCancel = nullptr;
  TButton* btnReplaceAll = nullptr;

  // Shows the search text and places the dialog by the hit: AArea is the main window's client
  // area on the screen, AX the hit's left, AY the top of the line below the hit and AY2 the
  // top of the hit's line.
  void PrepareShow(const TRect& AArea, int AX, const AnsiString& AText, int AY, int AY2);
};

// The one confirmation dialog; cleared when it is freed.
extern TConfirmReplaceDialog* ConfirmReplaceDialog;
