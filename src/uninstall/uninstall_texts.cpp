// The uninstaller's texts (see uninstall_texts.h). 8-bit texts in Windows-1252.
#include "uninstall/uninstall_texts.h"

#include "localisation/string_tables.h"
#include "system/platform.h"
#include "system/text.h"

const LanguageTable kUninstallUsTable[] = {
    {0, "US"},
    {kUninstallTextCaption, "%s Uninstall"},
    {kUninstallTextQuestion, "Remove %s and all of its components?"},
    {kUninstallTextDone, "%s has been removed."},
    {kUninstallTextInUse, "%s could not be removed completely. These files are in use:"},
    {kUninstallTextRetry, "Close them and run the uninstaller again."},
    {kUninstallTextDamaged, "The uninstall information of this program is damaged. Nothing has been removed."},
    {0, nullptr},
};

const LanguageTable kUninstallDeTable[] = {
    {0, "DE"},
    {kUninstallTextCaption, "%s Uninstall"},
    {kUninstallTextQuestion, "%s und alle zugeh\xF6rigen Komponenten entfernen?"},
    {kUninstallTextDone, "%s wurde entfernt."},
    {kUninstallTextInUse, "%s konnte nicht vollst\xE4ndig entfernt werden. Diese Dateien werden verwendet:"},
    {kUninstallTextRetry, "Schlie\xDF" "en Sie sie und starten Sie die Deinstallation erneut."},
    {kUninstallTextDamaged, "Die Deinstallationsdaten dieses Programms sind besch\xE4" "digt. Es wurde nichts entfernt."},
    {0, nullptr},
};

const LanguageTable kUninstallItTable[] = {
    {0, "IT"},
    {kUninstallTextCaption, "%s Uninstall"},
    {kUninstallTextQuestion, "Rimuovere %s e tutti i suoi componenti?"},
    {kUninstallTextDone, "%s \xE8 stato rimosso."},
    {kUninstallTextInUse, "Non \xE8 stato possibile rimuovere completamente %s. Questi file sono in uso:"},
    {kUninstallTextRetry, "Chiuderli ed eseguire di nuovo la disinstallazione."},
    {kUninstallTextDamaged, "I dati di disinstallazione di questo programma sono danneggiati. Non \xE8 stato rimosso nulla."},
    {0, nullptr},
};

const LanguageTable* ChooseUninstallTable() {
  static const LanguageTable* const kTables[] = {kUninstallUsTable, kUninstallDeTable, kUninstallItTable, nullptr};
  return TableForLanguageCode(kTables, LanguageCodeForLanguageId(PlatformGetSystemDefaultLangId()));
}

void AppendUninstallText(const LanguageTable* table, int id, const char* group, char16_t* out, int capacity) {
  char16_t text[kLinkCapacity];
  LookupText(table, id, text, kLinkCapacity);
  int start = 0;
  for (int i = 0; text[i]; ++i) {
    if (text[i] != u'%' || text[i + 1] != u's') continue;
    text[i] = 0;
    AppendText(text, out, capacity);
    AppendAnsiAsWide(group, out, capacity);
    start = i + 2;
    break;
  }
  AppendText(text + start, out, capacity);
}
