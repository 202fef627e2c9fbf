#include "toolkit/qt/QtBackend.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QEventLoop>
#include <QHelpEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"
#include "toolkit/qt/QtDeviceContext.h"
#include "toolkit/qt/QtPictures.h"
#include "toolkit/qt/QtRichEdit.h"

namespace {

uintptr_t KeysFrom(const QMouseEvent* e) {
  uintptr_t keys = 0;
  if (e->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
  if (e->buttons() & Qt::RightButton) keys |= MK_RBUTTON;
  if (e->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (e->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
  return keys;
}

// The widget behind every windowed control: it turns Qt's events into the toolkit's messages.
class ControlWidget : public QWidget {
public:
  ControlWidget(TWinControl* control, QWidget* parent, Qt::WindowFlags flags = {})
      : QWidget(parent, flags), FControl(control) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
  }
  TWinControl* FControl;

protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter painter(this);
    QtDeviceContext dc(painter, e->region(), nullptr, false);
    ProtectedCall([&] { FControl->PaintHandler(dc); });
  }
  void Send(unsigned msg, QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    TWinControl* control = FControl;
    ProtectedCall([&] { control->Perform(msg, KeysFrom(e), MakeMousePos(p.x(), p.y())); });
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) Send(WM_LBUTTONDOWN, e);
    else if (e->button() == Qt::RightButton) Send(WM_RBUTTONDOWN, e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) Send(WM_LBUTTONUP, e);
    else if (e->button() == Qt::RightButton) Send(WM_RBUTTONUP, e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) Send(WM_LBUTTONDBLCLK, e);
    else if (e->button() == Qt::RightButton) Send(WM_RBUTTONDOWN, e);
  }
  void mouseMoveEvent(QMouseEvent* e) override { Send(WM_MOUSEMOVE, e); }
  void enterEvent(QEnterEvent*) override {
    TWinControl* control = FControl;
    ProtectedCall([&] { control->Perform(CM_MOUSEENTER); });
  }
  void leaveEvent(QEvent*) override {
    TWinControl* control = FControl;
    ProtectedCall([&] { control->PeerMouseLeft(); });
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(e);
      std::string hint;
      TControl* owner = FControl;
      bool show = false;
      // A hint shows when the control, or the first parent that decides, has hints on.
      for (TControl* c = owner; c; c = c->Parent()) {
        if (!c->ParentShowHint() || !c->Parent()) {
          show = c->ShowHint();
          break;
        }
      }
      hint = FControl->HintAt({help->pos().x(), help->pos().y()});
      if (show && !hint.empty()) QToolTip::showText(help->globalPos(), QString::fromStdString(hint), this);
      else QToolTip::hideText();
      return true;
    }
    return QWidget::event(e);
  }
};

class FormWidget : public ControlWidget {
public:
  using ControlWidget::ControlWidget;

protected:
  void closeEvent(QCloseEvent* e) override {
    // The form decides: closing the main form ends the program.
    e->ignore();
    TWinControl* control = FControl;
    ProtectedCall([&] { control->Perform(WM_CLOSE); });
  }
};

template <class Base>
class WidgetPeer : public Base {
public:
  explicit WidgetPeer(QWidget* widget) : FWidget(widget) {}
  ~WidgetPeer() override {
    if (FWidget) {
      FWidget->hide();
      delete FWidget.data();
    }
  }
  void SetBounds(const TRect& r) override {
    if (FWidget) FWidget->setGeometry(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
  }
  void SetVisible(bool visible) override {
    if (FWidget) FWidget->setVisible(visible);
  }
  void SetEnabled(bool enabled) override {
    if (FWidget) FWidget->setEnabled(enabled);
  }
  void SetCaption(const std::string& caption) override {
    if (FWidget && FWidget->isWindow()) FWidget->setWindowTitle(QString::fromStdString(caption));
  }
  void SetBackgroundColor(TColor) override {}
  void Invalidate(const TRect* r) override {
    if (!FWidget) return;
    if (r) FWidget->update(QRect(r->Left, r->Top, r->Width(), r->Height()));
    else FWidget->update();
  }
  void Update() override {
    if (FWidget) FWidget->repaint();
  }
  void SetMouseCapture(bool) override {
    // Qt holds the pointer for the widget while a button is down, which is what capture is
    // used for here.
  }
  void SetFocus() override {
    if (FWidget) FWidget->setFocus();
  }
  bool Focused() const override { return FWidget && FWidget->hasFocus(); }
  void ShowHint(const std::string& text, TPoint p) override {
    if (FWidget) QToolTip::showText(FWidget->mapToGlobal(QPoint(p.X, p.Y)), QString::fromStdString(text), FWidget);
  }
  void HideHint() override { QToolTip::hideText(); }
  uintptr_t Handle() const override { return FWidget ? static_cast<uintptr_t>(FWidget->winId()) : 0; }
  void* NativeWidget() override { return FWidget.data(); }
  TPoint ScreenToClient(TPoint p) const override {
    if (!FWidget) return p;
    QPoint q = FWidget->mapFromGlobal(QPoint(p.X, p.Y));
    return {q.x(), q.y()};
  }
  TPoint CursorPos() const override {
    QPoint q = QCursor::pos();
    return {q.x(), q.y()};
  }

protected:
  QPointer<QWidget> FWidget;
};

class FormPeer : public WidgetPeer<IFormPeer> {
public:
  using WidgetPeer<IFormPeer>::WidgetPeer;
  void SetBounds(const TRect& r) override {
    // The toolkit's bounds include the frame; the widget is the client area.
    if (!FWidget) return;
    FWidget->move(r.Left, r.Top);
  }
  void SetFrame(TBorderStyle style, TBorderIcons icons, int clientWidth, int clientHeight) override {
    if (!FWidget) return;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (icons & biSystemMenu) flags |= Qt::WindowSystemMenuHint;
    if (icons & biMinimize) flags |= Qt::WindowMinimizeButtonHint;
    if ((icons & biMaximize) && style == TBorderStyle::bsSizeable) flags |= Qt::WindowMaximizeButtonHint;
    if (style != TBorderStyle::bsSizeable) flags |= Qt::MSWindowsFixedSizeDialogHint;
    const bool visible = FWidget->isVisible();
    if (FWidget->windowFlags() != flags) FWidget->setWindowFlags(flags);
    if (style == TBorderStyle::bsSizeable) FWidget->resize(clientWidth, clientHeight);
    else FWidget->setFixedSize(clientWidth, clientHeight);
    if (visible && !FWidget->isVisible()) FWidget->show();
  }
  void CenterOnScreen() override {
    if (!FWidget) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    FWidget->move(area.center() - QPoint(FWidget->width() / 2, FWidget->height() / 2));
  }
  void Raise() override {
    if (!FWidget) return;
    FWidget->raise();
    FWidget->activateWindow();
  }
};

class TimerPeer : public ITimerPeer {
public:
  explicit TimerPeer(std::function<void()> onTick) : FOnTick(std::move(onTick)) {
    QObject::connect(&FTimer, &QTimer::timeout, [this] { FOnTick(); });
  }
  void Start(unsigned intervalMs) override {
    FTimer.start(static_cast<int>(std::min<unsigned>(intervalMs, static_cast<unsigned>(INT_MAX))));
  }
  void Stop() override { FTimer.stop(); }

private:
  std::function<void()> FOnTick;
  QTimer FTimer;
};

class DIBSection : public IDIBSection {
public:
  DIBSection(uint8_t* bits, int width, int height)
      : FBits(bits), FImage(bits, width, height, width * 4, QImage::Format_RGB32),
        FPainter(&FImage), FDC(FPainter, QRegion(0, 0, width, height), &FImage, true) {}
  ~DIBSection() override {
    FPainter.end();
    std::free(FBits);
  }
  uint8_t* Bits() override { return FBits; }
  TDeviceContext& DC() override { return FDC; }
  void Flush() override {}

private:
  uint8_t* FBits;
  QImage FImage;
  QPainter FPainter;
  QtDeviceContext FDC;
};

}  // namespace

class QtBackend : public IBackend {
public:
  QtBackend(int& argc, char** argv) : FApp(argc, argv), FScreenImage(1, 1, QImage::Format_RGB32),
                                      FScreenPainter(&FScreenImage),
                                      FScreenDC(FScreenPainter, QRegion(0, 0, 1, 1), &FScreenImage, false) {
    QApplication::setQuitOnLastWindowClosed(false);
  }
  ~QtBackend() override { FScreenPainter.end(); }

  std::unique_ptr<IWindowPeer> CreateWindowPeer(TWinControl* control, IWindowPeer* parent) override {
    QWidget* parentWidget = parent ? static_cast<QWidget*>(parent->NativeWidget()) : nullptr;
    if (dynamic_cast<TRichEdit*>(control)) return std::make_unique<RichEditPeer<WidgetPeer<IRichEditPeer>>>(new QTextEdit(parentWidget));
    return std::make_unique<WidgetPeer<IWindowPeer>>(new ControlWidget(control, parentWidget));
  }
  std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* form) override {
    return std::make_unique<FormPeer>(new FormWidget(form, nullptr, Qt::Window));
  }
  std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> onTick) override {
    return std::make_unique<TimerPeer>(std::move(onTick));
  }
  std::unique_ptr<IDIBSection> CreateDIBSection(int width, int height) override {
    if (width <= 0 || height <= 0) return nullptr;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    auto* bits = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!bits) return nullptr;
    return std::make_unique<DIBSection>(bits, width, height);
  }
  TDeviceContext& ScreenDC() override { return FScreenDC; }

  int ShowMessageBox(const TMessageBoxRequest& request) override {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(request.Caption));
    box.setText(QString::fromStdString(request.Text));
    switch (request.Flags & 0xF0) {
      case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
      case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
      case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
      case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
      default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QAbstractButton* ok = nullptr;
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    QAbstractButton* cancel = nullptr;
    switch (request.Flags & 0x0F) {
      case MB_YESNO:
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        break;
      case MB_YESNOCANCEL:
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        cancel = box.addButton(QMessageBox::Cancel);
        break;
      case MB_OKCANCEL:
        ok = box.addButton(QMessageBox::Ok);
        cancel = box.addButton(QMessageBox::Cancel);
        break;
      default: ok = box.addButton(QMessageBox::Ok); break;
    }
    // The failure reports hold the application until they are answered. The other boxes have no
    // owner window: the main window stays usable while one is open, so it is shown without
    // modality and waited for in a loop of its own.
    if ((request.Flags & MB_TASKMODAL) || (request.Flags & 0xF0) == MB_ICONSTOP) {
      box.setWindowModality(Qt::ApplicationModal);
      box.exec();
    } else {
      box.setWindowModality(Qt::NonModal);
      QEventLoop wait;
      QObject::connect(&box, &QMessageBox::finished, &wait, &QEventLoop::quit);
      box.show();
      box.raise();
      box.activateWindow();
      wait.exec();
    }
    QAbstractButton* clicked = box.clickedButton();
    // Only a press of a button counts as that button; closing the box any other way is a cancel.
    if (!clicked) return IDCANCEL;
    if (clicked == yes) return IDYES;
    if (clicked == no) return IDNO;
    if (clicked == ok) return IDOK;
    if (clicked == cancel) return IDCANCEL;
    return IDCANCEL;
  }

  void RunMessageLoop() override {
    // Our own loop rather than Qt's: a quit asked for inside nested processing (an installer
    // being waited for) must end this loop only, and never turn later message boxes of the same
    // run into boxes that close before they are seen. What is queued ahead of a quit still runs.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (!FQuitRequested) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  void ProcessMessages() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  void Quit(int) override {
    FQuitRequested = true;
    // Wakes the loop if it is waiting for events.
    QMetaObject::invokeMethod(&FApp, [] {}, Qt::QueuedConnection);
  }
  int ScreenBitsPerPixel() const override {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->depth() : 32;
  }

private:
  QApplication FApp;
  QImage FScreenImage;
  QPainter FScreenPainter;
  QtDeviceContext FScreenDC;
  bool FQuitRequested = false;
};

TQtBackendScope::TQtBackendScope(int& argc, char** argv) : FBackend(std::make_unique<QtBackend>(argc, argv)) {
  RegisterQtPictureFormats();
  SetBackend(FBackend.get());
}

TQtBackendScope::~TQtBackendScope() {
  SetBackend(nullptr);
  FBackend.reset();
}
