// Choice of the interface language, text lookup and the filling of a dialog's texts.
#include "localisation/string_tables.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  return *a == *b;
}

constexpr int kDialogTextCapacity = 511;

}  // namespace

const char* LanguageCodeForLanguageId(uint16_t languageId) {
  switch (languageId) {
    case 1031:  // German: Germany, Switzerland, Austria, Luxembourg, Liechtenstein
    case 2055:
    case 3079:
    case 4103:
    case 5127:
      return "DE";
    case 1040:  // Italian: Italy, Switzerland
    case 2064:
      return "IT";
    default:
      return "US";
  }
}

const LanguageTable* TableForLanguageCode(const LanguageTable* const* tables, const char* code) {
  for (int i = 0; code && tables[i]; ++i)
    if (EqualIgnoringCase(tables[i][0].text, code)) return tables[i];
  return tables[0];
}

void LookupText(const LanguageTable* table, int id, char16_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  buffer[0] = 0;
  if (!table) return;
  const LanguageTable* entry = table + 1;
  while (entry->id != 0 && entry->id != id) ++entry;
  if (!entry->text) return;
  AnsiToWide(entry->text, buffer, capacity - 1);  // at most capacity - 2 characters
  // "\t" becomes a tab; the rest of the text moves left by one.
  int out = 0;
  for (int in = 0; buffer[in]; ++in, ++out) {
    if (buffer[in] == u'\\' && buffer[in + 1] == u't') {
      buffer[out] = u'\t';
      ++in;
    } else {
      buffer[out] = buffer[in];
    }
  }
  buffer[out] = 0;
}

void ApplyLanguageTable(WindowHandle window, const LanguageTable* table, const int16_t* ids) {
  // A list whose first id is 0 is empty: nothing behind its end is read.
  if (!window || !ids || ids[0] == 0) return;
  char16_t text[kDialogTextCapacity];
  LookupText(table, ids[0], text, kDialogTextCapacity);
  WindowSetText(window, text);
  for (const int16_t* id = ids + 1; *id; ++id) {
    LookupText(table, *id, text, kDialogTextCapacity);
    DialogSetItemText(window, *id, text);
  }
}
