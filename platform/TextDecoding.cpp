#include "platform/TextDecoding.h"

#include "platform/CodePages.h"
#include "platform/Utf.h"

namespace platform {

namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

std::string Utf16ToUtf8Bytes(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  std::string out = Utf16ToUtf8(units);
  // Half a code unit is no character: it shows as one replacement rather than vanishing.
  if (bytes.size() % 2 != 0) AppendUtf8(out, 0xFFFD);
  return out;
}

}  // namespace

TTextEncoding DetectTextEncoding(std::string_view bytes) {
  if (StartsWith(bytes, "\xFF\xFE")) return TTextEncoding::Utf16Le;
  if (StartsWith(bytes, "\xFE\xFF")) return TTextEncoding::Utf16Be;
  const bool marked = StartsWith(bytes, "\xEF\xBB\xBF");
  if (!IsValidUtf8(marked ? bytes.substr(3) : bytes)) return TTextEncoding::Windows1252;
  return marked ? TTextEncoding::Utf8WithMark : TTextEncoding::Utf8;
}

std::string DecodeText(std::string_view bytes, TTextEncoding* found) {
  const TTextEncoding encoding = DetectTextEncoding(bytes);
  if (found) *found = encoding;
  switch (encoding) {
    case TTextEncoding::Utf16Le: return Utf16ToUtf8Bytes(bytes.substr(2), false);
    case TTextEncoding::Utf16Be: return Utf16ToUtf8Bytes(bytes.substr(2), true);
    case TTextEncoding::Utf8WithMark: return std::string(bytes.substr(3));
    case TTextEncoding::Utf8: return std::string(bytes);
    case TTextEncoding::Windows1252: break;
  }
  // A UTF-8 mark in front of bytes that are not UTF-8 is still a mark, not three letters.
  return Windows1252ToUtf8(StartsWith(bytes, "\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
}

std::string DecodeText(std::string&& bytes, TTextEncoding* found) {
  TTextEncoding encoding = DetectTextEncoding(bytes);
  if (found) *found = encoding;
  if (encoding == TTextEncoding::Utf8) return std::move(bytes);
  return DecodeText(std::string_view(bytes), found);
}

const char* TextEncodingName(TTextEncoding encoding) {
  switch (encoding) {
    case TTextEncoding::Utf8: return "UTF-8";
    case TTextEncoding::Utf8WithMark: return "UTF-8 with byte-order mark";
    case TTextEncoding::Utf16Le: return "UTF-16LE";
    case TTextEncoding::Utf16Be: return "UTF-16BE";
    case TTextEncoding::Windows1252: return "Windows-1252";
  }
  return "?";
}

std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < text.size(); ++n) DecodeUtf8(text, pos);
  return text.substr(0, pos);
}

}  // namespace platform
