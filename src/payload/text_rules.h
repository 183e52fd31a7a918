// The setup program's reading of the payload's small text entries, written once for the
// setup program and for setuptool pack: the installation description (".INF"), the product
// description ("FILE_ID.DIZ") and the display name in a language file. Pure functions: no
// platform calls, no allocation; the caller decodes a language file's bytes.
#pragma once
#include <cstdint>

// The keys of the installation description and the widest value the setup keeps of each
// (its field in the setup's record holds one character more, the terminator).
struct SetupInfoKey {
  const char* key;
  int width;
};
constexpr int kSetupInfoKeyCount = 6;
// ID 3, Group 31, Class 31, Exe 31, Publisher 63 (optional: the publisher the list of
// installed programs shows), Folders 7 (optional: "Keep" makes the setup reproduce the
// product's folders).
extern const SetupInfoKey kSetupInfoKeys[kSetupInfoKeyCount];

// The value of a key in an installation description: only the first occurrence of the key's
// text counts (case-sensitive, even inside a longer word), and only when "=" follows it at
// once; the value runs up to the next line end. Returns the value's start and its full
// length (before any cut to the key's width), or nullptr when the key counts as absent.
const char* FindSetupInfoValue(const char* text, const char* key, int* length);

// The keys read by a stricter rule: only at the start of a line (the text's start, or after
// "\r" or "\n"), so that "URL" is never found inside "HelpURL" nor inside another key's
// value. A description without them reads exactly as it did before they existed.
constexpr int kSetupInfoLineKeyCount = 2;
// URL 255 (the product's web page), HelpURL 255 (its help or support page); both optional.
extern const SetupInfoKey kSetupInfoLineKeys[kSetupInfoLineKeyCount];

// The value of a line key: the first line that starts with the key's text followed at once
// by "=" (case-sensitive); the value runs up to the line's end. Returns the value's start and
// its full length, or nullptr when no line gives the key.
const char* FindSetupInfoLineValue(const char* text, const char* key, int* length);

// Product name and version from the first line of a product description: the first 259
// bytes up to a line end, "(" or "[", less one space before that end, split at " Version ".
// The product keeps at most 127 characters, the version 31; the lengths are those before
// the cut.
struct DescriptionLine {
  char product[128];
  char version[32];
  int productLength;
  int versionLength;
};
void ReadDescriptionLine(const char* text, DescriptionLine* line);

// A language file's display name in its decoded text (at most 259 characters): after the
// first "Language" and the one character after it (normally "="), up to "(", "=", a line
// end or the end. False when there is none; the text must start with "[".
bool FindLanguageName(const char16_t* text, int* start, int* end);

// Whether a language file's bytes are UTF-16 little-endian: they start with the byte order
// mark FF FE. Otherwise they are 8-bit text in the ANSI code page.
bool IsUtf16LanguageFile(const uint8_t* content, uint32_t size);
// Decodes at most capacity - 1 UTF-16 characters behind the byte order mark, never past size.
void DecodeUtf16LanguageFile(const uint8_t* content, uint32_t size, char16_t* text, int capacity);

// Characters of a language file's content the setup reads.
constexpr int kLanguageFileReadCharacters = 259;
// A language file of this many bytes or fewer is ignored.
constexpr uint32_t kShortestIgnoredLanguageFile = 7;
