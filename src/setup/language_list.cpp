// The language list's items, found by their LanguageCode, and the check operations.
#include "setup/language_list.h"

#include "localisation/language_files.h"
#include "system/text.h"
#include "system/ui.h"

int AddLanguageItem(WindowHandle list, const char16_t* text, LanguageCode code) {
  int index = ListInsertItem(list, text, intptr_t(code));
  if (index >= 0) ListSetStateImage(list, index, kStateChecked);
  return index;
}

int FindLanguageItem(WindowHandle list, LanguageCode code) {
  return ListFindItemByParam(list, intptr_t(code));
}

LanguageCode LanguageItemCode(WindowHandle list, int index) {
  intptr_t param = 0;
  return ListGetItemParam(list, index, &param) ? LanguageCode(param) : 0;
}

void CheckAllLanguages(WindowHandle list) { ListSetStateImage(list, -1, kStateChecked); }

void UncheckAllLanguages(WindowHandle list) { ListSetStateImage(list, -1, kStateUnchecked); }

void InvertLanguages(WindowHandle list) {
  void* cursor = ShowWaitCursor();
  int count = ListItemCount(list);
  for (int i = 0; i < count; ++i) {
    bool unchecked = ListGetStateImage(list, i) == kStateUnchecked;
    ListSetStateImage(list, i, unchecked ? kStateChecked : kStateUnchecked);
  }
  RestoreCursor(cursor);
}

void AddLanguageFileItem(WindowHandle list, const uint8_t* content, uint32_t size, const char16_t* entryName) {
  char16_t text[kLanguageTextCapacity];
  LanguageCode code = 0;
  const int start = ReadLanguageFileItem(content, size, entryName, text, &code);
  if (start >= 0 && FindLanguageItem(list, code) < 0) AddLanguageItem(list, text + start, code);
}

void UncheckMissingLanguages(WindowHandle list, const char16_t* folder, const char16_t* prefix) {
  const int count = ListItemCount(list);
  for (int i = 0; i < count; ++i) {
    const LanguageCode code = LanguageItemCode(list, i);
    if (code == kLanguageUS || code == kLanguageDE) continue;
    char16_t path[kPathCapacity];
    LanguageFilePath(folder, prefix, code, path);
    if (!FileExists(path)) ListSetStateImage(list, i, kStateUnchecked);
  }
}

int UncheckedLanguages(WindowHandle list, LanguageCode* codes, int capacity) {
  int found = 0;
  const int count = ListItemCount(list);
  for (int i = 0; i < count && found < capacity; ++i)
    if (ListGetStateImage(list, i) == kStateUnchecked) codes[found++] = LanguageItemCode(list, i);
  return found;
}
