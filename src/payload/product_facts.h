// What a payload's description entries tell about the product, read once by the setup
// program's rules and used alike by the setup, the uninstaller's record and setuptool pack:
// the installation description's (".INF") product id, group, window class, main program,
// publisher and web pages, and FILE_ID.DIZ's product name and version.
//
// These values steer where the setup writes and what it touches: the group names a folder in
// the Start Menu, a registry key and links; the main program a file the links start; the
// window class the windows the setup and the uninstaller close. They come from whoever made
// the payload, so they pass one rule before any of that happens: a group is a single folder
// name (the rules of entry names, no "." or ".."), the main program a plain file name, the
// window class none of the system's own. A payload or record that breaks the rule is damaged.
// Pure functions over 8-bit text in the archive's code page: no platform calls, no allocation.
#pragma once

struct ProductFacts {
  char productId[4];     // "ID": names the remembered-destination registry value
  char group[32];        // "Group", else FILE_ID.DIZ's product name
  char windowClass[32];  // "Class"; when empty the group name stands in (WatchedWindowClass)
  char mainProgram[32];  // "Exe": the file the shortcuts start, when the .INF names it
  char publisher[64];    // "Publisher": the uninstall entry's publisher; empty = ours
  char folders[8];       // "Folders": "Keep" (any case) reproduces the product's folders
  char url[256];         // "URL": the product's web page (the uninstall entry's URLInfoAbout)
  char helpUrl[256];     // "HelpURL": its help or support page (the entry's HelpLink)
  char product[128];     // FILE_ID.DIZ's product name
  char version[32];      // FILE_ID.DIZ's version
};

// Reads an installation description: each key present replaces its field (cut to the
// field's width); an absent key leaves the field as it was.
void ReadSetupInfoFacts(const char* text, ProductFacts* facts);
// Reads a product description: product name and version; the group too, while it is empty.
void ReadDescriptionFacts(const char* text, ProductFacts* facts);
// The window class the setup and the uninstaller close: "Class", else the group name.
const char* WatchedWindowClass(const ProductFacts& facts);

// Whether the setup writes each entry under its path below the product folder ("Folders"
// is "Keep", ASCII letters in any case) rather than flat under its base name.
bool KeepsFolders(const ProductFacts& facts);

// Whether a text is an absolute web address the list of installed programs can open: it
// starts with "http://" or "https://" (the scheme in any case) and a host, and holds no
// space, control character or '"' (which would end the address where the system quotes it).
// Bytes from 0x80 on are left to the code page.
bool IsWebAddress(const char* text);

// Why a fact breaks the rule; 0 when none does.
enum FactProblem {
  kFactsSound = 0,
  kGroupNotAFolderName = 1,      // a separator, "." or "..", a device name, a reserved or
                                 // control character, a trailing dot or space
  kMainProgramNotAFileName = 2,  // the same rules for the main program's name
  kWindowClassOfTheSystem = 3,   // one of the system's or the shell's own window classes
};
// Checks group, main program and watched window class, as 8-bit text: every character the
// rule singles out is ASCII, which any code page maps to itself.
FactProblem CheckProductFacts(const ProductFacts& facts);

// The rule for one name that becomes a folder or file name on its own: a single component
// that Windows takes as it stands. Empty passes (no such name). Wide text, after conversion
// from the code page: characters the code page does not define arrive as C1 control
// characters (U+0080 to U+009F) or U+FFFD, and are refused too.
bool IsSingleSafeName(const char16_t* name);
// The same rule for 8-bit text as stored, before conversion: bytes from 0x80 on are left to
// the code page. False too for a text longer than any fact's field.
bool IsSingleSafeNarrowName(const char* name);
// Whether windows of this class belong to the system or the shell (the taskbar, the desktop,
// dialog boxes, the standard controls): never ones the setup may close. ASCII letter case
// is ignored, as the system compares class names.
bool IsSystemWindowClass(const char* windowClass);
