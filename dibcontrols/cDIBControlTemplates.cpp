// Control templates: a control's linked pictures and chosen property values in one stream, so that
// one control's look can be given to another.
//
// Layout, all integers 32-bit little-endian:
//   GUID (16 bytes), picture count P, link record count L,
//   P pictures, each a TDIBWrapper in the component stream format, in order of first use,
//   L link records: property name, display name of the picture's item, picture number,
//   property count N, N property records: name, data size, data.
// Names and texts are a length and that many bytes. Ordinal values take 4 bytes, floating point
// values 10 (extended precision), texts a length and their bytes.
#include <algorithm>

#include "dibcontrols/DIBControlsRegistration.h"
#include "dibcontrols/cDIBControl.h"
#include "platform/Guid.h"
#include "platform/Utf.h"
#include "toolkit/Extended.h"
#include "toolkit/Streaming.h"
#include "toolkit/TypInfo.h"

namespace {

// Fewest bytes each part can take, to check a count against what the stream still holds before
// acting on it: a component is at least its class name, its name and two end markers; a link
// record three integers; a property record two.
constexpr int64_t kMinPictureSize = 4;
constexpr int64_t kMinLinkRecordSize = 12;
constexpr int64_t kMinPropertyRecordSize = 8;
constexpr int64_t kOrdinalSize = 4;

[[noreturn]] void EndedEarly() { throw EReadError("Stream read error"); }

void RequireBytes(TStream& stream, int64_t count) {
  if (count > stream.Remaining()) EndedEarly();
}

bool IsTemplatable(TTypeKind kind) {
  switch (kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkChar:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkFloat:
    case TTypeKind::tkString:
    case TTypeKind::tkSet:
    case TTypeKind::tkWChar:
    case TTypeKind::tkLString:
    case TTypeKind::tkWString:
    case TTypeKind::tkInt64: return true;
    default: return false;
  }
}

bool IsText(const TPropInfo& prop) {
  return prop.IsString() || prop.Kind == TTypeKind::tkChar || prop.Kind == TTypeKind::tkWChar;
}

void WriteBytes(TStream& stream, const TMemoryStream& bytes) {
  if (!bytes.Bytes().empty()) stream.WriteBuffer(bytes.Bytes().data(), static_cast<int64_t>(bytes.Bytes().size()));
}

void WriteText(TStream& stream, const std::string& text) {
  stream.WriteLE<uint32_t>(static_cast<uint32_t>(text.size()));
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

// The length is checked against the stream before anything is allocated for it.
std::string ReadText(TStream& stream) {
  const auto length = stream.ReadLE<uint32_t>();
  RequireBytes(stream, length);
  std::string text(length, '\0');
  stream.ReadBuffer(text.data(), length);
  return text;
}

std::string TextValue(const TPropInfo& prop, TObject* instance) {
  if (prop.IsString()) return prop.GetStr(instance);
  std::string text;
  platform::AppendUtf8(text, static_cast<char32_t>(prop.GetOrd(instance)));
  return text;
}

// Answers false, writing nothing, for a property it cannot read.
bool WritePropertyData(TStream& stream, const TPropInfo& prop, TObject* instance) {
  if (IsText(prop)) {
    if (prop.IsString() ? !prop.GetStr : !prop.GetOrd) return false;
    const std::string text = TextValue(prop, instance);
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(text.size() + 4));
    WriteText(stream, text);
  } else if (prop.Kind == TTypeKind::tkFloat) {
    if (!prop.GetFloat) return false;
    uint8_t extended[ExtendedSize];
    DoubleToExtended(prop.GetFloat(instance), extended);
    stream.WriteLE<uint32_t>(ExtendedSize);
    stream.WriteBuffer(extended, ExtendedSize);
  } else {
    if (!prop.GetOrd) return false;
    // Only the low 32 bits of a 64-bit value have room.
    stream.WriteLE<uint32_t>(kOrdinalSize);
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(prop.GetOrd(instance)));
  }
  return true;
}

bool CanAssign(const TPropInfo& prop) {
  if (prop.IsString()) return static_cast<bool>(prop.SetStr);
  if (prop.Kind == TTypeKind::tkFloat) return static_cast<bool>(prop.SetFloat);
  return static_cast<bool>(prop.SetOrd);
}

// Reads the value by the property's kind and assigns it. A value the property cannot take (an
// enumeration's ordinal beyond its names) is read and dropped.
void ReadPropertyData(TStream& stream, const TPropInfo& prop, TObject* instance) {
  if (prop.IsString()) {
    prop.SetStr(instance, ReadText(stream));
  } else if (IsText(prop)) {
    const std::string text = ReadText(stream);
    size_t pos = 0;
    prop.SetOrd(instance, text.empty() ? 0 : static_cast<int64_t>(platform::DecodeUtf8(text, pos)));
  } else if (prop.Kind == TTypeKind::tkFloat) {
    uint8_t extended[ExtendedSize];
    stream.ReadBuffer(extended, ExtendedSize);
    prop.SetFloat(instance, ExtendedToDouble(extended));
  } else {
    int64_t value = stream.ReadLE<int32_t>();
    const auto names = static_cast<int64_t>(prop.Names.size());
    if (prop.Kind == TTypeKind::tkEnumeration && names > 0 && (value < 0 || value >= names)) return;
    if (prop.Kind == TTypeKind::tkSet && names > 0 && names < 32)
      value &= (int64_t{1} << names) - 1;
    prop.SetOrd(instance, value);
  }
}

void WriteWrappedDIB(TStream& stream, TMemoryDIB* dib) {
  TDIBWrapper wrapper(nullptr);
  wrapper.SetDIB(dib);
  TWriter writer(stream);
  writer.WriteComponent(&wrapper);
}

void ReadWrappedDIB(TStream& stream, TMemoryDIB* dib) {
  TDIBWrapper wrapper(nullptr);
  wrapper.SetDIB(dib);
  TReader reader(stream);
  reader.ReadComponent(&wrapper);
}

}  // namespace

void TCustomDIBControl::RegisterTemplateProperty(const std::string& name) {
  RegisterDIBControlClasses();
  const TPropInfo* prop = GetPropInfo(this, name);
  if (!prop)
    throw EDIBControlError(std::string("Class ") + ClassName() + " is trying to register " + name +
                           " as a template property, and that property does not exist.");
  if (!IsTemplatable(prop->Kind)) throw EDIBControlError("Attempting to template an invalid property type.");
  FTemplateProperties.push_back(name);
}

std::string TCustomDIBControl::LinkPropertyName(const TDIBImageLink* link) const {
  const TClassInfo* info = GetClassInfo(this);
  if (!info || !link) return {};
  const std::vector<const TPropInfo*> props = info->Properties();
  for (auto it = props.rbegin(); it != props.rend(); ++it) {
    const TPropInfo& prop = **it;
    if (prop.Kind == TTypeKind::tkClass && prop.GetObj && prop.GetObj(const_cast<TCustomDIBControl*>(this)) == link)
      return prop.Name;
  }
  return {};
}

void TCustomDIBControl::SaveTemplate(TStream& stream) {
  if (!FDIBImageList) return;
  RegisterDIBControlClasses();
  platform::TGuid guid;
  if (!platform::CreateGuid(guid)) throw EDIBControlError("Could not create a GUID for your new template.");

  TDIBImages* images = FDIBImageList->DIBImages();
  TMemoryStream pictures, links, properties;
  std::vector<int> used;  // item indices, in order of first use
  int32_t linkCount = 0;
  for (int i = 0; i < FImageLinks.Count(); ++i) {
    const TDIBImageLink* link = FImageLinks.Items(i);
    const std::string property = LinkPropertyName(link);
    const int index = link->DIBIndex();
    if (property.empty() || !FDIBImageList->IndexValid(index)) continue;
    auto number = std::find(used.begin(), used.end(), index) - used.begin();
    if (number == static_cast<ptrdiff_t>(used.size())) {
      used.push_back(index);
      WriteWrappedDIB(pictures, images->Items(index)->DIB());
    }
    WriteText(links, property);
    WriteText(links, images->Items(index)->GetDisplayName());
    links.WriteLE<int32_t>(static_cast<int32_t>(number));
    ++linkCount;
  }
  int32_t propertyCount = 0;
  for (const std::string& name : FTemplateProperties) {
    const TPropInfo* prop = GetPropInfo(this, name);
    if (!prop || !IsTemplatable(prop->Kind)) continue;
    TMemoryStream data;
    if (!WritePropertyData(data, *prop, this)) continue;
    WriteText(properties, name);
    WriteBytes(properties, data);
    ++propertyCount;
  }

  uint8_t guidBytes[platform::GuidSize];
  platform::GuidToBytes(guid, guidBytes);
  stream.WriteBuffer(guidBytes, sizeof guidBytes);
  stream.WriteLE<int32_t>(static_cast<int32_t>(used.size()));
  stream.WriteLE<int32_t>(linkCount);
  WriteBytes(stream, pictures);
  WriteBytes(stream, links);
  stream.WriteLE<int32_t>(propertyCount);
  WriteBytes(stream, properties);
}

void TCustomDIBControl::LoadTemplate(TStream& stream) {
  if (!FDIBImageList) throw EDIBControlError("No DIB image list has been assigned.");
  RegisterDIBControlClasses();
  uint8_t guidBytes[platform::GuidSize];
  stream.ReadBuffer(guidBytes, sizeof guidBytes);
  const auto pictureCount = stream.ReadLE<int32_t>();
  const auto linkCount = stream.ReadLE<int32_t>();
  // Counts beyond what the stream can still hold end the read before any picture is added.
  RequireBytes(stream, std::max(pictureCount, 0) * kMinPictureSize + std::max(linkCount, 0) * kMinLinkRecordSize + 4);
  const std::string name = platform::GuidToString(platform::GuidFromBytes(guidBytes));
  TDIBImages* images = FDIBImageList->DIBImages();

  for (int32_t i = 0; i < pictureCount; ++i) ReadWrappedDIB(stream, images->FindOrAddTemplate(name, i)->DIB());

  for (int32_t i = 0; i < linkCount; ++i) {
    const std::string property = ReadText(stream);
    const std::string displayName = ReadText(stream);
    const auto picture = stream.ReadLE<int32_t>();
    const TPropInfo* prop = GetPropInfo(this, property);
    auto* link = prop && prop->Kind == TTypeKind::tkClass && prop->GetObj ? dynamic_cast<TDIBImageLink*>(prop->GetObj(this))
                                                                         : nullptr;
    if (!link || picture < 0 || picture >= pictureCount) continue;
    TDIBImagesItem* item = images->FindOrAddTemplate(name, picture);
    link->SetDIBIndex(item->Index());
    if (!displayName.empty()) item->SetDisplayName(displayName);
  }

  const auto propertyCount = stream.ReadLE<int32_t>();
  RequireBytes(stream, std::max(propertyCount, 0) * kMinPropertyRecordSize);
  for (int32_t i = 0; i < propertyCount; ++i) {
    const std::string property = ReadText(stream);
    const auto size = stream.ReadLE<uint32_t>();
    const TPropInfo* prop = GetPropInfo(this, property);
    if (prop && IsTemplatable(prop->Kind) && CanAssign(*prop)) {
      ReadPropertyData(stream, *prop, this);
      continue;
    }
    // A property this control does not have (or cannot take) is passed over by its size.
    RequireBytes(stream, size);
    stream.Seek(size, TSeekOrigin::soCurrent);
  }
  Loaded();
}
