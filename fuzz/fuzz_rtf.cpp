// The rich text reader of the notes panel, on any bytes: it must end, in bounded memory, with
// well-formed UTF-8 in every run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/CodePages.h"
#include "toolkit/RichText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TRichDocument document;
  if (!ParseRichText(text, document, TAlignment::taLeftJustify)) return 0;
  for (const TParagraph& paragraph : document.Paragraphs)
    for (const TTextRun& run : paragraph.Runs)
      if (!platform::IsValidUtf8(run.Text) || !platform::IsValidUtf8(run.FontName)) std::abort();
  return 0;
}
