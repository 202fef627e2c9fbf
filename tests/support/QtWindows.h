#pragma once
// Tests that send real Qt events need the toolkit's windows shown and active, and their widgets.
#include <QApplication>
#include <QTest>
#include <QWidget>

#include "toolkit/Forms.h"

inline QWidget* WidgetOf(TWinControl* control) { return static_cast<QWidget*>(control->Peer()->NativeWidget()); }

// Shows the form and waits until the system has made it the active window.
inline void ShowActive(TForm& form) {
  form.Show();
  QWidget* window = WidgetOf(&form);
  QApplication::setActiveWindow(window);
  (void)QTest::qWaitForWindowActive(window, 1000);
  QApplication::processEvents();
}
