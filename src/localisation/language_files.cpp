// Language files: the item a language file offers, and the path of a language's file.
#include "localisation/language_files.h"

#include "payload/entry_rules.h"
#include "payload/text_rules.h"
#include "system/text.h"

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace

LanguageCode LanguageCodeOf(const char* letters) {
  LanguageCode code = 0;
  for (int i = 0; letters && i < 4 && letters[i]; ++i) code |= LanguageCode(uint8_t(letters[i])) << (8 * i);
  return code;
}

int ReadLanguageFileItem(const uint8_t* content, uint32_t size, const char16_t* entryName, char16_t* text,
                         LanguageCode* code) {
  if (!content || !entryName) return -1;
  // At most 259 characters, never past the content's size; both ways terminate the text.
  if (IsUtf16LanguageFile(content, size)) {
    DecodeUtf16LanguageFile(content, size, text, kLanguageFileReadCharacters + 1);
  } else {
    char narrow[kLanguageFileReadCharacters + 1] = {};
    for (uint32_t i = 0; i < size && i < kLanguageFileReadCharacters && content[i]; ++i) narrow[i] = char(content[i]);
    AnsiToWide(narrow, text, kLanguageFileReadCharacters + 1);
  }
  int start = 0, end = 0;
  if (!FindLanguageName(text, &start, &end)) return -1;
  text[end] = 0;
  // The code: the two characters right before ".LNG". A name with fewer than two
  // characters there ("X.LNG") names no language.
  char16_t letters[3];
  if (!LanguageItemLetters(entryName, letters)) return -1;
  char narrow[3] = {};
  WideToAnsi(letters, narrow, 3);
  narrow[0] = UpperAscii(narrow[0]);
  narrow[1] = UpperAscii(narrow[1]);
  *code = LanguageCodeOf(narrow);
  return *code != 0 ? start : -1;
}

void LanguageFilePath(const char16_t* folder, const char16_t* prefix, LanguageCode code, char16_t* path) {
  CopyText(folder, path, kPathCapacity);
  EnsureTrailingSeparator(path, kPathCapacity);
  AppendText(prefix ? prefix : u"", path, kPathCapacity);
  AppendText(u"_", path, kPathCapacity);
  char letters[5] = {char(code & 0xFF), char((code >> 8) & 0xFF), char((code >> 16) & 0xFF),
                     char((code >> 24) & 0xFF), 0};
  AppendAnsiAsWide(letters, path, kPathCapacity);
  AppendText(u".LNG", path, kPathCapacity);
}
