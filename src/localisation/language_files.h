// Language files of the payload: entries named prefix "_" code ".LNG", offered as items of
// the language list and installed only while their language is checked.
#pragma once
#include <cstdint>

#include "setup/language_list.h"
#include "system/window.h"

// Sets the language-file prefix of gSetupState from a ".LNG" entry's name when it is still
// empty: the base name cut to 31 characters, less its last 7 ("_", code, ".LNG") when longer
// than 7.
void SetLanguageFilePrefix(const char16_t* entryName);

// Adds at most one item to the language list from a language file's content (size bytes,
// UTF-16 after a byte order mark FF FE, else ANSI) and its entry name. The content is read
// within its size only.
void AddLanguageFileItem(WindowHandle dialog, const uint8_t* content, uint32_t size,
                         const char16_t* entryName);

// folder, "\" when needed, prefix, "_", the code's letters, ".LNG" (260 characters).
void LanguageFilePath(const char16_t* folder, LanguageCode code, char16_t* path);

// Unchecks every item other than US and DE whose language file is missing from folder.
void UncheckMissingLanguages(WindowHandle dialog, const char16_t* folder);
