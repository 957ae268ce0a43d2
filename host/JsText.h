#pragma once
// Text between Duktape and UTF-16.
//
// Duktape keeps an ECMAScript string as CESU-8: each UTF-16 code unit, a
// surrogate too, as its own one-to-three-byte sequence (text that entered as
// UTF-8 may also hold four-byte sequences). Reading accepts both and never
// fails (anything else becomes U+FFFD); writing gives CESU-8, so a string
// keeps its length in code units.

#include <string>
#include <string_view>

std::u16string JsToUtf16(std::string_view inText);
std::string Utf16ToJs(std::u16string_view inText);
// UTF-8 for the outside world (standard output, messages).
std::string JsToUtf8(std::string_view inText);
