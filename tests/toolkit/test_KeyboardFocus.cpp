// Keyboard and focus of windowed controls, driven by messages as the backend sends them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

using TLog = std::vector<std::string>;

// A windowed control that records what reaches it and can be told which keys it wants.
class TKeyProbe : public TCustomControl {
public:
  TKeyProbe(TComponent* owner, TWinControl* parent, TLog& log, const std::string& name) : TCustomControl(owner), Log(log) {
    SetName(name);
    SetParent(parent);
    SetTabStop(true);
    OnEnter = [this](TObject*) { Log.push_back(Name() + " enter"); };
    OnExit = [this](TObject*) { Log.push_back(Name() + " exit"); };
    OnKeyDown = [this](TObject*, uint16_t& key, TShiftState shift) {
      Log.push_back(Name() + " keydown " + std::to_string(key) + (shift & ssShift ? " shift" : ""));
      if (key == TakeKey) key = 0;
    };
    OnKeyPress = [this](TObject*, char32_t& ch) { Log.push_back(Name() + " keypress " + std::string(1, static_cast<char>(ch))); };
  }
  TLog& Log;
  unsigned DialogCode = 0;
  char32_t Accelerator = 0;
  uint16_t TakeKey = 0;
  intptr_t ChildKeyAnswer = 0;

protected:
  void WMGetDlgCode(TMessage& m) override { m.Result = DialogCode; }
  void WMSetFocus(TMessage& m) override {
    Log.push_back(Name() + " setfocus");
    TCustomControl::WMSetFocus(m);
  }
  void WMKillFocus(TMessage& m) override {
    Log.push_back(Name() + " killfocus");
    TCustomControl::WMKillFocus(m);
  }
  void CMDialogChar(TMessage& m) override {
    if (Accelerator && m.WParam == Accelerator && (KeyDataToShiftState(m.LParam) & ssAlt)) {
      Log.push_back(Name() + " accelerator");
      m.Result = 1;
      return;
    }
    TCustomControl::CMDialogChar(m);
  }
  void CMChildKey(TMessage& m) override {
    if (ChildKeyAnswer) {
      m.Result = ChildKeyAnswer;
      return;
    }
    TCustomControl::CMChildKey(m);
  }
};

// A windowless control that hears the focus-change notification.
class TFocusListener : public TGraphicControl {
public:
  TFocusListener(TComponent* owner, TWinControl* parent, TLog& log) : TGraphicControl(owner), Log(log) { SetParent(parent); }
  TLog& Log;

protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_FOCUSCHANGED) Log.push_back("focuschanged " + reinterpret_cast<TControl*>(m.LParam)->Name());
    TGraphicControl::Dispatch(m);
  }
};

class Keyboard : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 400, 300);
    P1 = new TPanel(Form.get());
    P1->SetName("P1");
    P1->SetParent(Form.get());
    P2 = new TPanel(Form.get());
    P2->SetName("P2");
    P2->SetParent(Form.get());
    A = new TKeyProbe(Form.get(), P1, Log, "A");
    B = new TKeyProbe(Form.get(), P1, Log, "B");
    C = new TKeyProbe(Form.get(), P2, Log, "C");
    P1->OnEnter = [this](TObject*) { Log.push_back("P1 enter"); };
    P1->OnExit = [this](TObject*) { Log.push_back("P1 exit"); };
    P2->OnEnter = [this](TObject*) { Log.push_back("P2 enter"); };
    P2->OnExit = [this](TObject*) { Log.push_back("P2 exit"); };
    Form->Show();
  }
  void TearDown() override { ChangeSystemFocus(nullptr); }
  bool Key(unsigned msg, unsigned key, bool shift = false, bool alt = false) {
    return DispatchKeyMessage(FocusedWindow(), msg, key, MakeKeyData(shift, false, alt));
  }
  TLog Log;
  std::unique_ptr<TForm> Form;
  TPanel* P1 = nullptr;
  TPanel* P2 = nullptr;
  TKeyProbe* A = nullptr;
  TKeyProbe* B = nullptr;
  TKeyProbe* C = nullptr;
};

TEST_F(Keyboard, FocusMovesThroughExitAndEnterUpToTheCommonParent) {
  new TFocusListener(Form.get(), P2, Log);
  A->SetFocus();
  EXPECT_EQ(Log, (TLog{"A setfocus", "P1 enter", "A enter", "focuschanged A"}));
  EXPECT_TRUE(A->Focused());
  EXPECT_EQ(Form->ActiveControl(), A);
  Log.clear();
  C->SetFocus();
  EXPECT_EQ(Log, (TLog{"A killfocus", "C setfocus", "A exit", "P1 exit", "P2 enter", "C enter", "focuschanged C"}));
  Log.clear();
  C->SetFocus();
  EXPECT_TRUE(Log.empty()) << "focusing the focused control again changes nothing";
}

TEST_F(Keyboard, TabAndShiftTabWalkTheTabOrderOfTheWholeForm) {
  // The panels are no tab stops: Tab visits A, B, C and wraps.
  B->SetTabOrder(0);  // B before A within P1
  A->SetFocus();
  std::vector<std::string> visited;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_TAB));
    visited.push_back(FocusedWindow()->Name());
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"C", "B", "A", "C"}));
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_TAB, /*shift*/ true));
  EXPECT_EQ(FocusedWindow(), A);
  C->SetEnabled(false);
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_TAB));
  EXPECT_EQ(FocusedWindow(), B) << "a disabled control is skipped";
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "A keydown 9"), 0) << "navigation keys never reach the control";
}

TEST_F(Keyboard, TheDialogCodeKeepsTabAndArrowsWithTheControlThatWantsThem) {
  A->SetFocus();
  A->DialogCode = DLGC_WANTTAB;
  Log.clear();
  EXPECT_FALSE(Key(WM_KEYDOWN, VK_TAB)) << "the control's own window gets the Tab it did not take";
  EXPECT_EQ(FocusedWindow(), A);
  EXPECT_EQ(Log, (TLog{"A keydown 9"}));
  // Without DLGC_WANTARROWS the form moves among the siblings on an arrow key.
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_DOWN));
  EXPECT_EQ(FocusedWindow(), B);
  B->DialogCode = DLGC_WANTARROWS;
  Log.clear();
  EXPECT_FALSE(Key(WM_KEYDOWN, VK_DOWN)) << "an arrow the control does not take goes to its window";
  EXPECT_EQ(Log, (TLog{"B keydown 40"}));
  B->TakeKey = VK_DOWN;
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_DOWN)) << "a handler that clears the key has taken it";
}

TEST_F(Keyboard, KeyPreviewLetsTheFormSwallowAKey) {
  A->SetFocus();
  Form->SetKeyPreview(true);
  Form->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) {
    Log.push_back("form keydown " + std::to_string(key));
    if (key == 'X') key = 0;
  };
  Form->OnKeyPress = [this](TObject*, char32_t& ch) {
    if (ch == 'y') ch = 'z';
  };
  Log.clear();
  EXPECT_TRUE(Key(WM_KEYDOWN, 'X'));
  EXPECT_FALSE(Key(WM_KEYDOWN, 'Y', true));
  EXPECT_FALSE(Key(WM_CHAR, 'y')) << "a typed character goes on to the window";
  EXPECT_EQ(Log, (TLog{"form keydown 88", "form keydown 89", "A keydown 89 shift", "A keypress z"}));
  A->SetControlStyle(A->ControlStyle() | csNoStdEvents);
  Form->SetKeyPreview(false);
  Log.clear();
  EXPECT_FALSE(Key(WM_KEYDOWN, 'Q'));
  EXPECT_TRUE(Log.empty()) << "a control without standard events raises none";
}

TEST_F(Keyboard, AltWithACharacterReachesTheAcceleratorsOfTheForm) {
  A->SetFocus();
  C->Accelerator = 'c';
  Log.clear();
  EXPECT_TRUE(Key(WM_SYSCHAR, 'c', false, true));
  EXPECT_EQ(Log, (TLog{"C accelerator"}));
  Log.clear();
  EXPECT_FALSE(Key(WM_SYSCHAR, 'q', false, true)) << "no control takes Alt+Q";
  // Without Alt the character is typed into the focused control.
  EXPECT_FALSE(Key(WM_CHAR, 'c'));
  EXPECT_EQ(Log, (TLog{"A keypress c"}));
}

TEST_F(Keyboard, ShortcutsOfTheFormAndTheApplicationComeFirst) {
  TApplication app(nullptr);
  A->SetFocus();
  std::vector<unsigned> asked;
  Form->OnShortCut = [&](TMessage& m, bool& handled) {
    asked.push_back(static_cast<unsigned>(m.WParam));
    handled = m.WParam == VK_F1;
  };
  app.OnShortCut = [&](TMessage& m, bool& handled) { handled = m.WParam == 'S' && (KeyDataToShiftState(m.LParam) & ssCtrl); };
  Log.clear();
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_F1));
  EXPECT_TRUE(DispatchKeyMessage(A, WM_KEYDOWN, 'S', MakeKeyData(false, true, false)));
  EXPECT_TRUE(Log.empty()) << "a shortcut never reaches the control";
  EXPECT_EQ(asked, (std::vector<unsigned>{VK_F1, 'S'}));
  EXPECT_EQ(app.Perform(CM_APPKEYDOWN, 'T', 0), 0);
}

TEST_F(Keyboard, AParentAnsweringChildKeyTakesTheKey) {
  B->SetParent(P2);
  A->SetParent(B);  // A inside B: B hears A's keys first
  B->ChildKeyAnswer = 1;
  A->SetFocus();
  Log.clear();
  EXPECT_TRUE(Key(WM_KEYDOWN, 'K'));
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "A keydown 75"), 0);
}

TEST_F(Keyboard, FocusOnADisabledOrHiddenControlIsRefused) {
  A->SetEnabled(false);
  try {
    A->SetFocus();
    FAIL() << "no failure";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot focus a disabled or invisible window");
  }
  P2->Hide();
  EXPECT_FALSE(C->CanFocus()) << "a hidden parent hides the control";
  EXPECT_TRUE(B->CanFocus());
}

TEST_F(Keyboard, TheActiveControlNeverOutlivesItsControl) {
  B->SetFocus();
  delete B;
  EXPECT_EQ(Form->ActiveControl(), nullptr);
  EXPECT_EQ(FocusedWindow(), nullptr);
  A->SetFocus();
  EXPECT_EQ(Form->ActiveControl(), A);
}

TEST(KeyData, CarriesTheShiftState) {
  EXPECT_EQ(KeyDataToShiftState(MakeKeyData(true, false, false)), TShiftState{ssShift});
  EXPECT_EQ(KeyDataToShiftState(MakeKeyData(false, true, true)), TShiftState{ssCtrl | ssAlt});
  EXPECT_EQ(KeyDataToShiftState(MakeKeyData(false, false, false, true)), TShiftState{0});
  EXPECT_EQ(static_cast<uint32_t>(MakeKeyData(false, false, true, true)) & (KF_ALTDOWN | KF_UP), KF_ALTDOWN | KF_UP);
}

}  // namespace
