// The component reader and the text form on arbitrary bytes, with the image list classes and the
// toolkit's controls and forms known.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dib/cDIBImageList.h"
#include "toolkit/ControlsRegistration.h"
#include "toolkit/Streaming.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegisterDIBImageListClasses();
  RegisterControlClasses();
  try {
    TBytesStream in(std::span<const uint8_t>(data, size));
    std::unique_ptr<TComponent> made(ReadComponentFromStream(in, nullptr));
  } catch (const Exception&) {
  }
  try {
    TDIBImageList list(nullptr);
    TBytesStream in(std::span<const uint8_t>(data, size));
    TMemoryStream binary;
    ObjectTextToBinary(in, binary);
    binary.SetPosition(0);
    TMemoryStream text;
    ObjectBinaryToText(binary, text);
  } catch (const Exception&) {
  }
  return 0;
}
