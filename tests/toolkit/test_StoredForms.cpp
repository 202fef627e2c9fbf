#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/ComCtrls.h"
#include "toolkit/ControlsRegistration.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Streaming.h"

namespace {

// A window whose stored form names its handlers.
class TSampleForm : public TForm {
public:
  QV_CLASS(TSampleForm)
  using TForm::TForm;
  void lblTitleClick(TObject* sender) { Calls.push_back("click:" + std::string(static_cast<TComponent*>(sender)->Name())); }
  void pnlMouseDown(TObject*, TMouseButton, TShiftState, int x, int y) {
    Calls.push_back("down:" + std::to_string(x) + "," + std::to_string(y));
  }
  void tmrTick(TObject*) { Calls.push_back("tick"); }
  void FormCreate(TObject*) { Calls.push_back("create"); }
  std::vector<std::string> Calls;
};

void RegisterSampleForm() {
  RegisterControlClasses();
  RegisterClassInfo<TSampleForm, TForm>()
      .PublishedMethod("lblTitleClick", &TSampleForm::lblTitleClick)
      .PublishedMethod("pnlMouseDown", &TSampleForm::pnlMouseDown)
      .PublishedMethod("tmrTick", &TSampleForm::tmrTick)
      .PublishedMethod("FormCreate", &TSampleForm::FormCreate);
}

const char* const kSampleForm =
    "object frmSample: TSampleForm\n"
    "  Left = 10\n"
    "  Top = 20\n"
    "  BorderStyle = bsSingle\n"
    "  BorderIcons = [biSystemMenu]\n"
    "  Position = poScreenCenter\n"
    "  ClientWidth = 400\n"
    "  ClientHeight = 300\n"
    "  OnCreate = FormCreate\n"
    "  Caption = 'Sample'\n"
    "  object tmrFade: TTimer\n"
    "    Enabled = False\n"
    "    Interval = 50\n"
    "    OnTimer = tmrTick\n"
    "  end\n"
    "  object pnlOuter: TPanel\n"
    "    Left = 0\n"
    "    Top = 0\n"
    "    Width = 400\n"
    "    Height = 300\n"
    "    Align = alClient\n"
    "    TabOrder = 0\n"
    "    BevelOuter = bvNone\n"
    "    object pnlInner: TPanel\n"
    "      Left = 8\n"
    "      Top = 8\n"
    "      Width = 200\n"
    "      Height = 100\n"
    "      OnMouseDown = pnlMouseDown\n"
    "      TabOrder = 0\n"
    "      BevelInner = bvLowered\n"
    "      BorderWidth = 2\n"
    "      object lblTitle: TLabel\n"
    "        Left = 4\n"
    "        Top = 4\n"
    "        Width = 120\n"
    "        Height = 17\n"
    "        Font.Charset = 1\n"
    "        Font.Color = 255\n"
    "        Font.Height = -16\n"
    "        Font.Name = 'Arial'\n"
    "        Font.Style = [fsBold, fsUnderline]\n"
    "        ParentFont = False\n"
    "        Hint = 'It''s the title'\n"
    "        ShowHint = True\n"
    "        ParentShowHint = False\n"
    "        OnClick = lblTitleClick\n"
    "        Alignment = taCenter\n"
    "        AutoSize = False\n"
    "        Transparent = True\n"
    "        Caption = '&Title'\n"
    "      end\n"
    "    end\n"
    "    object mmoNotes: TRichEdit\n"
    "      Left = 8\n"
    "      Top = 120\n"
    "      Width = 380\n"
    "      Height = 170\n"
    "      Color = 16777215\n"
    "      ParentColor = False\n"
    "      TabOrder = 1\n"
    "      Alignment = taCenter\n"
    "      ReadOnly = True\n"
    "      ScrollBars = ssVertical\n"
    "    end\n"
    "  end\n"
    "end\n";

TEST(StoredForms, AWindowWithNestedControlsWritesBackTheTextItWasReadFrom) {
  RegisterSampleForm();
  TSampleForm form(nullptr);
  ReadFormResource(&form, kSampleForm);
  EXPECT_EQ(ComponentToText(&form), kSampleForm);
}

TEST(StoredForms, TheRootOwnsEverythingAndNestingMakesTheParents) {
  RegisterSampleForm();
  TSampleForm form(nullptr);
  ReadFormResource(&form, kSampleForm);
  ASSERT_EQ(form.ComponentCount(), 5);
  auto* outer = dynamic_cast<TPanel*>(form.FindComponent("pnlOuter"));
  auto* inner = dynamic_cast<TPanel*>(form.FindComponent("pnlInner"));
  auto* label = dynamic_cast<TLabel*>(form.FindComponent("lblTitle"));
  auto* notes = dynamic_cast<TRichEdit*>(form.FindComponent("mmoNotes"));
  auto* timer = dynamic_cast<TTimer*>(form.FindComponent("tmrFade"));
  ASSERT_TRUE(outer && inner && label && notes && timer);
  EXPECT_EQ(outer->Parent(), &form);
  EXPECT_EQ(inner->Parent(), outer);
  EXPECT_EQ(label->Parent(), inner);
  EXPECT_EQ(notes->Parent(), outer);
  EXPECT_EQ(outer->IndexOfControl(inner), 0);
  EXPECT_EQ(outer->IndexOfControl(notes), 1);
  EXPECT_EQ(form.ControlCount(), 1) << "the timer is no control";
  EXPECT_EQ(form.ClientWidth(), 400);
  EXPECT_EQ(form.ClientHeight(), 300);
  EXPECT_EQ(outer->Width(), 400) << "aligned to the client area";
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_EQ(label->Font()->Style(), unsigned{fsBold | fsUnderline});
  EXPECT_FALSE(label->ParentFont());
  EXPECT_TRUE(label->ShowHint());
  EXPECT_EQ(notes->ParagraphAlignment(), TAlignment::taCenter);
  EXPECT_EQ(notes->ScrollBars(), TScrollStyle::ssVertical);
  EXPECT_FALSE(timer->Enabled());
  for (int i = 0; i < form.ComponentCount(); ++i)
    EXPECT_FALSE(form.Components(i)->HasState(csLoading | csReading)) << form.Components(i)->Name();
}

TEST(StoredForms, EventsCallTheRootsPublishedMethods) {
  RegisterSampleForm();
  TSampleForm form(nullptr);
  ReadFormResource(&form, kSampleForm);
  auto* label = dynamic_cast<TLabel*>(form.FindComponent("lblTitle"));
  auto* inner = dynamic_cast<TPanel*>(form.FindComponent("pnlInner"));
  auto* timer = dynamic_cast<TTimer*>(form.FindComponent("tmrFade"));
  ASSERT_TRUE(label && inner && timer);
  label->Click();
  inner->OnMouseDown(inner, TMouseButton::mbLeft, 0, 3, 4);
  timer->OnTimer()(timer);
  form.DoCreate();
  EXPECT_EQ(form.Calls, (std::vector<std::string>{"click:lblTitle", "down:3,4", "tick", "create"}));

  // A handler set in code has no method name: it is not written, and the others still are.
  label->OnClick = [](TObject*) {};
  const std::string text = ComponentToText(&form);
  EXPECT_EQ(text.find("OnClick"), std::string::npos);
  EXPECT_NE(text.find("OnTimer = tmrTick"), std::string::npos);

  // "nil" clears an event.
  ReadFormResource(&form, "object frmSample: TSampleForm\n  OnCreate = nil\nend\n");
  EXPECT_FALSE(form.OnCreate);
}

TEST(StoredForms, FreshControlsWriteOnlyWhatHasNoStoredDefault) {
  RegisterControlClasses();
  struct TCase {
    const char* Name;
    std::function<TComponent*(TForm*)> Make;
    const char* Text;
  };
  auto child = [](TControl* c, TForm* form) {
    c->SetParent(form);
    return c;
  };
  const TCase cases[] = {
      {"panel", [&](TForm* f) { return child(new TPanel(f), f); },
       "  object x: TPanel\n    Left = 0\n    Top = 0\n    Width = 185\n    Height = 41\n    TabOrder = %TAB%\n  end\n"},
      {"label", [&](TForm* f) { return child(new TLabel(f), f); },
       "  object x: TLabel\n    Left = 0\n    Top = 0\n    Width = 65\n    Height = 17\n  end\n"},
      {"rich edit", [&](TForm* f) { return child(new TRichEdit(f), f); },
       "  object x: TRichEdit\n    Left = 0\n    Top = 0\n    Width = 185\n    Height = 89\n    TabOrder = %TAB%\n  end\n"},
      {"timer", [](TForm* f) { return new TTimer(f); }, "  object x: TTimer\n  end\n"},
  };
  for (const TCase& c : cases) {
    TForm form(nullptr);
    form.SetName("f");
    TComponent* made = c.Make(&form);
    made->SetName("x");
    const std::string text = ComponentToText(&form);
    // The tab order is always written; its value is the window's business.
    std::string expected = c.Text;
    if (auto* w = dynamic_cast<TWinControl*>(made))
      expected.replace(expected.find("%TAB%"), 5, std::to_string(w->TabOrder()));
    const std::string head = "object f: TForm\n  Left = 0\n  Top = 0\n  ClientWidth = 0\n  ClientHeight = 0\n";
    EXPECT_EQ(text, head + expected + "end\n") << c.Name;
  }
}

TEST(StoredForms, DamagedOrWrongFormsFailWithTheirMessage) {
  RegisterSampleForm();
  struct TCase {
    const char* Text;
    const char* Message;
  } cases[] = {
      {"object f: TSampleForm\n  OnCreate = NoSuchMethod\nend\n", "Method NoSuchMethod not found in TSampleForm"},
      {"object f: TSampleForm\n  OnCreate = pnlMouseDown\nend\n",
       "Method pnlMouseDown of TSampleForm does not fit event OnCreate"},
      {"object f: TSampleForm\n  object p: TPanel\n    OnClick = Nope\n  end\nend\n", "Method Nope not found in TSampleForm"},
      {"object f: TSampleForm\n  BorderStyle = bsRound\nend\n", "Invalid property value"},
      {"object f: TSampleForm\n  BorderIcons = [biSystemMenu, biClose]\nend\n", "Invalid property value"},
      {"object f: TSampleForm\n  object p: TPanel\n    Font.Size = 3\n  end\nend\n", "Property Font.Size does not exist"},
      {"object f: TSampleForm\n  object p: TPanel\n  end\n", "'end' expected on line 4"},
      {"object f: TSampleForm\n  Caption = 'open\nend\n", "Unterminated string on line 2"},
      {"object f: TForm\nend\n", "Invalid stream format"},
      {"", "'object' expected on line 1"},
  };
  for (const TCase& c : cases) {
    TSampleForm form(nullptr);
    try {
      ReadFormResource(&form, c.Text);
      ADD_FAILURE() << c.Text;
    } catch (const Exception& e) {
      EXPECT_TRUE(dynamic_cast<const EReadError*>(&e) || dynamic_cast<const EParserError*>(&e)) << c.Text;
      EXPECT_EQ(e.Message(), c.Message) << c.Text;
    }
    EXPECT_EQ(form.ComponentCount(), 0) << "components a failed read created are freed: " << c.Text;
  }
}

TEST(StoredForms, AFailedReadKeepsTheComponentsTheFormAlreadyHad) {
  RegisterSampleForm();
  TSampleForm form(nullptr);
  auto* own = new TPanel(&form);
  own->SetName("pnlOuter");
  const std::string text = std::string(kSampleForm).replace(std::string(kSampleForm).find("lblTitleClick"), 13, "Missing");
  EXPECT_THROW(ReadFormResource(&form, text), EReadError);
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components(0), own);
  EXPECT_EQ(own->ControlCount(), 0);
  // Neither the form nor the panel it read into stays half loaded.
  EXPECT_FALSE(form.HasState(csLoading | csReading));
  EXPECT_FALSE(own->HasState(csLoading | csReading));
}

TEST(StoredForms, AlignedChildrenArePlacedOnceLoadingEndsAndHiddenOnesKeepTheirStoredBounds) {
  RegisterSampleForm();
  TSampleForm form(nullptr);
  // The hidden panel's Align comes before its Visible and before the sibling that narrows the
  // client area; the filling panel was stored with bounds that no longer fit.
  ReadFormResource(&form,
                   "object frmSample: TSampleForm\n  ClientWidth = 300\n  ClientHeight = 200\n"
                   "  object pnlHost: TPanel\n    Left = 0\n    Top = 0\n    Width = 300\n    Height = 200\n"
                   "    Align = alClient\n    BevelOuter = bvNone\n"
                   "    object pnlHidden: TPanel\n      Left = 0\n      Top = 0\n      Width = 120\n      Height = 90\n"
                   "      Align = alClient\n      Visible = False\n    end\n"
                   "    object pnlSide: TPanel\n      Left = 250\n      Top = 0\n      Width = 50\n      Height = 200\n"
                   "      Align = alRight\n    end\n"
                   "    object pnlFill: TPanel\n      Left = 0\n      Top = 0\n      Width = 10\n      Height = 10\n"
                   "      Align = alClient\n    end\n"
                   "  end\nend\n");
  auto bounds = [&](const char* name) { return dynamic_cast<TControl*>(form.FindComponent(name))->BoundsRect(); };
  EXPECT_EQ(bounds("pnlHost"), Bounds(0, 0, 300, 200));
  EXPECT_EQ(bounds("pnlSide"), Bounds(250, 0, 50, 200));
  EXPECT_EQ(bounds("pnlFill"), Bounds(0, 0, 250, 200));
  EXPECT_EQ(bounds("pnlHidden"), Bounds(0, 0, 120, 90));
  // Shown, it takes its place like any aligned child.
  dynamic_cast<TControl*>(form.FindComponent("pnlHidden"))->Show();
  EXPECT_EQ(bounds("pnlHidden"), Bounds(0, 0, 250, 200));
}

}  // namespace
