// The two text readers of the launcher: INI files (through a file, as the profile reader reads
// them) and rich text for the notes panel.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/Profile.h"
#include "toolkit/ComCtrls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TRichDocument document;
  if (ParseRichText(text, document, TAlignment::taLeftJustify)) (void)document.Text();

  static const std::string file = "/tmp/qv-fuzz-ini-" + std::to_string(getpid()) + ".ini";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  for (const char* section : {"Item1", "Main", "Version Checking", ""})
    for (const char* key : {"MainFile", "Path", "File", ""})
      (void)platform::GetPrivateProfileString(section, key, "d", file);
  return 0;
}
