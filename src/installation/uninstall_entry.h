// The uninstall entry of an installation in the system's list of installed programs:
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<group name>, written by the setup
// and removed by the uninstaller. Without a group name the key would be the Uninstall key
// itself: nothing is written then.
#pragma once
#include <cstdint>

#include "payload/product_facts.h"

// What the uninstall entry records of one installation beyond the product facts.
struct UninstallRecord {
  const char16_t* uninstallerPath;  // full path of the installed uninstaller
  const char16_t* installFolder;    // the installation folder
  const char16_t* mainProgramPath;  // full path of the main program; null or empty when none is known
  uint64_t installedBytes;          // unpacked sizes of the entries the install pass wrote
  const char16_t* createdFolders;   // a folder list of the folders this installation made; may be null
};

// The uninstall key of a group; false when there is no group or the key does not fit.
bool UninstallKeyPath(const char16_t* group, char16_t* key, int capacity);

// What the list of installed programs shows and runs: "DisplayName" the group name;
// "UninstallString" the uninstaller's path in quotes (unquoted, a path with spaces is tried
// as C:\Program.exe first); "Publisher" the .INF's "Publisher", else "Korvane";
// "DisplayVersion" the product version when there is one; "DisplayIcon" the main program
// when known; "InstallLocation"; "QuietUninstallString" the same command with /VERYSILENT,
// which removes without a question or a message; "URLInfoAbout" and "HelpLink" the .INF's
// "URL" and "HelpURL" when given; "InstallDate" today's local date as YYYYMMDD;
// "EstimatedSize" in KB rounded up; "NoModify" and "NoRepair" 1, as the uninstaller offers
// neither.
void RegisterUninstall(const ProductFacts& facts, const UninstallRecord& record);
// Kilobytes the list of installed programs shows for so many bytes: rounded up, at most
// the largest REG_DWORD.
uint32_t EstimatedSizeKb(uint64_t bytes);

// The entry's value "ProgramGroupCreated" (REG_DWORD): the CSIDL of the programs folder in
// which the setup created the group's folder. The uninstaller removes that folder, when
// empty, only where this names it: a folder of that name that was there before the
// installation (the Start Menu's own "StartUp", a group of another product) stays.
extern const char16_t kProgramGroupCreatedValue[];
// Records in the group's entry, when it exists, that the group's folder was created there.
void RecordCreatedProgramGroup(const char16_t* group, int csidl);
// The programs folder recorded for the group's entry, or 0 when none is.
int CreatedProgramGroup(const char16_t* group);

// The entry's value "CreatedFolders" (REG_SZ): the folders the setup created below the
// installation folder for a product that keeps its folders, as a folder list: each path
// below the installation folder followed by kCreatedFolderEnd, a character no name holds.
// The removal record is written when the product is packed, so what one installation
// created is known only here. An update into the same folder keeps the earlier list and adds
// to it: the folders an older version made are still the product's to remove.
extern const char16_t kCreatedFoldersValue[];
constexpr int kCreatedFoldersCapacity = 4096;  // characters of a folder list, terminator included
constexpr char16_t kCreatedFolderEnd = u'|';
// Whether the list holds the folder (ASCII letters in any case).
bool FolderListHas(const char16_t* list, const char16_t* folder);
// Adds a folder the list lacks, when it fits; a full list takes no more (such a folder
// stays when the product is removed, which loses nothing of the user's).
void AddToFolderList(char16_t* list, const char16_t* folder);
// The list of the group's entry when its uninstaller lies in this folder, else empty.
void ReadCreatedFolders(const char16_t* group, const char16_t* folder, char16_t* list);

// Deletes the group's entry when its uninstaller lies in this folder.
void RemoveUninstallEntry(const char16_t* group, const char16_t* folder);
