// The built-in string tables. Every table holds the same ids in the same order; its head
// entry carries the language code and an entry with id 0 and no text ends it. The texts are
// Windows-1252 bytes: accented letters are written as \x escapes (a literal is split after
// each escape so that no following letter is read as part of it).
#include "localisation/string_tables.h"

const LanguageTable kUsTable[] = {
    {0, "US"},
    {kTextTitle, "Setup"},
    {kTextOk, "&OK"},
    {kTextCancel, "Cancel"},
    {kTextLanguageColumn, "Language"},
    {kTextDestinationLabel, "Destination folder"},
    {kTextProgramGroup, "Put entry to Start Menu"},
    {kTextDesktopIcon, "Create a Desktop icon"},
    {kTextQuickLaunchIcon, "Create a Quick Launch icon"},
    {kTextEnglish, "English"},
    {kTextGerman, "German"},
    {kTextBrokenFile, "Broken file, please download again."},
    {kTextInstalled, " has been successfully installed."},
    {kTextWindowsFolder, "Programs cannot be installed into the Windows folder. Please choose another destination folder."},
    {kTextPathTooLong, "The destination folder's path is too long for the files of this program. Please choose a shorter destination folder."},
    {kTextBadCommandLine, "The command line is not understood (see /?):"},
    {kTextHelp, "Exit codes: 0 installed, 1 command line not understood, 2 damaged setup, 3 cancelled, 4 destination not writable, "
                "5 disk full, 6 files in use, 7 out of memory, 8 other failure."},
    {kTextChecking, "Checking the setup..."},
    {kTextSelectAll, "Select &all"},
    {kTextDeselectAll, "&Deselect all"},
    {kTextInvertSelection, "&Invert selection"},
    {0, nullptr},
};

const LanguageTable kDeTable[] = {
    {0, "DE"},
    {kTextTitle, "Installation"},
    {kTextOk, "&OK"},
    {kTextCancel, "Abbruch"},
    {kTextLanguageColumn, "Sprache"},
    {kTextDestinationLabel, "Zielpfad:"},
    {kTextProgramGroup, "Programmgruppe erstellen"},
    {kTextDesktopIcon, "Desktop-Symbol anlegen"},
    {kTextQuickLaunchIcon, "Symbol in der Schnellstartleiste anlegen"},
    {kTextEnglish, "Englisch"},
    {kTextGerman, "Deutsch"},
    {kTextBrokenFile, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {kTextInstalled, " wurde erfolgreich installiert."},
    {kTextWindowsFolder, "Programme k\xF6nnen nicht in den Windows-Ordner installiert werden. Bitte w\xE4hlen Sie einen anderen Zielordner."},
    {kTextPathTooLong, "Der Pfad des Zielordners ist f\xFCr die Dateien dieses Programms zu lang. Bitte w\xE4hlen Sie einen k\xFCrzeren Zielordner."},
    {kTextBadCommandLine, "Die Befehlszeile ist nicht verst\xE4" "ndlich (siehe /?):"},
    {kTextHelp, "Exit-Codes: 0 installiert, 1 Befehlszeile unverst\xE4" "ndlich, 2 Setup besch\xE4" "digt, 3 abgebrochen, 4 Zielordner nicht beschreibbar, "
                "5 Datentr\xE4" "ger voll, 6 Dateien in Benutzung, 7 kein Speicher, 8 anderer Fehler."},
    {kTextChecking, "Die Installation wird gepr\xFC" "ft..."},
    {kTextSelectAll, "Alles &markieren"},
    {kTextDeselectAll, "Markierung &aufheben"},
    {kTextInvertSelection, "Markierung &umkehren"},
    {0, nullptr},
};

const LanguageTable kItTable[] = {
    {0, "IT"},
    {kTextTitle, "Installazione"},
    {kTextOk, "&OK"},
    {kTextCancel, "Annulla"},
    {kTextLanguageColumn, "Lingua"},
    {kTextDestinationLabel, "Destinazione"},
    {kTextProgramGroup, "Aggiungi collegamento nel menu Programmi"},
    {kTextDesktopIcon, "Aggiungi collegamento sul desktop"},
    {kTextQuickLaunchIcon, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {kTextEnglish, "English"},
    {kTextGerman, "German"},
    {kTextBrokenFile, "File danneggiato, esegui di nuovo il download."},
    {kTextInstalled, " \xE8" " stato installato correttamente."},
    {kTextWindowsFolder, "Non \xE8 possibile installare programmi nella cartella di Windows. Scegliere un'altra cartella di destinazione."},
    {kTextPathTooLong, "Il percorso della cartella di destinazione \xE8 troppo lungo per i file di questo programma. Scegliere una cartella di destinazione pi\xF9 breve."},
    {kTextBadCommandLine, "La riga di comando non \xE8" " comprensibile (vedi /?):"},
    {kTextHelp, "Codici di uscita: 0 installato, 1 riga di comando non compresa, 2 setup danneggiato, 3 annullato, 4 destinazione non scrivibile, "
                "5 disco pieno, 6 file in uso, 7 memoria esaurita, 8 altro errore."},
    {kTextChecking, "Verifica dell'installazione in corso..."},
    {kTextSelectAll, "Seleziona tutto"},
    {kTextDeselectAll, "Deseleziona tutto"},
    {kTextInvertSelection, "Inverti selezione"},
    {0, nullptr},
};

const LanguageTable* const kBuiltInTables[] = {kUsTable, kDeTable, kItTable, nullptr};

const int16_t kSetupDialogTextIds[] = {kTextTitle,       kTextOk,          kTextCancel,
                                       kTextDestinationLabel, kTextProgramGroup, kTextDesktopIcon,
                                       kTextQuickLaunchIcon, 0};
const int16_t kContextMenuTextIds[] = {kTextSelectAll, kTextDeselectAll, kTextInvertSelection, 0};
const ListColumnDefinition kLanguageListColumns[] = {{kTextLanguageColumn, -1, 0}, {0, 0, 0}};
