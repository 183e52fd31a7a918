// The dialog's language list (control 1010): one item per language, its parameter the
// language's LanguageCode, its state image 2 (checked: install the language's files) or 1.
#pragma once
#include <cstdint>

#include "localisation/language_code.h"
#include "system/window.h"

// Appends an item with the text and code and checks it; returns its index or a negative value.
int AddLanguageItem(WindowHandle list, const char16_t* text, LanguageCode code);
// Index of the item with that code, or a negative value.
int FindLanguageItem(WindowHandle list, LanguageCode code);
// The code of an item; 0 when the item cannot be read.
LanguageCode LanguageItemCode(WindowHandle list, int index);

// Adds at most one item from a language file's content (size bytes) and its entry name: the
// language it offers (localisation/language_files.h), once for each code.
void AddLanguageFileItem(WindowHandle list, const uint8_t* content, uint32_t size, const char16_t* entryName);
// Unchecks every item other than US and DE whose language file (folder, prefix, code) is
// missing: on an update, languages not installed there start unchecked.
void UncheckMissingLanguages(WindowHandle list, const char16_t* folder, const char16_t* prefix);
// The codes of the unchecked items, at most `capacity`; returns how many.
int UncheckedLanguages(WindowHandle list, LanguageCode* codes, int capacity);

// The context menu's check operations (commands 136, 137, 138).
void CheckAllLanguages(WindowHandle list);
void UncheckAllLanguages(WindowHandle list);
void InvertLanguages(WindowHandle list);
