// The built-in string tables. Every table holds the same ids in the same order; its head
// entry carries the language code and an entry with id 0 and no text ends it. The texts are
// Windows-1252 bytes: accented letters are written as \x escapes (a literal is split after
// each escape so that no following letter is read as part of it).
#include "localisation/string_tables.h"

const LanguageTable kUsTable[] = {
    {0, "US"},
    {1000, "Setup"},
    {99, "&OK"},
    {2, "Cancel"},
    {1010, "Language"},
    {1031, "Destination folder"},
    {1041, "Put entry to Start Menu"},
    {1042, "Create a Desktop icon"},
    {1043, "Create a Quick Launch icon"},
    {2001, "English"},
    {2002, "German"},
    {3001, "Broken file, please download again."},
    {3000, " has been successfully installed."},
    {136, "Select &all"},
    {137, "&Deselect all"},
    {138, "&Invert selection"},
    {0, nullptr},
};

const LanguageTable kDeTable[] = {
    {0, "DE"},
    {1000, "Installation"},
    {99, "&OK"},
    {2, "Abbruch"},
    {1010, "Sprache"},
    {1031, "Zielpfad:"},
    {1041, "Programmgruppe erstellen"},
    {1042, "Desktop-Symbol anlegen"},
    {1043, "Symbol in der Schnellstartleiste anlegen"},
    {2001, "Englisch"},
    {2002, "Deutsch"},
    {3001, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {3000, " wurde erfolgreich installiert."},
    {136, "Alles &markieren"},
    {137, "Markierung &aufheben"},
    {138, "Markierung &umkehren"},
    {0, nullptr},
};

const LanguageTable kItTable[] = {
    {0, "IT"},
    {1000, "Installazione"},
    {99, "&OK"},
    {2, "Annulla"},
    {1010, "Lingua"},
    {1031, "Destinazione"},
    {1041, "Aggiungi collegamento nel menu Programmi"},
    {1042, "Aggiungi collegamento sul desktop"},
    {1043, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English"},
    {2002, "German"},
    {3001, "File danneggiato, esegui di nuovo il download."},
    {3000, " \xE8" " stato installato correttamente."},
    {136, "Seleziona tutto"},
    {137, "Deseleziona tutto"},
    {138, "Inverti selezione"},
    {0, nullptr},
};

const LanguageTable* const kBuiltInTables[] = {kUsTable, kDeTable, kItTable, nullptr};

const int16_t kSetupDialogTextIds[] = {1000, 99, 2, 1031, 1041, 1042, 1043, 0};
const int16_t kContextMenuTextIds[] = {136, 137, 138, 0};
const ListColumnDefinition kLanguageListColumns[] = {{1010, -1, 0}, {0, 0, 0}};
