// The setup program's rules for the names of payload entries, written once for the setup
// program and for setuptool pack, which predicts from them what the setup will do with a
// product folder. Pure functions over wide names: no platform calls, no allocation. Letter
// case is ignored for ASCII letters only, as the setup compares; an 8-bit name in the
// archive's code page is passed with each byte widened, which these rules treat alike
// because every character they single out is ASCII.
#pragma once

// What the scan pass does with an entry, by its name; the code it writes in front of the
// name lies in 1..31, which the extraction run treats as "decode into memory".
enum ScanEntryKind : char16_t {
  Description = 1,   // "FILE_ID.DIZ" (whole name): product name and version
  SetupInfo = 2,     // "*.INF": keys ID, Group, Class, Exe
  LanguageFile = 4,  // "*.LNG": a language list item
  VerifyOnly = 7,    // anything else: decoded so its checksum is verified, then dropped
};

// Names of four characters or fewer are only verified; otherwise the first that holds of:
// the whole name is "FILE_ID.DIZ", it ends in ".INF", it ends in ".LNG".
ScanEntryKind ScanEntryKindOf(const char16_t* name);

// Whole-text equality, ASCII letters compared without regard to case.
bool EqualsIgnoreCase(const char16_t* text, const char16_t* other);
// Whether text ends in tail, ASCII letters compared without regard to case.
bool EndsWithIgnoreCase(const char16_t* text, const char16_t* tail);

// Index of the base name: the text after the last "\" or "/", under which every entry is
// written straight into the destination folder (the archive's folders are not reproduced).
int BaseNameOffset(const char16_t* name);

// Why one name component cannot become a file on Windows; 0 when it can. The setup applies
// it to the base name, the only component it writes; pack applies it to every component.
enum UnsafeNameReason {
  kNameSafe = 0,
  kNameEmpty = 1,              // the name ends in a separator
  kNameFolderReference = 2,    // "." or "..", which Windows resolves to a folder
  kNameControlCharacter = 3,   // a character below 32
  kNameReservedCharacter = 4,  // one of < > : " | ? * (":" names a drive or a data stream)
  kNameTrailingDotOrSpace = 5, // Windows drops them, so another name would be written
  kNameDevice = 6,             // CON, PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM1-9, LPT1-9,
                               // with any extension and with spaces before the first dot
};
UnsafeNameReason UnsafeNameReasonOf(const char16_t* component, int length);
// The same rule over every component of a relative path ("\" or "/" separated), for a
// product that keeps its folders: the first component's reason that is not kNameSafe. An
// empty component (a separator first, last or doubled) is kNameEmpty.
UnsafeNameReason UnsafePathReasonOf(const char16_t* path);

// The base name the install pass treats as the uninstaller: "UnInst.exe", any case.
bool IsUninstallerName(const char16_t* base);
// A base name the install pass never writes: longer than 4 characters and ending in ".INF".
bool IsNeverInstalled(const char16_t* base);
// A base name that becomes the main program when the ".INF" gives no "Exe" and no earlier
// entry did: longer than 4 characters, first letter K (either case), ending in ".EXE". Not
// checked for the uninstaller, which goes first.
bool IsMainProgramCandidate(const char16_t* base);

// Capacity of the language-file prefix, of the uninstaller's and the main program's names.
constexpr int kPayloadNameCapacity = 32;

// The language-file prefix the first ".LNG" entry gives: its base name cut to 31 characters,
// less its last 7 ("_", code, ".LNG") when longer than 7.
void LanguageFilePrefixOf(const char16_t* entryName, char16_t* prefix);

// The code an entry is bound to, upper-cased (at most 4 characters and a terminator in
// code): the text after "_" up to the first "." or the end, where "_" stands right after
// prefixLength characters of the name after its first backslash. Returns the code's length,
// 0 when the entry is bound to no language.
int EntryLanguageCodeText(const char16_t* name, int prefixLength, char16_t* code);

// The two characters right before ".LNG" that give a language file's item its code
// (letters: 2 characters and a terminator, not yet upper-cased); false for a name shorter
// than 6 characters, which names no language.
bool LanguageItemLetters(const char16_t* name, char16_t* letters);
