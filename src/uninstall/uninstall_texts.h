// The uninstaller's texts in US English, German and Italian, chosen by the system's default
// language as the setup chooses its tables. Each text may hold "%s", where the group name
// (the product's name in the Start Menu and in the list of installed programs) goes.
#pragma once
#include "localisation/language_table.h"

enum UninstallTextId {
  kUninstallTextCaption = 1,    // caption of every message box
  kUninstallTextQuestion = 2,   // asked first, Yes/No
  kUninstallTextDone = 3,
  kUninstallTextInUse = 4,      // followed by the names of the files in use, one per line
  kUninstallTextRetry = 5,      // after those names
  kUninstallTextDamaged = 6,    // the removal record cannot be read: nothing is removed
};

extern const LanguageTable kUninstallUsTable[];
extern const LanguageTable kUninstallDeTable[];
extern const LanguageTable kUninstallItTable[];

// The table for the system's default language ("DE" and "IT" ids as for the setup, else US).
const LanguageTable* ChooseUninstallTable();

// The text with its "%s" replaced by the group (8-bit), as wide text of at most capacity - 1
// characters; appended to what `out` holds.
void AppendUninstallText(const LanguageTable* table, int id, const char* group, char16_t* out, int capacity);
