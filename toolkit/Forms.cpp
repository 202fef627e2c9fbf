#include "toolkit/Forms.h"

#include <cinttypes>

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

void TApplication::Initialize() { FInitialized = true; }

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
