// A control template read from arbitrary bytes into an image control: the counts, the wrapped
// pictures, the link records and the property records, whatever they claim. What loads is saved
// again and must load into a second control.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TForm form(nullptr);
  auto* container = new TDIBImageContainer(&form);
  container->SetParent(&form);
  auto* list = new TDIBImageList(&form);
  auto* image = new TDIBImage(&form);
  image->SetParent(container);
  image->SetDIBImageList(list);
  try {
    TBytesStream in(std::span<const uint8_t>(data, size));
    image->LoadTemplate(in);
  } catch (const Exception&) {
    return 0;
  }
  auto* copy = new TDIBImage(&form);
  copy->SetParent(container);
  copy->SetDIBImageList(list);
  TMemoryStream saved;
  image->SaveTemplate(saved);
  saved.SetPosition(0);
  copy->LoadTemplate(saved);
  return 0;
}
