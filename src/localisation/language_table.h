// Built-in string tables: the layout shared by the setup flow and the system layer.
//
// A LanguageTable is a static array of entries. The head entry has id 0 and the table's
// language code ("US", "DE" or "IT") as its text; the text entries follow; an entry with
// id 0 and no text ends the table. Texts are 8-bit, Windows-1252. Text ids double as the
// ids of the dialog controls that show them.
#pragma once
#include <cstdint>

struct LanguageTableEntry {
  int16_t id;
  const char* text;
};
using LanguageTable = LanguageTableEntry;  // a table is addressed by its head entry
