// Picture decoders on arbitrary bytes: the first byte picks JPEG, bitmap or icon.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "toolkit/Jpeg.h"
#include "toolkit/Pictures.h"
#include "toolkit/qt/QtPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (RegisterQtPictureFormats(), true);
  (void)registered;
  if (size < 1) return 0;
  static const char* kinds[] = {"jpg", "bmp", "ico"};
  const std::string fileName = std::string("/tmp/qv_fuzz_picture.") + kinds[data[0] % 3];
  // The loader reads files; write the case to one so the whole path (extension, open) runs.
  if (FILE* f = std::fopen(fileName.c_str(), "wb")) {
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }
  try {
    TPicture picture;
    picture.LoadFromFile(fileName);
  } catch (const Exception&) {
  }
  return 0;
}
