#pragma once
// The application object: title, the message loop, creation of forms (the first one created is
// the main form), the default exception handler and the program's own name.
#include "platform/classes.h"
#include "platform/controls.h"

class TCustomForm;

using TExceptionEvent = TMethod<void(TObject* Sender, const Exception* E)>;

class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // Creates the desktop application object and installs the exception handler and the
  // keyboard routing of forms (shortcuts, key preview, menu keys). Idempotent.
  void Initialize();
  // The task-bar title.
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& v) { title_ = v; }
  const AnsiString& HelpFile() const { return helpFile_; }
  void SetHelpFile(const AnsiString& v) { helpFile_ = v; }

  // Creates a form owned by the application; Reference is set before the form's OnCreate runs.
  template <class T>
  void CreateForm(T*& Reference) {
    Initialize();
    T* f = new T(this);
    Reference = f;
    FormCreated(f);
  }
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* f) { mainForm_ = f; }
  // Shows the main form and runs the message loop until Terminate (the main form's closing).
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  // The program's full file name (program text).
  AnsiString ExeName() const;

  // What happens to an exception that escaped a handler: OnException when assigned, else
  // ShowException. The silent abort never arrives here.
  void HandleException(TObject* Sender, const Exception* E);
  // A message box captioned "Ошибка" with the message (a period added as the class library does).
  void ShowException(const Exception* E);
  TExceptionEvent OnException;

  // Runs the actions' update handlers of the visible forms (done when the loop is idle).
  void UpdateActions();

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void FormCreated(TCustomForm* f);
  AnsiString title_, helpFile_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool initialized_ = false;
  void* loop_ = nullptr;
};

extern TApplication* const Application;
