#include "toolkit/qt/QtBackend.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QEventLoop>
#include <QHelpEvent>
#include <QKeyEvent>
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/PixelMemory.h"
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

// Which control a widget stands for: every widget the backend makes for a windowed control
// carries it, and a widget inside one (a text view's viewport) belongs to the nearest such.
const char* const kControlProperty = "qvControl";

TWinControl* ControlOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const QVariant v = w->property(kControlProperty);
    if (v.isValid()) return static_cast<TWinControl*>(v.value<void*>());
  }
  return nullptr;
}

void MarkControl(QWidget* widget, TWinControl* control) {
  widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(control)));
}

// For start-up measurements: when QV_FIRST_FRAME_LOG names a file, the moment the first frame
// has been painted and handed to the window system (the turn of the event loop after the first
// paint, so every widget of that frame is in it) is appended to it as CLOCK_MONOTONIC nanoseconds.
void NoteFirstPaint() {
  static bool noted = false;
  if (noted) return;
  noted = true;
  const char* path = std::getenv("QV_FIRST_FRAME_LOG");
  if (!path || !*path) return;
  const std::string file(path);
  QTimer::singleShot(0, [file] {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (std::FILE* f = std::fopen(file.c_str(), "a")) {
      std::fprintf(f, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
      std::fclose(f);
    }
  });
}

// The widget behind every windowed control: it turns Qt's events into the toolkit's messages.
class ControlWidget : public QWidget {
public:
  ControlWidget(TWinControl* control, QWidget* parent, Qt::WindowFlags flags = {})
      : QWidget(parent, flags), FControl(control) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // The toolkit decides who gets the focus (a click on a panel takes none): the widget only has
    // to hold it when the toolkit gives it.
    setFocusPolicy(Qt::NoFocus);
    MarkControl(this, control);
  }
  TWinControl* FControl;
  // What the toolkit marked for painting and has not been painted yet.
  QRegion FInvalid;
  // The paint in progress: its device context and rectangle.
  TDeviceContext* FPaintDC = nullptr;
  QRect FPaintRect;

protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter painter(this);
    QtDeviceContext dc(painter, e->region(), nullptr, false);
    FInvalid -= e->region();
    FPaintDC = &dc;
    FPaintRect = e->rect();
    TWinControl* control = FControl;
    ProtectedCall([&] { control->Perform(WM_PAINT); });
    FPaintDC = nullptr;
    NoteFirstPaint();
  }
  bool focusNextPrevChild(bool) override { return false; }
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
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(e);
      const TPoint p{help->pos().x(), help->pos().y()};
      THintInfo info;
      bool show = false;
      ProtectedCall([&] {
        TControl* under = FControl->ControlAtPos(p);
        const TPoint local = under ? TPoint{p.X - under->Left(), p.Y - under->Top()} : p;
        show = HintToShow(under ? under : FControl, local, info);
      });
      if (show) QToolTip::showText(help->globalPos(), QString::fromStdString(info.HintStr), this);
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
    const QRect rect = r ? QRect(r->Left, r->Top, r->Width(), r->Height()) : FWidget->rect();
    if (auto* cw = dynamic_cast<ControlWidget*>(FWidget.data())) cw->FInvalid += rect;
    FWidget->update(rect);
  }
  void ValidateRect(const TRect& r) override {
    if (auto* cw = dynamic_cast<ControlWidget*>(FWidget.data())) cw->FInvalid -= QRect(r.Left, r.Top, r.Width(), r.Height());
  }
  void Update() override {
    auto* cw = dynamic_cast<ControlWidget*>(FWidget.data());
    if (!cw) {
      if (FWidget) FWidget->repaint();
      return;
    }
    if (cw->FInvalid.isEmpty() || !cw->isVisible()) return;
    const QRegion invalid = cw->FInvalid;
    cw->repaint(invalid);
  }
  TDeviceContext* BeginPaint(TPaintStruct& paint) override {
    auto* cw = dynamic_cast<ControlWidget*>(FWidget.data());
    if (!cw || !cw->FPaintDC) return nullptr;
    const QRect r = cw->FPaintRect;
    paint.DC = cw->FPaintDC;
    paint.Paint = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    paint.Erase = false;
    return cw->FPaintDC;
  }
  void EndPaint(const TPaintStruct&) override {}
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
  TPoint ClientToScreen(TPoint p) const override {
    if (!FWidget) return p;
    QPoint q = FWidget->mapToGlobal(QPoint(p.X, p.Y));
    return {q.x(), q.y()};
  }
  TPoint CursorPos() const override {
    QPoint q = QCursor::pos();
    return {q.x(), q.y()};
  }
  bool IsActiveWindow() const override { return FWidget && FWidget->isActiveWindow(); }

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
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      // A tick may stop and destroy this very timer: run a copy of the handler.
      std::function<void()> tick = FOnTick;
      tick();
    });
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
    platform::FreePixelMemory(FBits);
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

// Turns Qt's keyboard, focus and pointer-crossing events of every widget into the toolkit's
// messages, wherever they land: the toolkit's own widgets and native ones (the text view) alike.
class ToolkitEventFilter : public QObject {
protected:
  bool eventFilter(QObject* object, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget || widget != QApplication::focusWidget()) return false;
        return Key(widget, static_cast<QKeyEvent*>(e), e->type() == QEvent::KeyPress);
      }
      case QEvent::FocusIn:
      case QEvent::FocusOut: {
        // By the time either arrives, the application knows the new focus widget.
        TWinControl* now = ControlOf(QApplication::focusWidget());
        ProtectedCall([&] { ChangeSystemFocus(now); });
        return false;
      }
      case QEvent::Enter: {
        auto* widget = qobject_cast<QWidget*>(object);
        if (TWinControl* control = widget ? ControlOf(widget) : nullptr) {
          // Qt tells a parent nothing when the pointer moves on into a child window, so the
          // windowless control it left hears it here.
          ProtectedCall([&] { MouseIdle(control); });
        }
        return false;
      }
      case QEvent::Leave: {
        auto* widget = qobject_cast<QWidget*>(object);
        const QVariant v = widget ? widget->property(kControlProperty) : QVariant();
        if (v.isValid()) {
          auto* control = static_cast<TWinControl*>(v.value<void*>());
          ProtectedCall([&] { control->PeerMouseLeft(); });
        }
        return false;
      }
      default: return false;
    }
  }

private:
  static unsigned VirtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<unsigned>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<unsigned>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<unsigned>(key - Qt::Key_F1);
    switch (key) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab: return VK_TAB;
      case Qt::Key_Return:
      case Qt::Key_Enter: return VK_RETURN;
      case Qt::Key_Escape: return VK_ESCAPE;
      case Qt::Key_Space: return VK_SPACE;
      case Qt::Key_Backspace: return VK_BACK;
      case Qt::Key_Left: return VK_LEFT;
      case Qt::Key_Up: return VK_UP;
      case Qt::Key_Right: return VK_RIGHT;
      case Qt::Key_Down: return VK_DOWN;
      case Qt::Key_Home: return VK_HOME;
      case Qt::Key_End: return VK_END;
      case Qt::Key_PageUp: return VK_PRIOR;
      case Qt::Key_PageDown: return VK_NEXT;
      case Qt::Key_Insert: return VK_INSERT;
      case Qt::Key_Delete: return VK_DELETE;
      case Qt::Key_Shift: return VK_SHIFT;
      case Qt::Key_Control: return VK_CONTROL;
      case Qt::Key_Alt: return VK_MENU;
      case Qt::Key_Cancel: return VK_CANCEL;
      case Qt::Key_Execute: return VK_EXECUTE;
      default: return 0;
    }
  }
  // The character a key press types, as a code point; 0 for none.
  static char32_t Character(const QKeyEvent* e) {
    const QList<uint> text = e->text().toUcs4();
    if (!text.isEmpty()) return static_cast<char32_t>(text.front());
    // With Alt held some systems give no text: the key's own letter or digit then.
    const int key = e->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
      const char32_t c = static_cast<char32_t>('a' + (key - Qt::Key_A));
      return (e->modifiers() & Qt::ShiftModifier) ? c - 32 : c;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<char32_t>('0' + (key - Qt::Key_0));
    return 0;
  }
  static bool Key(QWidget* widget, QKeyEvent* e, bool press) {
    const Qt::KeyboardModifiers m = e->modifiers();
    const bool shift = m & Qt::ShiftModifier, ctrl = m & Qt::ControlModifier, alt = m & Qt::AltModifier;
    const bool sys = alt && !ctrl;
    intptr_t data = MakeKeyData(shift || e->key() == Qt::Key_Backtab, ctrl, alt, !press);
    if (press && e->isAutoRepeat()) data |= KF_REPEAT;
    const unsigned vk = VirtualKey(e->key());
    QPointer<QWidget> guard(widget);
    bool taken = false, notified = false;
    ProtectedCall([&] {
      TWinControl* control = ControlOf(widget);
      if (!control) return;
      if (vk != 0) {
        const unsigned msg = press ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
        taken = DispatchKeyMessage(control, msg, vk, data, &notified);
      }
      // Characters come from key presses that no notification took, as the system translates them.
      if (!press || notified || !guard) return;
      const char32_t ch = Character(e);
      if (ch == 0) return;
      control = ControlOf(guard.data());
      if (control && DispatchKeyMessage(control, sys ? WM_SYSCHAR : WM_CHAR, ch, data, nullptr)) taken = true;
    });
    return taken;
  }
};

class QtBackend : public IBackend {
public:
  QtBackend(int& argc, char** argv) : FApp(argc, argv), FScreenImage(1, 1, QImage::Format_RGB32),
                                      FScreenPainter(&FScreenImage),
                                      FScreenDC(FScreenPainter, QRegion(0, 0, 1, 1), &FScreenImage, false) {
    QApplication::setQuitOnLastWindowClosed(false);
    FApp.installEventFilter(&FFilter);
  }
  ~QtBackend() override { FScreenPainter.end(); }

  std::unique_ptr<IWindowPeer> CreateWindowPeer(TWinControl* control, IWindowPeer* parent) override {
    std::unique_ptr<IWindowPeer> peer = CreatePeerWidget(control, parent);
    if (peer && peer->NativeWidget()) MarkControl(static_cast<QWidget*>(peer->NativeWidget()), control);
    return peer;
  }
  std::unique_ptr<IWindowPeer> CreatePeerWidget(TWinControl* control, IWindowPeer* parent) {
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
    auto* bits = static_cast<uint8_t*>(platform::AllocateZeroedPixelMemory(bytes));
    if (!bits) return nullptr;
    return std::make_unique<DIBSection>(bits, width, height);
  }
  TDeviceContext& ScreenDC() override { return FScreenDC; }

  int ShowMessageBox(const TMessageBoxRequest& request) override {
    if (!FDisplay) {
      const int answer = UnshownMessageBoxAnswer(request.Flags);
      std::fputs(UnshownMessageBoxText(request, answer).c_str(), stderr);
      std::fflush(stderr);
      return answer;
    }
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
  TSize ScreenSize() const override {
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return {};
    return {s->geometry().width(), s->geometry().height()};
  }
  TPoint CursorPos() const override {
    const QPoint q = QCursor::pos();
    return {q.x(), q.y()};
  }
  TWinControl* ControlAtScreenPoint(TPoint p) const override {
    return ControlOf(QApplication::widgetAt(QPoint(p.X, p.Y)));
  }
  int ScreenBitsPerPixel() const override {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->depth() : 32;
  }
  // Without a display nothing is ever seen: message boxes are written out instead.
  void SetDisplay(bool display) { FDisplay = display; }

private:
  QApplication FApp;
  ToolkitEventFilter FFilter;
  QImage FScreenImage;
  QPainter FScreenPainter;
  QtDeviceContext FScreenDC;
  bool FQuitRequested = false;
  bool FDisplay = true;
};

namespace {

// Qt's messages while the platform starts are held back: where no display opens they only say so
// at length, in Qt's words, and the program's own line says it once. Where one opens they are
// passed on as they came. Threads decoding pictures may log meanwhile, hence the lock.
struct THeldMessage {
  QtMsgType Type;
  std::string File, Function, Category;
  int Line;
  QString Text;
};

struct TPlatformStart {
  std::vector<THeldMessage> Held;
  std::string NoDisplayLine;
};

std::mutex gPlatformStartLock;
TPlatformStart* gPlatformStart = nullptr;
// The handler before ours: what was held goes to it, and so does what comes after holding ended.
QtMessageHandler gPassOnHandler = nullptr;

[[noreturn]] void EndWithoutDisplay(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(nullptr);
  // Nothing of the program has run yet, and the threads it has started may still be at work:
  // ending here leaves nothing half torn down behind.
  std::_Exit(1);
}

void PassOn(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (gPassOnHandler) gPassOnHandler(type, context, text);
  else std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  std::unique_lock lock(gPlatformStartLock);
  if (!gPlatformStart) {
    lock.unlock();
    PassOn(type, context, text);
    return;
  }
  // Qt ends the program with a fatal message when none of its platforms started.
  if (type == QtFatalMsg) EndWithoutDisplay(gPlatformStart->NoDisplayLine);
  gPlatformStart->Held.push_back({type, context.file ? context.file : "", context.function ? context.function : "",
                                  context.category ? context.category : "", context.line, text});
}

// Sets the platforms to try for the time the application object is made (programs started later
// must not inherit them), and holds Qt's messages meanwhile.
class TPlatformStartScope {
public:
  TPlatformStartScope(const std::string& platforms, std::string noDisplayLine) : FPlatforms(platforms) {
    if (!FPlatforms.empty()) {
      FHadValue = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
      FValue = qgetenv("QT_QPA_PLATFORM");
      qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(FPlatforms));
    }
    std::lock_guard lock(gPlatformStartLock);
    FStart.NoDisplayLine = std::move(noDisplayLine);
    gPlatformStart = &FStart;
    gPassOnHandler = qInstallMessageHandler(HoldStartMessage);
  }
  ~TPlatformStartScope() { End(); }
  TPlatformStartScope(const TPlatformStartScope&) = delete;
  TPlatformStartScope& operator=(const TPlatformStartScope&) = delete;

  // Stops holding; answers what was held.
  std::vector<THeldMessage> End() {
    std::vector<THeldMessage> held;
    {
      std::lock_guard lock(gPlatformStartLock);
      if (gPlatformStart != &FStart) return held;
      held.swap(FStart.Held);
      gPlatformStart = nullptr;
    }
    qInstallMessageHandler(gPassOnHandler);
    if (!FPlatforms.empty()) {
      if (FHadValue) qputenv("QT_QPA_PLATFORM", FValue);
      else qunsetenv("QT_QPA_PLATFORM");
    }
    return held;
  }
  static void PassOnHeld(const std::vector<THeldMessage>& held) {
    for (const THeldMessage& m : held) {
      const QMessageLogContext context(m.File.empty() ? nullptr : m.File.c_str(), m.Line,
                                       m.Function.empty() ? nullptr : m.Function.c_str(),
                                       m.Category.empty() ? nullptr : m.Category.c_str());
      PassOn(m.Type, context, m.Text);
    }
  }

private:
  std::string FPlatforms;
  bool FHadValue = false;
  QByteArray FValue;
  TPlatformStart FStart;
};

}  // namespace

TQtBackendScope::TQtBackendScope(int& argc, char** argv, TDisplayUse use) {
  const std::string chosen = ChosenPlatforms(argc, argv, std::getenv("QT_QPA_PLATFORM"));
  const char* const waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  const std::string platforms = PlatformsToTry(use, chosen, std::getenv("XDG_SESSION_TYPE"), waylandDisplay);
  const std::string line = NoDisplayLine(argc > 0 ? argv[0] : nullptr, use == TDisplayUse::None ? platforms : chosen,
                                         std::getenv("DISPLAY"), waylandDisplay);
  bool display = use != TDisplayUse::None;
  {
    TPlatformStartScope start(platforms, line);
    FBackend = std::make_unique<QtBackend>(argc, argv);
    const std::vector<THeldMessage> held = start.End();
    // The fallback counts as "no display" only where this program put it in; a user who asks
    // for it gets boxes as anywhere else.
    if (display && !platforms.empty() && QGuiApplication::platformName() == QLatin1String(kNoDisplayPlatform)) {
      if (use == TDisplayUse::Windows) EndWithoutDisplay(line);
      display = false;
    } else {
      TPlatformStartScope::PassOnHeld(held);
    }
  }
  FBackend->SetDisplay(display);
  RegisterQtPictureFormats();
  SetBackend(FBackend.get());
}

TQtBackendScope::~TQtBackendScope() {
  SetBackend(nullptr);
  FBackend.reset();
}
