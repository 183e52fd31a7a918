// The language list's items, found by their LanguageCode, and the check operations.
#include "setup/language_list.h"

#include "system/ui.h"

LanguageCode LanguageCodeOf(const char* letters) {
  LanguageCode code = 0;
  for (int i = 0; letters && i < 4 && letters[i]; ++i)
    code |= LanguageCode(uint8_t(letters[i])) << (8 * i);
  return code;
}

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
