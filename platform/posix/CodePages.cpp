// The code pages the disc's home system names by number, converted through iconv.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/SystemHooks.h"
#include "platform/Utf.h"

namespace platform {

namespace {

// The name iconv knows a Windows code page by, or empty for pages it is not asked about.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 874: return "CP874";
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 866: return "CP866";
    case 10000: return "MACINTOSH";
    case 20866: return "KOI8-R";
    case 28591: return "ISO-8859-1";
    default: break;
  }
  if (codePage >= 1250 && codePage <= 1258) return "CP" + std::to_string(codePage);
  return std::string();
}

// Converts through iconv, replacing each byte it cannot take by U+FFFD. Answers false when iconv
// does not know the page at all.
bool ConvertWithIconv(const std::string& name, std::string_view bytes, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(bytes.size() * 2);
  char buffer[1024];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement character for its first byte, then on.
    AppendUtf8(out, 0xFFFD);
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, static_cast<size_t>(outPtr - buffer));
  iconv_close(cd);
  return true;
}

}  // namespace

bool SystemCodePageToUtf8(unsigned codePage, std::string_view bytes, std::string& out) {
  const std::string name = IconvName(codePage);
  return !name.empty() && ConvertWithIconv(name, bytes, out);
}

}  // namespace platform
