// Real Qt events through the backend: keys, focus and the pointer crossing into a child window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QWidget>
#include <string>
#include <vector>

#include "support/HoverProbe.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "support/QtWindows.h"
#include "toolkit/Forms.h"

namespace {

using test_support::TLog;
using test_support::THoverProbe;

class QtEvents : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBorderStyle(TBorderStyle::bsNone);
    Form->SetBounds(0, 0, 300, 200);
    Container = new TPanel(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 300, 200);
    First = new TPanel(Form.get());
    First->SetName("First");
    First->SetParent(Container);
    First->SetBounds(100, 10, 50, 50);
    First->SetTabStop(true);
    Notes = new TRichEdit(Form.get());
    Notes->SetName("Notes");
    Notes->SetParent(Container);
    Notes->SetBounds(100, 100, 150, 80);
    Notes->SetTabStop(true);
    ShowActive(*Form);
  }
  void TearDown() override {
    Form.reset();
    QApplication::processEvents();
  }
  std::unique_ptr<TForm> Form;
  TPanel* Container = nullptr;
  TPanel* First = nullptr;
  TRichEdit* Notes = nullptr;
};

TEST_F(QtEvents, TabThroughTheBackendMovesTheFocusInTabOrder) {
  TLog log;
  First->OnEnter = [&](TObject*) { log.push_back("First enter"); };
  Notes->OnEnter = [&](TObject*) { log.push_back("Notes enter"); };
  First->SetFocus();
  QApplication::processEvents();
  ASSERT_EQ(FocusedWindow(), First);
  QTest::keyClick(WidgetOf(First), Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_EQ(FocusedWindow(), Notes);
  EXPECT_EQ(QApplication::focusWidget(), WidgetOf(Notes)) << "the system focus follows the toolkit's";
  QTest::keyClick(WidgetOf(Notes), Qt::Key_Backtab, Qt::ShiftModifier);
  QApplication::processEvents();
  EXPECT_EQ(FocusedWindow(), First);
  EXPECT_EQ(log, (TLog{"First enter", "Notes enter", "First enter"}));
}

TEST_F(QtEvents, KeysReachTheFocusedControlAsMessages) {
  TLog log;
  First->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState shift) {
    log.push_back("down " + std::to_string(key) + (shift & ssShift ? " shift" : ""));
  };
  First->OnKeyPress = [&](TObject*, char32_t& ch) { log.push_back(std::string("press ") + static_cast<char>(ch)); };
  First->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState) { log.push_back("up " + std::to_string(key)); };
  First->SetFocus();
  QTest::keyClick(WidgetOf(First), Qt::Key_A, Qt::ShiftModifier, 0);
  // The Shift key is a key of its own; the character is the text the event carries.
  EXPECT_EQ(log, (TLog{"down 16 shift", "down 65 shift", "press a", "up 65", "up 16"}));
}

TEST_F(QtEvents, ThePointerMovingIntoAChildWindowLeavesTheWindowlessControl) {
  TLog log;
  new THoverProbe(Form.get(), Container, log);
  QWidget* container = WidgetOf(Container);
  QTest::mouseMove(container, QPoint(5, 150));
  QTest::mouseMove(container, QPoint(30, 30));
  QApplication::processEvents();
  ASSERT_EQ(log, (TLog{"enter"}));
  // Straight from the windowless control into the text view beside it.
  QTest::mouseMove(WidgetOf(Notes), QPoint(20, 20));
  QApplication::processEvents();
  EXPECT_EQ(log, (TLog{"enter", "leave"}));
  EXPECT_EQ(MouseControl(), Notes);
  EXPECT_EQ(Backend().ControlAtScreenPoint(Notes->ClientToScreen({5, 5})), Notes);
  EXPECT_EQ(FindDragTarget(Container->ClientToScreen({30, 30}))->ClassName(), std::string("THoverProbe"));
  EXPECT_TRUE(Form->FormIsActiveWindow());
}

TEST_F(QtEvents, TheNotesPanelShowsTheScrollBarsItAsksForWhetherOrNotTheTextNeedsThem) {
  auto* edit = qobject_cast<QTextEdit*>(WidgetOf(Notes));
  ASSERT_NE(edit, nullptr);
  const struct {
    TScrollStyle Style;
    bool Vertical, Horizontal;
  } cases[] = {
      {TScrollStyle::ssNone, false, false},
      {TScrollStyle::ssVertical, true, false},
      {TScrollStyle::ssHorizontal, false, true},
      {TScrollStyle::ssBoth, true, true},
      {TScrollStyle::ssNone, false, false},
  };
  Notes->AddLine("one short line");
  for (const auto& c : cases) {
    Notes->SetScrollBars(c.Style);
    QApplication::processEvents();
    EXPECT_EQ(edit->verticalScrollBar()->isVisible(), c.Vertical) << static_cast<int>(c.Style);
    EXPECT_EQ(edit->horizontalScrollBar()->isVisible(), c.Horizontal) << static_cast<int>(c.Style);
  }
  // A window made later takes the style the control already has.
  auto* late = new TRichEdit(Form.get());
  late->SetScrollBars(TScrollStyle::ssVertical);
  late->SetParent(Container);
  QApplication::processEvents();
  EXPECT_TRUE(qobject_cast<QTextEdit*>(WidgetOf(late))->verticalScrollBar()->isVisible());
}

}  // namespace
