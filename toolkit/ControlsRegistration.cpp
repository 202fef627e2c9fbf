#include "toolkit/ControlsRegistration.h"

#include <mutex>

#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/TypInfo.h"

namespace {

const std::vector<std::string> kAlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const std::vector<std::string> kAlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const std::vector<std::string> kBevelNames = {"bvNone", "bvLowered", "bvRaised"};

// The colour of a control is stored only when it does not follow its parent's.
template <class T>
void PublishColor(TClassRegistrar<T>& r, std::optional<int64_t> def) {
  r.Integer("Color", &TControl::Color, &TControl::SetColor, def).StoredWhen([](T* c) { return !c->ParentColor(); });
}

void RegisterGraphics() {
  RegisterClassInfo<TFont, TPersistent>()
      .Integer("Charset", &TFont::Charset, &TFont::SetCharset)
      .Integer("Color", &TFont::Color, &TFont::SetColor)
      .Integer("Height", &TFont::Height, &TFont::SetHeight)
      .String("Name", &TFont::Name, &TFont::SetName)
      .Set("Style", &TFont::Style, &TFont::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
}

void RegisterControls() {
  auto control = RegisterClassInfo<TControl, TComponent>();
  control.Integer("Left", &TControl::Left, &TControl::SetLeft)
      .Integer("Top", &TControl::Top, &TControl::SetTop)
      .Integer("Width", &TControl::Width, &TControl::SetWidth)
      .Integer("Height", &TControl::Height, &TControl::SetHeight)
      .Enum("Align", &TControl::Align, &TControl::SetAlign, kAlignNames, 0)
      .Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true)
      .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
  PublishColor(control, std::nullopt);
  control.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true)
      .Object("Font", &TControl::Font)
      .StoredWhen([](TControl* c) { return !c->ParentFont(); })
      .Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .String("Hint", &TControl::Hint, &TControl::SetHint)
      .StoredWhen([](TControl* c) { return !c->Hint().empty(); })
      .Boolean("ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
      .StoredWhen([](TControl* c) { return !c->ParentShowHint(); })
      .Boolean("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true)
      .Event("OnClick", &TControl::OnClick)
      .Event("OnDblClick", &TControl::OnDblClick)
      .Event("OnMouseDown", &TControl::OnMouseDown)
      .Event("OnMouseUp", &TControl::OnMouseUp)
      .Event("OnMouseMove", &TControl::OnMouseMove);
  RegisterClassInfo<TGraphicControl, TControl>();
  RegisterClassInfo<TWinControl, TControl>()
      .Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
      .Boolean("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D, true)
      .Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
      .StoredWhen([](TWinControl* c) { return c->Parent() != nullptr; });
  RegisterClassInfo<TCustomControl, TWinControl>();
}

void RegisterCaption(auto registrar) {
  registrar.String("Caption", &TControl::Caption, &TControl::SetCaption)
      .StoredWhen([](auto* c) { return !c->Caption().empty(); });
}

void RegisterPanels() {
  auto panel = RegisterClassInfo<TCustomPanel, TCustomControl>();
  panel.Enum("Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment, kAlignmentNames,
             static_cast<int64_t>(TAlignment::taCenter))
      .Enum("BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner, kBevelNames, 0)
      .Enum("BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, kBevelNames,
            static_cast<int64_t>(TBevelCut::bvRaised))
      .Integer("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth, 1)
      .Integer("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth, 0);
  PublishColor(panel, clBtnFace);
  panel.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
  RegisterCaption(panel);
  RegisterClassInfo<TPanel, TCustomPanel>();

  RegisterClassInfo<TTimer, TComponent>()
      .Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
      .Integer("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000)
      .Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
}

void RegisterLabels() {
  auto label = RegisterClassInfo<TCustomLabel, TGraphicControl>();
  label.Enum("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment, kAlignmentNames, 0)
      .Boolean("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize, true)
      .Enum("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"}, 0)
      .Boolean("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar, true)
      .Boolean("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent, false)
      .Boolean("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap, false);
  RegisterCaption(label);
  RegisterClassInfo<TLabel, TCustomLabel>();

  RegisterClassInfo<TRichEdit, TWinControl>()
      .Enum("Alignment", &TRichEdit::ParagraphAlignment, &TRichEdit::SetParagraphAlignment, kAlignmentNames, 0)
      .Boolean("ReadOnly", &TRichEdit::ReadOnly, &TRichEdit::SetReadOnly, false)
      .Enum("ScrollBars", &TRichEdit::ScrollBars, &TRichEdit::SetScrollBars,
            {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, 0);
}

void RegisterForms() {
  auto form = RegisterClassInfo<TCustomForm, TWinControl>();
  // A form's size is stored as its client size; its outer size follows from the frame.
  form.Integer("Width", &TControl::Width, &TControl::SetWidth).StoredWhen([](TCustomForm*) { return false; })
      .Integer("Height", &TControl::Height, &TControl::SetHeight).StoredWhen([](TCustomForm*) { return false; })
      .Boolean("Visible", &TControl::Visible, &TControl::SetVisible, false);
  PublishColor(form, clBtnFace);
  form.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
      .Enum("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
            {"bsNone", "bsSingle", "bsSizeable", "bsDialog"}, static_cast<int64_t>(TBorderStyle::bsSizeable))
      .Set("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
           {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}, biSystemMenu | biMinimize | biMaximize)
      .Enum("Position", &TCustomForm::Position, &TCustomForm::SetPosition, {"poDesigned", "poScreenCenter"}, 0)
      .Integer("ClientWidth", &TControl::ClientWidth,
               [](TCustomForm* f, int width) { f->SetClientSize(width, f->ClientHeight()); })
      .Integer("ClientHeight", &TControl::ClientHeight,
               [](TCustomForm* f, int height) { f->SetClientSize(f->ClientWidth(), height); })
      .Event("OnCreate", &TCustomForm::OnCreate)
      .Event("OnDestroy", &TCustomForm::OnDestroy);
  RegisterCaption(form);
  RegisterClassInfo<TForm, TCustomForm>();
}

}  // namespace

void RegisterControlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterGraphics();
    RegisterControls();
    RegisterPanels();
    RegisterLabels();
    RegisterForms();
  });
}
