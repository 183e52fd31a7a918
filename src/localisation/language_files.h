// Language files of the payload: entries named prefix "_" code ".LNG", each offering a
// language (its display name and code) that the user may choose to install. How a file's
// name and content are read is one of the payload rules (payload/), which setuptool pack
// predicts from too; these functions only read and compose, they touch no window.
#pragma once
#include <cstdint>

#include "localisation/language_code.h"

// Capacity of the text a language file is read into (its first 259 characters).
constexpr int kLanguageTextCapacity = 260;

// The language a file offers, from its content (size bytes, UTF-16 after a byte order mark
// FF FE, else ANSI; read within its size only) and its entry name (the code: the two letters
// before ".LNG", upper-cased). The content is decoded into `text` (kLanguageTextCapacity
// characters) and the display name ends there; returns where it starts, or -1 when the file
// offers no language.
int ReadLanguageFileItem(const uint8_t* content, uint32_t size, const char16_t* entryName, char16_t* text,
                         LanguageCode* code);

// folder, "\" when needed, prefix, "_", the code's letters, ".LNG" (260 characters).
void LanguageFilePath(const char16_t* folder, const char16_t* prefix, LanguageCode code, char16_t* path);
