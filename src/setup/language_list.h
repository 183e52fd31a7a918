// The dialog's language list (control 1010): one item per language, its parameter the
// language's LanguageCode, its state image 2 (checked: install the language's files) or 1.
#pragma once
#include <cstdint>

#include "system/window.h"

// The letters of a language code as bytes, first letter in the lowest byte, the rest zero:
// "US" is 0x5355, "DE" is 0x4544.
using LanguageCode = uint32_t;
constexpr LanguageCode kLanguageUS = 0x5355;
constexpr LanguageCode kLanguageDE = 0x4544;

// The code of up to 4 leading bytes of an 8-bit text.
LanguageCode LanguageCodeOf(const char* letters);

// Appends an item with the text and code and checks it; returns its index or a negative value.
int AddLanguageItem(WindowHandle list, const char16_t* text, LanguageCode code);
// Index of the item with that code, or a negative value.
int FindLanguageItem(WindowHandle list, LanguageCode code);
// The code of an item; 0 when the item cannot be read.
LanguageCode LanguageItemCode(WindowHandle list, int index);

// The context menu's check operations (commands 136, 137, 138).
void CheckAllLanguages(WindowHandle list);
void UncheckAllLanguages(WindowHandle list);
void InvertLanguages(WindowHandle list);
