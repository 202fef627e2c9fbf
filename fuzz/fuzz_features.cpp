// A DIB control's feature items read from arbitrary bytes and applied at loading completion: the
// stored parameter blocks of features, whatever they hold.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/Streaming.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TForm form(nullptr);
  auto* container = new TDIBImageContainer(&form);
  container->SetParent(&form);
  auto* image = new TDIBImage(&form);
  image->SetParent(container);
  try {
    image->BeginLoading();
    TBytesStream in(std::span<const uint8_t>(data, size));
    TReader reader(in);
    while (in.Remaining() > 0) reader.ReadProperties(image->DIBFeatures()->Add());
  } catch (const Exception&) {
  }
  try {
    image->Loaded();
  } catch (const Exception&) {
  }
  return 0;
}
