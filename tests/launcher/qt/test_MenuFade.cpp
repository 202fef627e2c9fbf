// The menu line's fade in a shown window: each step repaints the line's rectangle and nothing
// else of the inside cover.
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QRect>

#include <vector>

#include "../LauncherFixture.h"
#include "support/QtWindows.h"

namespace {

// Records the rectangles Qt asks a widget to paint.
class TPaintRecorder : public QObject {
public:
  std::vector<QRect> Painted;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) Painted.push_back(static_cast<QPaintEvent*>(event)->region().boundingRect());
    return QObject::eventFilter(watched, event);
  }
};

class MenuFade : public LauncherTest {};

TEST_F(MenuFade, EachStepRepaintsOnlyTheMenuLine) {
  const std::string video = Disc.Write("a.avi", "x");
  WriteConfig("[Item1]\nCaption=First\nMainFile=" + video + "\n[Item2]\nCaption=Second\nMainFile=" + video + "\n");
  TfrmMain* window = CreateWindow();
  ShowActive(*window);
  ASSERT_TRUE(window->Active());
  QWidget* cover = WidgetOf(window->oInsideContainer);
  for (int i = 0; i < 20; ++i) QApplication::processEvents();  // the first paints

  TNewFadeLabel* line = window->MenuItems->Items(0)->Label;
  const TRect r = line->BoundsRect();
  const QRect lineRect(r.Left, r.Top, r.Width(), r.Height());
  TPaintRecorder recorder;
  cover->installEventFilter(&recorder);
  line->Perform(CM_MOUSEENTER);
  line->Perform(CM_MOUSELEAVE);
  ASSERT_EQ(line->DrawColor(), line->ColorHighLighted()) << "the highlight stays until the first step";
  int steps = 0;
  TColor last = line->DrawColor();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3000 && last != line->Font()->Color()) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (line->DrawColor() != last) {
      last = line->DrawColor();
      ++steps;
    }
  }
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  cover->removeEventFilter(&recorder);
  EXPECT_EQ(line->DrawColor(), line->Font()->Color()) << "the line fades back to its colour";
  EXPECT_GE(steps, 2);
  ASSERT_FALSE(recorder.Painted.empty());
  for (const QRect& painted : recorder.Painted)
    EXPECT_TRUE(lineRect.contains(painted)) << "painted " << painted.x() << "," << painted.y() << " "
                                            << painted.width() << "x" << painted.height();
}

}  // namespace
