// The two text readers of the launcher: INI files (through a file, as the profile reader reads
// them) and rich text for the notes panel.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/Profile.h"
#include "toolkit/ComCtrls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TRichDocument document;
  if (ParseRichText(text, document, TAlignment::taLeftJustify)) (void)document.Text();

  // One file per fuzzing process, so that parallel jobs do not read each other's input.
  static const std::string file =
      (std::filesystem::temp_directory_path() / ("qv-fuzz-ini-" + std::to_string(std::random_device{}()) + ".ini")).string();
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  for (const char* section : {"Item1", "Main", "Version Checking", ""})
    for (const char* key : {"MainFile", "Path", "File", ""})
      (void)platform::GetPrivateProfileString(section, key, "d", file);
  return 0;
}
