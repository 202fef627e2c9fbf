#include "dibcontrols/cDIBFeatures.h"

#include "dibcontrols/cDIBControl.h"
#include "toolkit/Streaming.h"
#include "toolkit/TypInfo.h"

// ---------------------------------------------------------------------------------------------
// The registry. It lives on the heap and is never destroyed, so that no component destroyed
// late in the program's end finds it gone; UnregisterDIBFeatures empties it.

namespace {
std::vector<TDIBFeatureClass>& Registry() {
  static auto* registry = new std::vector<TDIBFeatureClass>();
  return *registry;
}
}  // namespace

void RegisterDIBFeatureClass(TDIBFeatureClass featureClass) { Registry().push_back(std::move(featureClass)); }

const TDIBFeatureClass* FindDIBFeature(const std::string& name) {
  RegisterStandardDIBFeatures();
  const auto& registry = Registry();
  for (auto it = registry.rbegin(); it != registry.rend(); ++it)
    if (SameTextAscii(it->Name, name)) return &*it;
  return nullptr;
}

namespace {
bool gStandardRegistered = false;
}

void RegisterStandardDIBFeatures() {
  if (gStandardRegistered) return;
  gStandardRegistered = true;
  // The stored parameters of a feature are its published properties, always written.
  if (!FindClassInfo("TDIBFeature")) RegisterClassInfo<TDIBFeature, TComponent>();
  RegisterClassInfo<TMoveableDIB, TDIBFeature>()
      .Boolean("AllowVertical", &TMoveableDIB::AllowVertical, &TMoveableDIB::SetAllowVertical)
      .Boolean("AllowHorizontal", &TMoveableDIB::AllowHorizontal, &TMoveableDIB::SetAllowHorizontal)
      .Integer("BorderSize", &TMoveableDIB::BorderSize, &TMoveableDIB::SetBorderSize)
      .Integer("SnapSize", &TMoveableDIB::SnapSize, &TMoveableDIB::SetSnapSize);
  RegisterClassInfo<THighlightDIB, TDIBFeature>().Integer("HighlightOpacity", &THighlightDIB::HighlightOpacity,
                                                          &THighlightDIB::SetHighlightOpacity);
  if (!FindClassInfo("TCollectionItem")) RegisterClassInfo<TCollectionItem, TPersistent>();
  RegisterClassInfo<TDIBFeatureItem, TCollectionItem>()
      .String("FeatureParameters", &TDIBFeatureItem::FeatureParameters, &TDIBFeatureItem::SetFeatureParameters)
      .Boolean("Enabled", &TDIBFeatureItem::Enabled, &TDIBFeatureItem::SetEnabled, true)
      .String("FeatureClassName", &TDIBFeatureItem::FeatureClassName, &TDIBFeatureItem::SetFeatureClassName);
  RegisterDIBFeature<TMoveableDIB>();
  RegisterDIBFeature<THighlightDIB>();
}

void UnregisterDIBFeatures() {
  Registry().clear();
  gStandardRegistered = false;
}

// ---------------------------------------------------------------------------------------------
// Moving

void TMoveableDIB::MoveBy(int dx, int dy) {
  TControl* c = Control();
  if (!c || (dx == 0 && dy == 0)) return;
  // Through the bounds, so that the control's Children move along.
  c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
}

void TMoveableDIB::HandleMessage(TMessage& message, bool&) {
  TControl* c = Control();
  if (!c) return;
  switch (message.Msg) {
    case WM_KEYDOWN:
      switch (message.WParam) {
        case VK_LEFT:
          if (FAllowHorizontal) MoveBy(-FSnapSize, 0);
          break;
        case VK_RIGHT:
          if (FAllowHorizontal) MoveBy(FSnapSize, 0);
          break;
        case VK_UP:
          if (FAllowVertical) MoveBy(0, -FSnapSize);
          break;
        case VK_DOWN:
          if (FAllowVertical) MoveBy(0, FSnapSize);
          break;
        default: break;
      }
      break;
    case WM_LBUTTONDOWN: {
      // The border test looks at the previous press, as it always has; what a border should
      // mean is open, and with the initial 0 every press starts a drag.
      const int b = FBorderSize;
      const bool refused = (FGrabPoint.X < b && FGrabPoint.X > c->Width() - b) ||
                           (FGrabPoint.Y < b && FGrabPoint.Y > c->Height() - b);
      FPressedAt = {c->Left(), c->Top()};
      if (refused) break;
      FDragging = true;
      FGrabPoint = {MouseX(message.LParam), MouseY(message.LParam)};
      break;
    }
    case WM_MOUSEMOVE:
      if (FDragging) {
        int dx = FAllowHorizontal ? MouseX(message.LParam) - FGrabPoint.X : 0;
        int dy = FAllowVertical ? MouseY(message.LParam) - FGrabPoint.Y : 0;
        if (FSnapSize > 1) {
          dx = dx / FSnapSize * FSnapSize;  // truncates toward zero
          dy = dy / FSnapSize * FSnapSize;
        }
        MoveBy(dx, dy);
      }
      break;
    case WM_LBUTTONUP: FDragging = false; break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Highlighting

bool THighlightDIB::CanServe(TControl* control) const { return dynamic_cast<TCustomDIBControl*>(control) != nullptr; }

void THighlightDIB::HandleMessage(TMessage& message, bool&) {
  auto* c = dynamic_cast<TCustomDIBControl*>(Control());
  if (!c) return;
  // The control's flags as they are before it handles the message.
  const bool focused = c->Focused(), hot = c->Hot(), capture = c->MouseCapture();
  switch (message.Msg) {
    case WM_SETFOCUS:
      if (!focused && !hot) {
        FSavedOpacity = c->Opacity();
        c->SetOpacity(FHighlightOpacity);
      }
      break;
    case WM_KILLFOCUS:
      if (focused && !hot) c->SetOpacity(FSavedOpacity);
      break;
    case WM_LBUTTONUP:
      // Let go first, so that the control's own release completes a pending leave.
      c->SetMouseCapture(false);
      break;
    case CM_MOUSEENTER:
      if (!focused && !capture) {
        FSavedOpacity = c->Opacity();
        c->SetOpacity(FHighlightOpacity);
      }
      break;
    case CM_MOUSELEAVE:
      if (!focused && !capture) c->SetOpacity(FSavedOpacity);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Feature items

TDIBFeatureItem::TDIBFeatureItem(TCollection* collection) : TCollectionItem(collection) {}

TDIBFeatureItem::~TDIBFeatureItem() { delete FFeature; }

TCustomDIBControl* TDIBFeatureItem::OwnerControl() const {
  auto* features = dynamic_cast<TDIBFeatures*>(Collection());
  return features ? features->Control() : nullptr;
}

void TDIBFeatureItem::SetFeatureClassName(const std::string& name) {
  const TDIBFeatureClass* found = name.empty() ? nullptr : FindDIBFeature(name);
  if (!name.empty() && !found) throw EFeatureError(name + " has not been registered");
  delete FFeature;
  FFeature = nullptr;
  FFeatureClassName = name;
  if (!found) return;
  TCustomDIBControl* control = OwnerControl();
  FFeature = found->Create(control);
  FFeature->SetControl(control);
}

std::string TDIBFeatureItem::GetDisplayName() const {
  return FFeature ? FFeature->DisplayName() : std::string("DIB feature");
}

void TDIBFeatureItem::DeclareStoredData(TFiler& filer) {
  TCollectionItem::DeclareStoredData(filer);
  filer.DefineBinaryProperty(
      "DIBFeatureParameters",
      [this](TStream& stream) {
        // Only the bytes are kept here; they become a feature when the control has loaded.
        FParameterData.resize(static_cast<size_t>(stream.Remaining()));
        if (!FParameterData.empty()) stream.ReadBuffer(FParameterData.data(), static_cast<int64_t>(FParameterData.size()));
        FHasParameterData = !FParameterData.empty();
      },
      [this](TStream& stream) {
        TWriter writer(stream);
        writer.WriteString(FFeatureClassName);
        writer.WriteRootComponent(FFeature);
      },
      FFeature != nullptr);
}

void TDIBFeatureItem::ApplyParameters() {
  if (!FHasParameterData) return;
  TBytesStream stream(FParameterData);
  TReader reader(stream);
  SetFeatureClassName(reader.ReadString());
  if (FFeature) reader.ReadRootComponent(FFeature);
}

void TDIBFeatureItem::DispatchMessage(TMessage& message, bool& handled) {
  if (FEnabled && FFeature) FFeature->HandleMessage(message, handled);
}

TDIBFeatures::TDIBFeatures(TCustomDIBControl* control)
    : TOwnedCollection(control, ItemFactory<TDIBFeatureItem>(), "TDIBFeatureItem"), FControl(control) {
  RegisterStandardDIBFeatures();
}

void TDIBFeatures::ApplyAllParameters() {
  for (int i = 0; i < Count(); ++i) Items(i)->ApplyParameters();
}

void TDIBFeatures::DispatchMessage(TMessage& message, bool& handled) {
  for (int i = 0; i < Count() && !handled; ++i) Items(i)->DispatchMessage(message, handled);
}

// ---------------------------------------------------------------------------------------------
// Children

void TControlItem::SetControl(TControl* value) {
  if (!value) throw EFeatureError("You cannot set Control to nil");
  if (value == FControl) return;
  if (TCollection* list = Collection())
    for (int i = 0; i < list->Count(); ++i)
      if (list->Items(i) != this && static_cast<TControlItem*>(list->Items(i))->FControl == value)
        throw EFeatureError("Control already exists in list.");
  FControl = value;
}

std::string TControlItem::GetDisplayName() const {
  if (FControl) return FControl->Name().empty() ? std::string(FControl->ClassName()) : FControl->Name();
  return TCollectionItem::GetDisplayName();
}

void TControlItem::CopyInto(TPersistent* dest) {
  if (auto* other = dynamic_cast<TControlItem*>(dest)) {
    other->SetControl(FControl);
    return;
  }
  TCollectionItem::CopyInto(dest);
}

TControlList::TControlList(TCustomDIBControl* control)
    : TOwnedCollection(control, ItemFactory<TControlItem>(), "TControlItem") {}
