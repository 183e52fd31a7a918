// The uninstall entry of an installation (see uninstall_entry.h).
#include "installation/uninstall_entry.h"

#include "payload/entry_rules.h"
#include "system/platform.h"
#include "system/registry.h"
#include "system/text.h"

namespace {

const char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kDefaultPublisher[] = u"Korvane";
// A name of its own, so that the uninstaller, which reads only this value, does not carry the
// texts of the values only the setup writes.
const char16_t kUninstallStringValue[] = u"UninstallString";
constexpr int kGroupNameCapacity = 32;
constexpr int kPublisherCapacity = 64;
constexpr int kUrlCapacity = 256;

// YYYYMMDD as eight digits.
void DateText(uint32_t date, char16_t* out) {
  for (int i = 7; i >= 0; --i, date /= 10) out[i] = char16_t(u'0' + date % 10);
  out[8] = 0;
}

// A text value, or none: an update over an older installation must not keep what the older
// one displayed and this one does not know.
void SetOrDeleteText(RegistryKey key, const char16_t* name, const char16_t* text) {
  if (text && text[0]) SetRegistryText(key, name, text);
  else PlatformRegDeleteValue(key, name);
}

// Whether the entry at `key` registers an uninstaller in this folder (the value may be quoted).
bool EntryIsInFolder(const char16_t* key, const char16_t* folder) {
  char16_t command[kPathCapacity + 2];
  ReadRegistryText(RegistryRoot::LocalMachine, key, kUninstallStringValue, command, kPathCapacity + 2);
  const char16_t* path = command[0] == u'"' ? command + 1 : command;
  char16_t uninstaller[kPathCapacity];
  CopyText(path, uninstaller, kPathCapacity);
  const int n = TextLength(uninstaller);
  if (n && uninstaller[n - 1] == u'"') uninstaller[n - 1] = 0;
  StripToFolder(uninstaller);
  return uninstaller[0] && SameFolder(uninstaller, folder);
}

// The folders this installation made, and those an earlier one in the same folder made.
void WriteCreatedFolders(RegistryKey key, const char16_t* keyPath, const UninstallRecord& record) {
  char16_t list[kCreatedFoldersCapacity] = {};
  if (EntryIsInFolder(keyPath, record.installFolder))
    ReadRegistryText(RegistryRoot::LocalMachine, keyPath, kCreatedFoldersValue, list, kCreatedFoldersCapacity);
  char16_t folder[kPathCapacity];
  int length = 0;
  for (const char16_t* p = record.createdFolders; p && *p; ++p) {
    if (*p != kCreatedFolderEnd) {
      if (length < kPathCapacity - 1) folder[length++] = *p;
      continue;
    }
    folder[length] = 0;
    length = 0;
    AddToFolderList(list, folder);
  }
  SetOrDeleteText(key, kCreatedFoldersValue, list);
}

}  // namespace

const char16_t kProgramGroupCreatedValue[] = u"ProgramGroupCreated";
const char16_t kCreatedFoldersValue[] = u"CreatedFolders";

bool FolderListHas(const char16_t* list, const char16_t* folder) {
  const int n = TextLength(folder);
  for (const char16_t* p = list; p && *p;) {
    int length = 0;
    while (p[length] && p[length] != kCreatedFolderEnd) ++length;
    if (length == n) {
      char16_t item[kPathCapacity];
      CopyText(p, item, n + 1 < kPathCapacity ? n + 1 : kPathCapacity);
      if (EqualsIgnoreCase(item, folder)) return true;
    }
    p += p[length] ? length + 1 : length;
  }
  return false;
}

void AddToFolderList(char16_t* list, const char16_t* folder) {
  const int n = TextLength(folder);
  if (n == 0 || n >= kPathCapacity || FolderListHas(list, folder)) return;
  if (TextLength(list) + n + 1 >= kCreatedFoldersCapacity) return;
  const char16_t end[2] = {kCreatedFolderEnd, 0};
  AppendText(folder, list, kCreatedFoldersCapacity);
  AppendText(end, list, kCreatedFoldersCapacity);
}

void ReadCreatedFolders(const char16_t* group, const char16_t* folder, char16_t* list) {
  list[0] = 0;
  char16_t key[kLinkCapacity];
  if (!UninstallKeyPath(group, key, kLinkCapacity) || !EntryIsInFolder(key, folder)) return;
  ReadRegistryText(RegistryRoot::LocalMachine, key, kCreatedFoldersValue, list, kCreatedFoldersCapacity);
}

uint32_t EstimatedSizeKb(uint64_t bytes) {
  const uint64_t kb = bytes / 1024 + (bytes % 1024 != 0);
  return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(kb);
}

bool UninstallKeyPath(const char16_t* group, char16_t* key, int capacity) {
  CopyText(kUninstallKey, key, capacity);
  return group && group[0] && AppendText(group, key, capacity) == kTextDone;
}

void RegisterUninstall(const ProductFacts& facts, const UninstallRecord& record) {
  char16_t group[kGroupNameCapacity];
  AnsiToWide(facts.group, group, kGroupNameCapacity);
  char16_t keyPath[kLinkCapacity];
  if (!record.uninstallerPath || !UninstallKeyPath(group, keyPath, kLinkCapacity)) return;
  RegistryKey key = nullptr;
  if (PlatformRegCreateKey(RegistryRoot::LocalMachine, keyPath, kKeyWrite, &key) != 0) return;
  WriteCreatedFolders(key, keyPath, record);  // before UninstallString names this folder
  char16_t command[kLinkCapacity];
  CopyText(u"\"", command, kLinkCapacity);
  AppendText(record.uninstallerPath, command, kLinkCapacity);
  AppendText(u"\"", command, kLinkCapacity);
  char16_t quiet[kLinkCapacity];
  CopyText(command, quiet, kLinkCapacity);
  const bool quietFits = AppendText(u" /VERYSILENT", quiet, kLinkCapacity) == kTextDone;
  char16_t publisher[kPublisherCapacity], version[kNameCapacity];
  AnsiToWide(facts.publisher, publisher, kPublisherCapacity);
  AnsiToWide(facts.version, version, kNameCapacity);
  char16_t url[kUrlCapacity], helpUrl[kUrlCapacity], date[9];
  AnsiToWide(facts.url, url, kUrlCapacity);
  AnsiToWide(facts.helpUrl, helpUrl, kUrlCapacity);
  DateText(PlatformLocalDate(), date);
  const struct {
    const char16_t* name;
    const char16_t* text;
  } texts[] = {{u"DisplayName", group},
               {kUninstallStringValue, command},
               {u"Publisher", publisher[0] ? publisher : kDefaultPublisher},
               {u"DisplayVersion", version},
               {u"DisplayIcon", record.mainProgramPath},
               {u"InstallLocation", record.installFolder},
               {u"QuietUninstallString", quietFits ? quiet : nullptr},
               {u"URLInfoAbout", url},
               {u"HelpLink", helpUrl},
               {u"InstallDate", date}};
  for (const auto& t : texts) SetOrDeleteText(key, t.name, t.text);
  SetRegistryNumber(key, u"EstimatedSize", EstimatedSizeKb(record.installedBytes));
  SetRegistryNumber(key, u"NoModify", 1);
  SetRegistryNumber(key, u"NoRepair", 1);
  PlatformRegCloseKey(key);
}

void RecordCreatedProgramGroup(const char16_t* group, int csidl) {
  char16_t keyPath[kLinkCapacity];
  RegistryKey key = nullptr;
  if (!csidl || !UninstallKeyPath(group, keyPath, kLinkCapacity) ||
      PlatformRegOpenKey(RegistryRoot::LocalMachine, keyPath, kKeyWrite, &key) != 0)
    return;
  SetRegistryNumber(key, kProgramGroupCreatedValue, uint32_t(csidl));
  PlatformRegCloseKey(key);
}

int CreatedProgramGroup(const char16_t* group) {
  char16_t keyPath[kLinkCapacity];
  uint32_t csidl = 0;
  if (!UninstallKeyPath(group, keyPath, kLinkCapacity) ||
      !ReadRegistryNumber(RegistryRoot::LocalMachine, keyPath, kProgramGroupCreatedValue, &csidl))
    return 0;
  return int(csidl);
}

// The uninstall key goes when its uninstaller lies in this folder (the value may be quoted).
void RemoveUninstallEntry(const char16_t* group, const char16_t* folder) {
  char16_t key[kLinkCapacity];
  if (UninstallKeyPath(group, key, kLinkCapacity) && EntryIsInFolder(key, folder))
    PlatformRegDeleteKey(RegistryRoot::LocalMachine, key);
}
