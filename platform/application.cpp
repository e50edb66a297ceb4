#include "platform/application.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>
#include <unistd.h>

#include "platform/actions.h"
#include "platform/dialogs.h"
#include "platform/forms.h"
#include "platform/graphics.h"

void InstallFormKeyRouter();  // forms.cpp

// Never freed: the forms it owns hold windows, and freeing them during static destruction would
// meet parts of the platform already gone. A program that wants its forms' OnDestroy at the end
// frees them itself (Application->DestroyComponents()) before main returns.
TApplication* const Application = new TApplication(nullptr);

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() { DestroyComponents(); }

void TApplication::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  EnsureGuiApplication();
  InstallFormKeyRouter();
  SetExceptionSink([this](TObject* sender, const Exception* e) { HandleException(sender, e); });
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == mainForm_) mainForm_ = nullptr;
}

void TApplication::FormCreated(TCustomForm* f) {
  if (!mainForm_) mainForm_ = f;
  try {
    f->DoCreate();
  } catch (...) {
    ::HandleException(f);
  }
}

namespace {

// Brings the actions' states up to date once the events of the moment are handled, after
// anything that can change them happened (input, a window shown, hidden or activated, the
// clipboard changed), as the window system's idle processing does, not on a clock: an idle
// program wakes for nothing.
class TIdleUpdates : public QObject {
public:
  explicit TIdleUpdates(TApplication* app) : app_(app) {
    qApp->installEventFilter(this);
    QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] { Schedule(); });
    Schedule();
  }
  ~TIdleUpdates() override { qApp->removeEventFilter(this); }

protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick: case QEvent::Wheel:
      case QEvent::Drop: case QEvent::Show: case QEvent::Hide: case QEvent::WindowActivate:
      case QEvent::FocusIn: case QEvent::InputMethod:
        Schedule();
        break;
      default:
        break;
    }
    return false;
  }

private:
  void Schedule() {
    if (due_) return;
    due_ = true;
    QTimer::singleShot(0, this, [this] {
      due_ = false;
      try {
        app_->UpdateActions();
      } catch (...) {
        ::HandleException(app_);
      }
    });
  }
  TApplication* app_;
  bool due_ = false;
};

}  // namespace

void TApplication::Run() {
  Initialize();
  terminated_ = false;
  if (mainForm_) mainForm_->Show();
  TIdleUpdates idle(this);
  while (!terminated_) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  if (loop_) static_cast<QEventLoop*>(loop_)->quit();
}

void TApplication::ProcessMessages() { ::ProcessMessages(); }

AnsiString TApplication::ExeName() const {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return AnsiString();
  return SystemNameToAnsi(std::string(buf, size_t(n)));
}

void TApplication::HandleException(TObject* Sender, const Exception* E) {
  if (!E || dynamic_cast<const EAbort*>(E)) return;
  if (OnException.Assigned()) OnException(Sender, E);
  else ShowException(E);
}

void TApplication::ShowException(const Exception* E) {
  AnsiString msg = E->Message();
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  TWinControl* owner = mainForm_ && mainForm_->Visible() ? mainForm_ : nullptr;
  MessageBox(owner, msg, W1251("Ошибка"), MB_OK | MB_ICONSTOP);
}

void TApplication::UpdateActions() {
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (!f->Visible()) continue;
    for (int c = 0; c < f->ComponentCount(); ++c)
      if (auto* l = dynamic_cast<TCustomActionList*>(f->Components(c))) l->UpdateActions();
  }
}
