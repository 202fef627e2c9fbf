#include "toolkit/Forms.h"

#include <cinttypes>

#include "platform/ComLibrary.h"
#include "platform/Module.h"
#include "toolkit/ControlsRegistration.h"
#include "toolkit/Dialogs.h"

TApplication* Application = nullptr;

// ---------------------------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  RegisterControlClasses();
  SetVisible(false);
  SetColor(clBtnFace);
  FFont->SetName("MS Sans Serif");
  FFont->SetHeight(-11);
  FFont->SetColor(clWindowText);
  HandleNeeded();
}

TCustomForm::~TCustomForm() {
  // Normally the application has run the destroy handler already; a form destroyed by other
  // means still gets it before its children go.
  DoDestroy();
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
  if (FDestroyCalled) return;
  FDestroyCalled = true;
  if (OnDestroy) OnDestroy(this);
}

std::unique_ptr<IWindowPeer> TCustomForm::CreatePeer(IWindowPeer*) { return Backend().CreateFormPeer(this); }

void TCustomForm::CreateHandle() {
  TWinControl::CreateHandle();
  ApplyFrame();
}

void TCustomForm::ApplyFrame() {
  if (IFormPeer* peer = FormPeer()) peer->SetFrame(FBorderStyle, FBorderIcons, ClientWidth(), ClientHeight());
}

TRect TCustomForm::ClientRect() const {
  // The frame of a bordered window takes FormFrameWidth pixels on each side and a caption bar on
  // top; the toolkit's stored layouts give client sizes, so the form keeps both in step.
  const int frame = FBorderStyle == TBorderStyle::bsNone ? 0 : FormFrameWidth;
  const int caption = FBorderStyle == TBorderStyle::bsNone ? 0 : 19;
  return {0, 0, std::max(0, Width() - 2 * frame), std::max(0, Height() - 2 * frame - caption)};
}

void TCustomForm::SetClientSize(int width, int height) {
  const int frame = FBorderStyle == TBorderStyle::bsNone ? 0 : FormFrameWidth;
  const int caption = FBorderStyle == TBorderStyle::bsNone ? 0 : 19;
  SetBounds(Left(), Top(), width + 2 * frame, height + 2 * frame + caption);
}

void TCustomForm::BoundsChanged() {
  ApplyFrame();
  AlignControls();
}

void TCustomForm::SetBorderStyle(TBorderStyle style) {
  if (style == FBorderStyle) return;
  const TRect client = ClientRect();
  FBorderStyle = style;
  SetClientSize(client.Width(), client.Height());
  ApplyFrame();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == FBorderIcons) return;
  FBorderIcons = icons;
  ApplyFrame();
}

void TCustomForm::SetVisible(bool visible) {
  if (visible && !FShownOnce) {
    FShownOnce = true;
    HandleNeeded();
    ApplyFrame();
    if (FPosition == TPosition::poScreenCenter && FormPeer()) FormPeer()->CenterOnScreen();
  }
  TWinControl::SetVisible(visible);
  if (visible && FormPeer()) FormPeer()->Raise();
}

void TCustomForm::Close() {
  SetVisible(false);
  if (Application && Application->MainForm() == this) Application->Terminate();
}

bool TCustomForm::Active() const { return Peer() && Peer()->IsActiveWindow(); }

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == FActiveControl) return;
  const bool acceptable = !control || (control != this && control->ParentForm() == this &&
                                       (HasState(csLoading) || control->CanFocus()));
  if (!acceptable) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = control;
  if (!HasState(csLoading) && FocusedWindow() && ContainsControl(FocusedWindow())) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* control) {
  const bool wasFocused = FocusedWindow() && ContainsControl(FocusedWindow());
  SetActiveControl(control);
  if (!wasFocused) SetFocus();
}

void TCustomForm::SetFocus() {
  if (!Visible() || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  SetWindowFocus();
}

void TCustomForm::SetWindowFocus() {
  TWinControl* target = FActiveControl ? FActiveControl : this;
  target->HandleNeeded();
  if (target->Peer()) target->Peer()->SetFocus();
  // The system reports the change too; telling the toolkit at once keeps the order of the focus
  // messages the same whether or not the window is active yet.
  ChangeSystemFocus(target);
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (!control) return false;
  ++FFocusCount;
  FActiveControl = control != this ? control : nullptr;
  if (control->ControlState() & csFocusing) return false;
  struct TFocusing {
    TWinControl* C;
    TFocusing(TWinControl* c) : C(c) { C->SetControlState(C->ControlState() | csFocusing); }
    ~TFocusing() { C->SetControlState(C->ControlState() & ~csFocusing); }
  } focusing(control);
  // A focus message that moved the focus once more ends this round: the newer one has run.
  auto send = [this](TWinControl* target, unsigned msg) {
    const int count = FFocusCount;
    target->Perform(msg);
    return count == FFocusCount;
  };
  if (!FFocusedControl) FFocusedControl = this;
  if (FFocusedControl != control) {
    while (FFocusedControl && !FFocusedControl->ContainsControl(control)) {
      TWinControl* leaving = FFocusedControl;
      FFocusedControl = FFocusedControl->Parent();
      if (!send(leaving, CM_EXIT)) return false;
    }
    while (FFocusedControl != control) {
      TWinControl* entering = control;
      while (entering->Parent() != FFocusedControl) entering = entering->Parent();
      FFocusedControl = entering;
      if (!send(entering, CM_ENTER)) return false;
    }
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<intptr_t>(control));
  }
  return true;
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  // Pointers are compared, never converted: the component may be half destroyed.
  if (static_cast<TObject*>(component) == static_cast<TObject*>(FActiveControl)) FActiveControl = nullptr;
  if (static_cast<TObject*>(component) == static_cast<TObject*>(FFocusedControl)) FFocusedControl = this;
}

void TCustomForm::ControlRemoved(TWinControl* control) {
  if (control->ContainsControl(FActiveControl)) FActiveControl = nullptr;
  if (control->ContainsControl(FFocusedControl)) FFocusedControl = control->Parent() ? control->Parent() : this;
}

void TCustomForm::CMDialogKey(TMessage& message) {
  const TShiftState shift = KeyDataToShiftState(message.LParam);
  if (!(shift & ssAlt)) {
    switch (message.WParam) {
      case VK_TAB:
        if (!(shift & ssCtrl)) {
          SelectNext(FActiveControl, !(shift & ssShift), true);
          message.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (FActiveControl && FActiveControl->Parent()) {
          FActiveControl->Parent()->SelectNext(FActiveControl, message.WParam == VK_RIGHT || message.WParam == VK_DOWN,
                                               false);
          message.Result = 1;
        }
        return;
      default: break;
    }
  }
  TWinControl::CMDialogKey(message);
}

bool TCustomForm::IsShortCut(TMessage& message) {
  bool handled = false;
  if (OnShortCut) OnShortCut(message, handled);
  return handled;
}

void TCustomForm::Dispatch(TMessage& message) {
  if (message.Msg == WM_CLOSE) {
    Close();
    return;
  }
  TWinControl::Dispatch(message);
}

// ---------------------------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  RegisterControlClasses();
  Application = this;
}

TApplication::~TApplication() {
  DestroyForms();
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  // The shell's launches run in the thread's component object library.
  platform::CoInitialize();
  FInitialized = true;
}

void TApplication::AddForm(TCustomForm* form) {
  if (!FMainForm) FMainForm = form;
  try {
    form->DoCreate();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TApplication::DestroyForms() {
  // Destroy handlers run while every control of every form still exists.
  for (int i = ComponentCount() - 1; i >= 0; --i)
    if (auto* f = dynamic_cast<TCustomForm*>(Components(i))) f->DoDestroy();
  DestroyComponents();
  FMainForm = nullptr;
}

void TApplication::Run() {
  if (FMainForm && FShowMainForm && !FTerminated) FMainForm->Show();
  // Even after an early termination the loop runs: it dispatches what is queued ahead of the
  // quit request, then ends.
  Backend().RunMessageLoop();
}

void TApplication::Terminate() {
  if (FTerminated) return;
  FTerminated = true;
  if (BackendInstalled()) Backend().Quit(0);
}

intptr_t TApplication::Perform(unsigned msg, uintptr_t wparam, intptr_t lparam) {
  TMessage message{msg, wparam, lparam, 0};
  if (msg == CM_APPKEYDOWN && OnShortCut) {
    bool handled = false;
    OnShortCut(message, handled);
    message.Result = handled ? 1 : 0;
  }
  return message.Result;
}

void TApplication::ProcessMessages() {
  if (BackendInstalled()) Backend().ProcessMessages();
}

void TApplication::HandleException(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    if (OnException) OnException(e);
    else ShowException(e);
  } catch (...) {
    Exception unknown("Unknown failure");
    if (OnException) OnException(unknown);
    else ShowException(unknown);
  }
}

void TApplication::ShowException(const std::exception& failure) {
  MessageBox(WithFullStop(failure.what()), FTitle, MB_OK | MB_ICONSTOP);
}

std::string ExceptionClassName(const std::exception& failure) {
  if (auto* e = dynamic_cast<const Exception*>(&failure)) return e->ClassName();
  return "Exception";
}

std::string WithFullStop(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

std::string FatalExceptionText(const std::exception& failure, const std::string& exeFileName) {
  const void* address = nullptr;
  if (auto* e = dynamic_cast<const Exception*>(&failure)) address = e->Address();
  const std::string message = failure.what();
  const char* stop = (!message.empty() && message.back() != '.') ? "." : "";
  const auto offset = static_cast<uintmax_t>(platform::ModuleRelativeAddress(address));
  return Format("Exception %s in module %s at %016" PRIXMAX ".\n%s%s", ExceptionClassName(failure).c_str(),
                exeFileName.c_str(), offset, message.c_str(), stop);
}

void ShowFatalException(const std::exception& failure, const std::string& exeFileName) {
  MessageBox(FatalExceptionText(failure, exeFileName), "Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}
