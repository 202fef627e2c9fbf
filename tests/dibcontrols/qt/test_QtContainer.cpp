// Image controls in a container in a real (offscreen) window, driven by real Qt events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "support/QtWindows.h"
#include "toolkit/Forms.h"

namespace {

class QtContainer : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBorderStyle(TBorderStyle::bsNone);
    Form->SetBounds(0, 0, 200, 150);
    List = new TDIBImageList(Form.get());
    TDIBImagesItem* item = List->DIBImages()->Add();
    item->DIB()->SetSize(60, 40);
    for (int i = 0; i < 60 * 40; ++i) item->DIB()->Pixels()[i] = 0xFF20C040;
    Container = new TDIBImageContainer(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 200, 150);
    Container->SetColor(clBlack);
    Image = new TDIBImage(Form.get());
    Image->SetParent(Container);
    Image->SetDIBImageList(List);
    Image->IndexMain()->SetDIBIndex(0);
    Image->SetBounds(20, 30, 60, 40);
    Image->SetDIBTabOrder(0);
    Image->OnMouseEnter = [this](TObject*) { Log.push_back("enter"); };
    Image->OnMouseLeave = [this](TObject*) { Log.push_back("leave"); };
    Image->OnDblClick = [this](TObject*) { Log.push_back("dblclick"); };
    Image->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) { Log.push_back("key " + std::to_string(key)); };
    ShowActive(*Form);
  }
  void TearDown() override {
    Form.reset();
    QApplication::processEvents();
  }
  std::vector<std::string> Log;
  std::unique_ptr<TForm> Form;
  TDIBImageList* List = nullptr;
  TDIBImageContainer* Container = nullptr;
  TDIBImage* Image = nullptr;
};

TEST_F(QtContainer, TheCompositionReachesTheWindow) {
  const QImage shot = WidgetOf(Container)->grab().toImage();
  EXPECT_EQ(shot.pixelColor(25, 35).rgb() & 0xFFFFFF, 0x20C040u) << "the picture (pixels are 0xAARRGGBB)";
  EXPECT_EQ(shot.pixelColor(5, 5).rgb() & 0xFFFFFF, 0u) << "the container's colour";
}

TEST_F(QtContainer, PointerAndButtonsReachTheImageControl) {
  QWidget* w = WidgetOf(Container);
  QTest::mouseMove(w, QPoint(150, 120));
  QTest::mouseMove(w, QPoint(30, 40));
  EXPECT_EQ(Log, (std::vector<std::string>{"enter"}));
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseMove(w, QPoint(150, 120));
  EXPECT_TRUE(Image->Hot()) << "the button holds the pointer: still hot";
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(150, 120));
  QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(30, 40));
  EXPECT_NE(std::find(Log.begin(), Log.end(), "dblclick"), Log.end());
}

TEST_F(QtContainer, KeysReachTheActiveImageThroughTheContainer) {
  Container->SetFocus();
  QApplication::processEvents();
  EXPECT_EQ(Container->ActiveControl(), Image);
  QTest::keyClick(WidgetOf(Container), Qt::Key_Left);
  EXPECT_EQ(Log, (std::vector<std::string>{"key 37"}));
}

}  // namespace
