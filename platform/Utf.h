#pragma once

// Text conversions between the UTF-16 that Windows stores and the UTF-8 that the rest of the
// program uses as its narrow ("ANSI") character set.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Appends the UTF-8 form of one code point; code points that cannot be encoded become U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// Converts UTF-16 code units to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Appends the UTF-16 form of one code point (a surrogate pair beyond U+FFFF).
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Converts UTF-8 to UTF-16; each malformed byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Converts little-endian UTF-16 bytes to UTF-8; an odd trailing byte is dropped.
std::string Utf16LeBytesToUtf8(const std::uint8_t* bytes, std::size_t size);

// Decodes one UTF-8 sequence at text[pos], advancing pos; malformed input yields U+FFFD and
// advances by one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);

// ASCII-only case folding, as used for environment names (registry names fold every letter:
// see RegistryHive).
char FoldAscii(char c);
std::string FoldAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace platform
