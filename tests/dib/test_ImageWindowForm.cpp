#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "dib/cDIBImageList.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ControlsRegistration.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Streaming.h"

// Compiled in from tests/data/forms/ImageWindow.txt by the build.
extern const std::string_view kImageWindowForm;

namespace {

// A window as the program's own are stored: nested panels, notes, a label with a handler and an
// image list of pictures.
class TImageWindow : public TForm {
public:
  QV_CLASS(TImageWindow)
  using TForm::TForm;
  void lblCaptionClick(TObject*) { ++Clicks; }
  void FormCreate(TObject*) {}
  int Clicks = 0;
};

void RegisterImageWindow() {
  RegisterDIBImageListClasses();
  RegisterControlClasses();
  RegisterClassInfo<TImageWindow, TForm>()
      .PublishedMethod("lblCaptionClick", &TImageWindow::lblCaptionClick)
      .PublishedMethod("FormCreate", &TImageWindow::FormCreate);
}

TEST(ImageWindowForm, TheCompiledInFormWritesBackTheSameText) {
  RegisterImageWindow();
  TImageWindow window(nullptr);
  ReadFormResource(&window, kImageWindowForm);
  EXPECT_EQ(ComponentToText(&window), kImageWindowForm);

  auto* images = dynamic_cast<TDIBImageList*>(window.FindComponent("dilCovers"));
  auto* label = dynamic_cast<TLabel*>(window.FindComponent("lblCaption"));
  auto* inner = dynamic_cast<TPanel*>(window.FindComponent("pnlInside"));
  ASSERT_TRUE(images && label && inner);
  EXPECT_EQ(images->Owner(), &window);
  ASSERT_EQ(images->DIBImages()->Count(), 2);
  EXPECT_EQ(images->DIBImages()->Items(0)->DIB()->Width(), 2);
  EXPECT_EQ(images->DIBImages()->Items(0)->DIB()->Pixels()[3], 0xFF102030u);
  EXPECT_EQ(label->Parent(), inner);
  label->Click();
  EXPECT_EQ(window.Clicks, 1);
}

TEST(ImageWindowForm, EveryCutOfTheStoredFormFailsCleanly) {
  RegisterImageWindow();
  const std::string text(kImageWindowForm);
  for (size_t cut = 0; cut + 1 < text.size(); cut += 5) {
    TImageWindow window(nullptr);
    try {
      ReadFormResource(&window, text.substr(0, cut));
      ADD_FAILURE() << "cut at " << cut << " was read";
    } catch (const EParserError&) {
    } catch (const EReadError&) {
    }
    EXPECT_EQ(window.ComponentCount(), 0) << "cut at " << cut;
  }
}

TEST(ImageWindowForm, MakingTheFormInCodeGivesTheStoredText) {
  RegisterImageWindow();
  TImageWindow window(nullptr);
  window.SetName("frmImages");
  window.SetCaption("Covers");
  window.SetClientSize(320, 200);
  auto* images = new TDIBImageList(&window);
  images->SetName("dilCovers");
  TDIBImagesItem* front = images->DIBImages()->Add();
  front->DIB()->SetSize(2, 2);
  for (int i = 0; i < 4; ++i) front->DIB()->Pixels()[i] = 0xFF000000u | (0x102030u * static_cast<uint32_t>(i) / 3);
  front->SetDisplayName("Front");
  TDIBImagesItem* back = images->DIBImages()->Add();
  back->DIB()->Pixels()[0] = 0xFF405060u;
  back->SetDisplayName("Back");
  auto* outer = new TPanel(&window);
  outer->SetName("pnlOutside");
  outer->SetParent(&window);
  outer->SetAlign(TAlign::alClient);
  outer->SetTabOrder(0);
  auto* inner = new TPanel(&window);
  inner->SetName("pnlInside");
  inner->SetParent(outer);
  inner->SetBounds(10, 10, 300, 100);
  inner->SetBevelOuter(TBevelCut::bvLowered);
  inner->SetTabOrder(0);
  auto* label = new TLabel(&window);
  label->SetName("lblCaption");
  label->SetParent(inner);
  // A label sized by hand: its automatic size would depend on the fonts of the machine.
  label->SetAutoSize(false);
  label->SetBounds(8, 8, 120, 16);
  label->SetCaption("Front cover");
  auto* notes = new TRichEdit(&window);
  notes->SetName("mmoNotes");
  notes->SetParent(outer);
  notes->SetBounds(10, 120, 300, 70);
  notes->SetReadOnly(true);
  notes->SetTabOrder(1);
  // Handlers can only come from a stored form; the nesting names the parents again.
  ReadFormResource(&window,
                   "object frmImages: TImageWindow\n  OnCreate = FormCreate\n  object pnlOutside: TPanel\n"
                   "    object pnlInside: TPanel\n      object lblCaption: TLabel\n        OnClick = lblCaptionClick\n"
                   "      end\n    end\n  end\nend\n");
  EXPECT_EQ(ComponentToText(&window), kImageWindowForm);
}

}  // namespace
