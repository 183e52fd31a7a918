// Language files: the prefix, the item a language file offers, and the update rule that
// unchecks languages an existing installation does not have.
#include "localisation/language_files.h"

#include "setup/setup_state.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kLanguageList = 1010;
constexpr int kReadCharacters = 259;  // of a language file's content

// Index of the first occurrence of word in text, or -1.
int Find(const char16_t* text, const char16_t* word) {
  for (int i = 0; text[i]; ++i) {
    int k = 0;
    while (word[k] && text[i + k] == word[k]) ++k;
    if (!word[k]) return i;
  }
  return -1;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace

void SetLanguageFilePrefix(const char16_t* entryName) {
  if (!gSetupState || gSetupState->languageFilePrefix[0]) return;
  char16_t* prefix = gSetupState->languageFilePrefix;
  CopyText(entryName + FileNameOffset(entryName), prefix, 32);
  int length = TextLength(prefix);
  if (length > 7) prefix[length - 7] = 0;
}

void AddLanguageFileItem(WindowHandle dialog, const uint8_t* content, uint32_t size,
                         const char16_t* entryName) {
  if (!content || !entryName) return;
  // 1. Decode at most 259 characters, never past the content's size.
  char16_t text[kReadCharacters + 1] = {};
  if (size >= 2 && content[0] == 0xFF && content[1] == 0xFE) {
    uint32_t units = (size - 2) / 2;
    if (units > kReadCharacters) units = kReadCharacters;
    for (uint32_t i = 0; i < units; ++i)
      text[i] = char16_t(content[2 + 2 * i] | (content[3 + 2 * i] << 8));
  } else {
    char narrow[kReadCharacters + 1] = {};
    for (uint32_t i = 0; i < size && i < kReadCharacters && content[i]; ++i)
      narrow[i] = char(content[i]);
    AnsiToWide(narrow, text, kReadCharacters + 1);
  }
  // 2-3. A "[" line first, then the display name after "Language" and one more character.
  if (text[0] != u'[') return;
  int at = Find(text, u"Language");
  if (at < 0) return;
  int start = at + 8;
  if (text[start]) ++start;  // the "=" (or whatever stands there)
  int end = start;
  while (text[end] && text[end] != u'(' && text[end] != u'=' && text[end] != u'\r' &&
         text[end] != u'\n')
    ++end;
  if (end == start) return;
  text[end] = 0;
  // 4. The code: the two characters right before ".LNG". A name with fewer than two
  // characters there ("X.LNG") names no language and adds nothing.
  int length = TextLength(entryName);
  if (length < 6) return;
  char16_t letters[3] = {entryName[length - 6], entryName[length - 5], 0};
  char narrow[3] = {};
  WideToAnsi(letters, narrow, 3);
  narrow[0] = UpperAscii(narrow[0]);
  narrow[1] = UpperAscii(narrow[1]);
  LanguageCode code = LanguageCodeOf(narrow);
  if (code == 0) return;
  // 5. Each code once.
  WindowHandle list = DialogItem(dialog, kLanguageList);
  if (FindLanguageItem(list, code) >= 0) return;
  AddLanguageItem(list, text + start, code);
}

void LanguageFilePath(const char16_t* folder, LanguageCode code, char16_t* path) {
  CopyText(folder, path, kPathCapacity);
  EnsureTrailingSeparator(path, kPathCapacity);
  AppendText(gSetupState ? gSetupState->languageFilePrefix : u"", path, kPathCapacity);
  AppendText(u"_", path, kPathCapacity);
  char letters[5] = {char(code & 0xFF), char((code >> 8) & 0xFF), char((code >> 16) & 0xFF),
                     char((code >> 24) & 0xFF), 0};
  AppendAnsiAsWide(letters, path, kPathCapacity);
  AppendText(u".LNG", path, kPathCapacity);
}

void UncheckMissingLanguages(WindowHandle dialog, const char16_t* folder) {
  WindowHandle list = DialogItem(dialog, kLanguageList);
  int count = ListItemCount(list);
  for (int i = 0; i < count; ++i) {
    LanguageCode code = LanguageItemCode(list, i);
    if (code == kLanguageUS || code == kLanguageDE) continue;
    char16_t path[kPathCapacity];
    LanguageFilePath(folder, code, path);
    if (!FileExists(path)) ListSetStateImage(list, i, kStateUnchecked);
  }
}
