// Language files: the prefix, the item a language file offers, and the update rule that
// unchecks languages an existing installation does not have. How a file's name and content
// are read is one of the payload rules (payload/), which setuptool pack predicts from too.
#include "localisation/language_files.h"

#include "payload/entry_rules.h"
#include "payload/text_rules.h"
#include "resources/resource_ids.h"

#include "setup/setup_state.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kLanguageList = KORV_CONTROL_LANGUAGES;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace

void SetLanguageFilePrefix(const char16_t* entryName) {
  if (!gSetupState || gSetupState->languageFilePrefix[0]) return;
  LanguageFilePrefixOf(entryName, gSetupState->languageFilePrefix);
}

void AddLanguageFileItem(WindowHandle dialog, const uint8_t* content, uint32_t size,
                         const char16_t* entryName) {
  if (!content || !entryName) return;
  // At most 259 characters, never past the content's size.
  char16_t text[kLanguageFileReadCharacters + 1] = {};
  if (IsUtf16LanguageFile(content, size)) {
    DecodeUtf16LanguageFile(content, size, text, kLanguageFileReadCharacters + 1);
  } else {
    char narrow[kLanguageFileReadCharacters + 1] = {};
    for (uint32_t i = 0; i < size && i < kLanguageFileReadCharacters && content[i]; ++i)
      narrow[i] = char(content[i]);
    AnsiToWide(narrow, text, kLanguageFileReadCharacters + 1);
  }
  int start = 0, end = 0;
  if (!FindLanguageName(text, &start, &end)) return;
  text[end] = 0;
  // The code: the two characters right before ".LNG". A name with fewer than two
  // characters there ("X.LNG") names no language and adds nothing.
  char16_t letters[3];
  if (!LanguageItemLetters(entryName, letters)) return;
  char narrow[3] = {};
  WideToAnsi(letters, narrow, 3);
  narrow[0] = UpperAscii(narrow[0]);
  narrow[1] = UpperAscii(narrow[1]);
  LanguageCode code = LanguageCodeOf(narrow);
  if (code == 0) return;
  // Each code once.
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
