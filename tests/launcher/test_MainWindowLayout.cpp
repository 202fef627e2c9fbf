// The main window's stored layout, compiled into the program: read back, it must give the window's
// controls where they belong, with their look and handlers, and write back the text it came from.
// A damaged layout fails here, not at a user's start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/untMain.h"
#include "toolkit/Streaming.h"

namespace {

struct TControlRow {
  const char* Name;
  const char* Class;
  const char* Parent;
  TRect Bounds;
  TAlign Align;
  bool Visible;
};

// Control, class, parent, bounds within the parent's client area, alignment, visibility.
const TControlRow kControls[] = {
    {"pnlFrontCover", "TPanel", "frmMain", Bounds(0, 0, 360, 473), TAlign::alLeft, true},
    {"DIBImageContainer1", "TDIBImageContainer", "pnlFrontCover", Bounds(1, 1, 358, 471), TAlign::alClient, true},
    {"oImageBackCover", "TDIBImage", "DIBImageContainer1", Bounds(1, 1, 340, 469), TAlign::alClient, false},
    {"oImageFrontCover", "TDIBImage", "DIBImageContainer1", Bounds(1, 1, 340, 469), TAlign::alClient, true},
    {"Panel2", "TPanel", "DIBImageContainer1", Bounds(341, 1, 16, 469), TAlign::alRight, true},
    {"pnlInsideCover", "TPanel", "frmMain", Bounds(360, 0, 340, 473), TAlign::alLeft, true},
    {"oInsideContainer", "TDIBImageContainer", "pnlInsideCover", Bounds(1, 1, 338, 471), TAlign::alLeft, true},
    {"oImageInsideCover", "TDIBImage", "oInsideContainer", Bounds(1, 1, 336, 469), TAlign::alClient, true},
    {"mmoNotes", "TRichEdit", "oInsideContainer", Bounds(6, 325, 326, 138), TAlign::alNone, true},
};

std::string EventName(TObject* control, const char* event) {
  const TPropInfo* prop = GetPropInfo(control, event);
  return prop ? prop->GetStr(control) : "(not published)";
}

TEST(MainWindowLayout, EveryControlHasItsClassParentAndBounds) {
  TfrmMain window(nullptr);
  EXPECT_EQ(window.Name(), "frmMain");
  // The list, the controls, and nothing else: menu lines come from the configuration.
  EXPECT_EQ(window.ComponentCount(), static_cast<int>(std::size(kControls)) + 1);
  for (const TControlRow& row : kControls) {
    SCOPED_TRACE(row.Name);
    auto* control = dynamic_cast<TControl*>(window.FindComponent(row.Name));
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->ClassName(), row.Class);
    ASSERT_NE(control->Parent(), nullptr);
    EXPECT_EQ(control->Parent()->Name(), row.Parent);
    EXPECT_EQ(control->BoundsRect(), row.Bounds);
    EXPECT_EQ(control->Align(), row.Align);
    EXPECT_EQ(control->Visible(), row.Visible);
    EXPECT_EQ(control->Owner(), &window);
  }
  auto* list = dynamic_cast<TDIBImageList*>(window.FindComponent("DIBImageList1"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->DIBImages()->Count(), 0);
  // The fields are the controls of the layout.
  EXPECT_EQ(window.DIBImageList1, list);
  EXPECT_EQ(window.pnlFrontCover, window.FindComponent("pnlFrontCover"));
  EXPECT_EQ(window.mmoNotes, window.FindComponent("mmoNotes"));
  EXPECT_EQ(window.oImageBackCover, window.FindComponent("oImageBackCover"));
  EXPECT_EQ(window.oInsideContainer, window.FindComponent("oInsideContainer"));
  // The back cover lies under the front cover: it comes first in its container.
  EXPECT_LT(window.DIBImageContainer1->IndexOfControl(window.oImageBackCover),
            window.DIBImageContainer1->IndexOfControl(window.oImageFrontCover));
}

TEST(MainWindowLayout, TheWindowHasItsFrameColourFontsAndHandlers) {
  TfrmMain window(nullptr);
  EXPECT_EQ(window.ClientWidth(), 700);
  EXPECT_EQ(window.ClientHeight(), 473);
  EXPECT_EQ(window.BorderStyle(), TBorderStyle::bsSingle);
  EXPECT_EQ(window.BorderIcons(), TBorderIcons{biSystemMenu | biMinimize});
  EXPECT_EQ(window.Position(), TPosition::poScreenCenter);
  EXPECT_EQ(window.Color(), clBtnFace);
  EXPECT_TRUE(window.ShowHint());
  EXPECT_EQ(window.Font()->Name(), "MS Sans Serif");
  EXPECT_EQ(window.Font()->Height(), -11);
  EXPECT_EQ(window.Font()->Color(), clWindowText);
  EXPECT_EQ(window.Font()->Charset(), DEFAULT_CHARSET);
  EXPECT_EQ(window.Font()->Style(), TFontStyles{0});
  EXPECT_EQ(EventName(&window, "OnCreate"), "FormCreate");
  EXPECT_EQ(EventName(&window, "OnDestroy"), "FormDestroy");
  EXPECT_EQ(EventName(window.oImageFrontCover, "OnDblClick"), "oImageBackCoverDblClick");
  EXPECT_EQ(EventName(window.oImageBackCover, "OnDblClick"), "oImageBackCoverDblClick");
  EXPECT_EQ(EventName(window.oImageInsideCover, "OnDblClick"), "");
}

TEST(MainWindowLayout, PanelsContainersAndImagesHaveTheirLook) {
  TfrmMain window(nullptr);
  for (TPanel* panel : {window.pnlFrontCover, window.pnlInsideCover, window.Panel2}) {
    SCOPED_TRACE(panel->Name());
    EXPECT_EQ(panel->Color(), clBlack);
    EXPECT_EQ(panel->BevelInner(), TBevelCut::bvRaised);
    EXPECT_EQ(panel->BevelOuter(), TBevelCut::bvNone);
  }
  EXPECT_TRUE(window.Panel2->ParentColor());
  for (TDIBImageContainer* container : {window.DIBImageContainer1, window.oInsideContainer}) {
    SCOPED_TRACE(container->Name());
    EXPECT_EQ(container->Color(), clBlack);
    EXPECT_EQ(container->IndexImage()->DIBIndex(), -1);
    EXPECT_EQ(container->TileMethod(), TTileMethod::tmCenter);
  }
  for (TDIBImage* image : {window.oImageBackCover, window.oImageFrontCover, window.oImageInsideCover}) {
    SCOPED_TRACE(image->Name());
    EXPECT_EQ(image->Opacity(), 255);
    EXPECT_EQ(image->Scale(), 100.0);
    EXPECT_EQ(image->Angle(), 0);
    EXPECT_FALSE(image->AutoSize());
    EXPECT_FALSE(image->Center());
    EXPECT_FALSE(image->Stretch());
    EXPECT_EQ(image->DIBImageList(), window.DIBImageList1);
    EXPECT_EQ(image->IndexMain()->DIBImageList(), window.DIBImageList1);
    EXPECT_EQ(image->IndexMain()->DIBIndex(), -1);
    EXPECT_EQ(image->Hint(), "");
    EXPECT_TRUE(image->ShowHint()) << "hints are on for the whole window";
  }
  TRichEdit* notes = window.mmoNotes;
  EXPECT_EQ(notes->ParagraphAlignment(), TAlignment::taCenter);
  EXPECT_EQ(notes->Color(), clBtnFace);
  EXPECT_FALSE(notes->ParentFont());
  EXPECT_EQ(notes->Font()->Name(), "Tahoma");
  EXPECT_EQ(notes->Font()->Height(), -13);
  EXPECT_EQ(notes->Font()->Color(), clWindowText);
  EXPECT_EQ(notes->Font()->Style(), TFontStyles{0});
  EXPECT_TRUE(notes->ReadOnly());
  EXPECT_EQ(notes->ScrollBars(), TScrollStyle::ssVertical);
}

TEST(MainWindowLayout, TheStoredTextIsWhatTheWindowWritesBack) {
  TfrmMain window(nullptr);
  EXPECT_EQ(ComponentToText(&window), kMainWindowLayout);
  // The picture controls' properties without a stored default are written for every image.
  const std::string text(kMainWindowLayout);
  for (const char* image : {"oImageBackCover", "oImageFrontCover", "oImageInsideCover"}) {
    const size_t start = text.find(std::string("object ") + image + ": TDIBImage");
    ASSERT_NE(start, std::string::npos) << image;
    const std::string body = text.substr(start, text.find("\n      end", start) - start);
    for (const char* line : {"Angle = 0", "AutoSize = False", "Center = False", "Opacity = 255", "Scale = 100.0",
                             "Stretch = False", "DIBTabOrder = -1", "Accelerator = #0", "IndexMain.DIBIndex = -1",
                             "DIBImageList = DIBImageList1"})
      EXPECT_NE(body.find(line), std::string::npos) << image << ": " << line;
  }
}

}  // namespace
