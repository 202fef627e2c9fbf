#pragma once

// Text files as disc authors save them: the plain-text editor of the disc's home system writes
// its "ANSI" code page (Windows-1252 in the west) or UTF-16 with a byte-order mark; editors
// elsewhere write UTF-8, with or without a mark. Everything is turned into UTF-8 here, once per
// file, before any line or value is looked at.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class TTextEncoding { Utf8, Utf8WithMark, Utf16Le, Utf16Be, Windows1252 };

// The encoding of a whole file's bytes: a UTF-16 byte-order mark decides for UTF-16; otherwise
// the bytes (after a UTF-8 mark, if any) are UTF-8 when they are valid UTF-8 and Windows-1252
// when they are not.
TTextEncoding DetectTextEncoding(std::string_view bytes);

// The bytes as UTF-8 without any byte-order mark. Never fails: an odd last byte of UTF-16 and
// unpaired surrogates become U+FFFD; every Windows-1252 byte has a character.
std::string DecodeText(std::string_view bytes, TTextEncoding* found = nullptr);
// The same, taking over the bytes when they are UTF-8 already instead of copying them.
std::string DecodeText(std::string&& bytes, TTextEncoding* found = nullptr);

// Short names for reports ("UTF-8", "UTF-16LE", "Windows-1252", ...).
const char* TextEncodingName(TTextEncoding encoding);

// The first `count` characters of UTF-8 text: never cuts a character in half. Bytes that are not
// UTF-8 count as one character each.
std::string FirstCharacters(const std::string& text, std::size_t count);

}  // namespace platform
