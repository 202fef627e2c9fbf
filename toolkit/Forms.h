#pragma once
// Forms (top-level windows) and the application object with its message loop and failure reports.
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/Controls.h"

enum class TPosition { poDesigned, poScreenCenter };

class TCustomForm : public TWinControl {
public:
  QV_CLASS(TCustomForm)
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  void SetClientSize(int width, int height);
  TRect ClientRect() const override;
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle style);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition position) { FPosition = position; }

  void SetVisible(bool visible) override;
  void Close();

  // Keyboard. The active control is the one that has (or gets, when the form is activated) the
  // keyboard; the focused control is the one the enter and exit actions last reached.
  TWinControl* ActiveControl() const { return FActiveControl; }
  // Raises "Cannot focus a disabled or invisible window" for a control that cannot take it.
  void SetActiveControl(TWinControl* control);
  TWinControl* FocusedControl() const { return FFocusedControl; }
  // Makes the control the active one and gives it the system focus.
  void FocusControl(TWinControl* control);
  void SetFocus() override;
  // Called when a control of this form received the system focus: the exit actions from the
  // previously focused control up to the common parent, the enter actions down to the new one,
  // then CM_FOCUSCHANGED to every control of the form. False when focus moved again meanwhile.
  bool SetFocusedControl(TWinControl* control);
  // Whether this form's window is the system's active window.
  bool Active() const;
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool v) { FKeyPreview = v; }
  // The form's shortcut test: OnShortCut may take the key (it sets handled).
  using TShortCutEvent = std::function<void(TMessage& message, bool& handled)>;
  TShortCutEvent OnShortCut;
  virtual bool IsShortCut(TMessage& message);
  // A windowed control left the form's tree: the form lets go of it.
  void ControlRemoved(TWinControl* control);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  // Called once after construction (the stored layout is in place) and once before destruction
  // (while every child control still exists).
  virtual void DoCreate();
  virtual void DoDestroy();

  IFormPeer* FormPeer() const { return static_cast<IFormPeer*>(Peer()); }

protected:
  std::unique_ptr<IWindowPeer> CreatePeer(IWindowPeer* parentPeer) override;
  void CreateHandle() override;
  void Dispatch(TMessage& message) override;
  void BoundsChanged() override;
  // Tab and Shift+Tab walk the tab order; arrow keys move among the active control's siblings.
  void CMDialogKey(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void ApplyFrame();
  void SetWindowFocus();
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  bool FKeyPreview = false;
  int FFocusCount = 0;
  TBorderStyle FBorderStyle = TBorderStyle::bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = TPosition::poDesigned;
  bool FShownOnce = false;
  bool FDestroyCalled = false;
};

class TForm : public TCustomForm {
public:
  QV_CLASS(TForm)
  using TCustomForm::TCustomForm;
};

// Where the frame sits around the client area of a single-border window.
constexpr int FormFrameWidth = 3;

// The application: title, main form, message loop, termination and the two failure reports.
class TApplication : public TComponent {
public:
  QV_CLASS(TApplication)
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& title) { FTitle = title; }
  const std::string& ExeName() const { return FExeName; }
  void SetExeName(const std::string& name) { FExeName = name; }

  // Creates a form owned by the application; the first one becomes the main form. The form's
  // creation handler runs here; a failure escaping it is shown in the failure report.
  template <class T>
  T* CreateForm() {
    T* form = new T(this);
    AddForm(form);
    return form;
  }
  TCustomForm* MainForm() const { return FMainForm; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool show) { FShowMainForm = show; }

  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void ProcessMessages();

  // The failure report: the message with a full stop, captioned with the title, stop icon.
  void HandleException(std::exception_ptr failure);
  void ShowException(const std::exception& failure);
  std::function<void(const std::exception&)> OnException;

  // Destroys the forms (their destroy handlers run first).
  void DestroyForms();

  // The application's own messages: CM_APPKEYDOWN answers 1 when OnShortCut takes the key.
  intptr_t Perform(unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0);
  std::function<void(TMessage& message, bool& handled)> OnShortCut;

private:
  void AddForm(TCustomForm* form);
  std::string FTitle;
  std::string FExeName;
  TCustomForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  bool FTerminated = false;
  bool FInitialized = false;
};

extern TApplication* Application;

// The text of a failure as reports show it: class name and message of a toolkit Exception, or
// the what() of anything else.
std::string ExceptionClassName(const std::exception& failure);
// Adds a full stop when the text is not empty and its last character sorts after ".".
std::string WithFullStop(const std::string& text);

// The fatal failure report for what escapes start-up or the windowless run: a task-modal box
// captioned "Application Error". The caller ends the process with exit code 1 afterwards.
void ShowFatalException(const std::exception& failure, const std::string& exeFileName);
std::string FatalExceptionText(const std::exception& failure, const std::string& exeFileName);
