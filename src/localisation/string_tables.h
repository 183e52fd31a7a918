// The three built-in string tables (US, DE, IT), the choice of the interface language, the
// lookup of a text by its number and the filling of a dialog's texts from a list of numbers.
// Texts are 8-bit Windows-1252 and become wide text through the ANSI code page on lookup.
#pragma once
#include <cstdint>

#include "localisation/language_table.h"
#include "resources/resource_ids.h"
#include "system/window.h"

// Text ids (resources/resource_ids.h); the ids of dialog controls double as the ids of their
// texts.
constexpr int16_t kTextTitle = KORV_DIALOG_SETUP;  // window title (the product name follows)
constexpr int16_t kTextOk = KORV_CONTROL_OK;
constexpr int16_t kTextCancel = KORV_CONTROL_CANCEL;
constexpr int16_t kTextLanguageColumn = KORV_CONTROL_LANGUAGES;
constexpr int16_t kTextDestinationLabel = KORV_CONTROL_DESTINATION_LABEL;
constexpr int16_t kTextProgramGroup = KORV_CONTROL_PROGRAM_GROUP;
constexpr int16_t kTextDesktopIcon = KORV_CONTROL_DESKTOP_ICON;
constexpr int16_t kTextQuickLaunchIcon = KORV_CONTROL_QUICK_LAUNCH;
constexpr int16_t kTextEnglish = KORV_TEXT_ENGLISH;  // language list item for "US"
constexpr int16_t kTextGerman = KORV_TEXT_GERMAN;    // language list item for "DE"
constexpr int16_t kTextBrokenFile = KORV_TEXT_BROKEN_FILE;
constexpr int16_t kTextInstalled = KORV_TEXT_INSTALLED;  // follows the group name, leading space
constexpr int16_t kTextWindowsFolder = KORV_TEXT_WINDOWS_FOLDER;
constexpr int16_t kTextPathTooLong = KORV_TEXT_PATH_TOO_LONG;
constexpr int16_t kTextBadCommandLine = KORV_TEXT_BAD_COMMAND_LINE;
constexpr int16_t kTextHelp = KORV_TEXT_HELP;
constexpr int16_t kTextChecking = KORV_TEXT_CHECKING;
constexpr int16_t kTextSelectAll = KORV_TEXT_SELECT_ALL;
constexpr int16_t kTextDeselectAll = KORV_TEXT_DESELECT_ALL;
constexpr int16_t kTextInvertSelection = KORV_TEXT_INVERT_SELECTION;

// The built-in tables in the order of choice, ended by a null pointer; the first (US) is the
// default.
extern const LanguageTable* const kBuiltInTables[];
extern const LanguageTable kUsTable[];
extern const LanguageTable kDeTable[];
extern const LanguageTable kItTable[];

// Ids the setup dialog takes from the table, each list ended by 0: the title then the
// controls (for ApplyLanguageTable), and the context menu of the language list.
extern const int16_t kSetupDialogTextIds[];
extern const int16_t kContextMenuTextIds[];

// Column definitions of the language list, ended by a record with text id 0. A negative
// width stands for the room that remains.
struct ListColumnDefinition {
  int16_t textId;
  int32_t width;
  int32_t format;
};
extern const ListColumnDefinition kLanguageListColumns[];

// "DE" for the German language ids, "IT" for the Italian ones, "US" for any other.
const char* LanguageCodeForLanguageId(uint16_t languageId);

// The table of `tables` (ended by a null pointer) whose head names `code`, ASCII letter case
// ignored; the first table when none does.
const LanguageTable* TableForLanguageCode(const LanguageTable* const* tables, const char* code);

// The text with that id as wide text, at most capacity - 2 characters, always terminated;
// empty when the table or the id is missing. The two characters backslash and "t" become a
// tab character.
void LookupText(const LanguageTable* table, int id, char16_t* buffer, int capacity);

// Sets a window's title (first id, unless 0) and the texts of its controls (the following
// ids up to the ending 0) from the table.
void ApplyLanguageTable(WindowHandle window, const LanguageTable* table, const int16_t* ids);
