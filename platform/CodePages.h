#pragma once

// Text in the code pages of the system the discs were authored on ("ANSI" and the double-byte
// Far East pages), turned into the UTF-8 the rest of the program uses.

#include <string>
#include <string_view>

namespace platform {

// Windows-1252 ("Western"): the five bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become the C1 control characters of the same number, as the system itself maps them, so every
// byte has a defined result.
std::string Windows1252ToUtf8(std::string_view bytes);

// Any Windows code page number (1250-1258, 874, 932, 936, 949, 950, 437, 850, ..., 65001 for
// UTF-8). Bytes the page cannot convert become U+FFFD each; an unknown code page is read as
// Windows-1252. Never fails.
std::string CodePageToUtf8(unsigned codePage, std::string_view bytes);

// Whether a code page uses lead bytes (a character may take two bytes).
bool IsDoubleByteCodePage(unsigned codePage);

// The code page of a font character set number (0 ANSI, 161 Greek, 204 Cyrillic, 238 Eastern
// European, 128 Japanese, ...); 0 when the character set names none (symbol fonts, OEM, default).
unsigned CharsetToCodePage(int charset);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace platform
