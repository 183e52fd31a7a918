// LanguageCode: the letters of a language code as bytes, first letter in the lowest byte, the
// rest zero ("US" is 0x5355, "DE" is 0x4544). It names a language list item and the language
// files and language-bound entries of that language.
#pragma once
#include <cstdint>

using LanguageCode = uint32_t;
constexpr LanguageCode kLanguageUS = 0x5355;
constexpr LanguageCode kLanguageDE = 0x4544;

// The code of up to 4 leading bytes of an 8-bit text.
LanguageCode LanguageCodeOf(const char* letters);
