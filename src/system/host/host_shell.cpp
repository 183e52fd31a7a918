// The shell on the stand-in: item lists, special folders, the folder browser (its answer
// set by tests), shortcut files, and the shell's move and delete of whole folder trees as
// real recursive moves and deletes under the root.
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "system/host/host_control.h"
#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

// An item list of the stand-in is a heap copy of the folder's path.
ItemList NewItemList(const std::u16string& path) {
  char16_t* list = new char16_t[path.size() + 1];
  path.copy(list, path.size());
  list[path.size()] = 0;
  return list;
}

constexpr int kDeInvalidFiles = 0x7C;  // the shell's code for a source it cannot use
constexpr long kStgPathNotFound = static_cast<long>(0x80030003);

bool IsFolder(const std::string& native) {
  struct stat st;
  return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& native) {
  struct stat st;
  return lstat(native.c_str(), &st) == 0;
}

void MakeParents(const std::string& native) {
  const size_t start = HostRoot().size() + 1;
  for (size_t pos = native.find('/', start + 1); pos != std::string::npos; pos = native.find('/', pos + 1))
    mkdir(native.substr(0, pos).c_str(), 0777);
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!in || !out) return false;
  out << in.rdbuf();
  return static_cast<bool>(out);
}

// Moves `from` to the new name `to`, merging into an existing folder of that name and
// replacing existing files (the shell's moves here run without confirmations).
bool MoveTree(const std::string& from, const std::string& to);

// Moves every item of the folder `from` into the folder `to` under its own name.
bool MoveContent(const std::string& from, const std::string& to) {
  bool ok = true;
  if (DIR* dir = opendir(from.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
      ok = MoveTree(from + "/" + entry->d_name, to + "/" + entry->d_name) && ok;
    }
    closedir(dir);
  }
  return ok;
}

bool MoveTree(const std::string& from, const std::string& to) {
  if (IsFolder(from) && IsFolder(to)) {
    const bool ok = MoveContent(from, to);
    return rmdir(from.c_str()) == 0 && ok;
  }
  if (PathExists(to) && !IsFolder(from)) unlink(to.c_str());
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV || IsFolder(from)) return false;
  return CopyFile(from, to) && unlink(from.c_str()) == 0;
}

std::string BaseName(const std::string& native) {
  std::string s = native;
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s.substr(s.rfind('/') + 1);
}

}  // namespace

// ---- Item lists, special folders, folder browser -----------------------------------------

ItemList PlatformSpecialFolderLocation(int csidl) {
  const auto& folders = TheHostMachine().specialFolders;
  const auto it = folders.find(csidl);
  if (it == folders.end() || it->second.empty()) return nullptr;
  return NewItemList(it->second);
}

ItemList PlatformParseDisplayName(WindowHandle, const char16_t* path) {
  if (!path || !path[0] || PlatformGetFileAttributes(path) == kInvalidFileAttributes) return nullptr;
  return NewItemList(path);
}

bool PlatformPathFromItemList(ItemList list, char16_t* out) {
  const char16_t* path = static_cast<const char16_t*>(list);
  if (!list || !out) return false;
  int n = 0;
  while (path[n]) ++n;
  if (n >= 260) return false;
  for (int i = 0; i <= n; ++i) out[i] = path[i];
  return true;
}

void PlatformFreeItemList(ItemList list) { delete[] static_cast<char16_t*>(list); }

ItemList PlatformBrowseForFolder(WindowHandle owner, ItemList initialSelection) {
  HostMachine& m = TheHostMachine();
  m.browseRequests.push_back(
      {owner, initialSelection ? std::u16string(static_cast<const char16_t*>(initialSelection)) : u""});
  if (!m.browseAnswerSet || m.browseAnswer.empty()) return nullptr;
  return NewItemList(m.browseAnswer);
}

// ---- Shortcut files -----------------------------------------------------------------------

long PlatformCreateShellLink(const char16_t* linkPath, const char16_t* target,
                             const char16_t* workingDirectory, int showCommand) {
  if (const long failure = TheHostMachine().shellLinkFailure) return failure;
  const std::string native = HostNativePath(linkPath);
  const size_t slash = native.rfind('/');
  if (slash == std::string::npos || !IsFolder(native.substr(0, slash))) return kStgPathNotFound;
  std::ofstream out(native, std::ios::trunc);
  out << "[Shortcut]\nTarget=" << HostUtf8(target) << "\nWorkingDirectory=" << HostUtf8(workingDirectory)
      << "\nShowCommand=" << showCommand << "\n";
  return out ? 0 : static_cast<long>(0x80004005);  // E_FAIL
}

bool HostReadShortcut(const std::u16string& linkPath, HostShortcut* shortcut) {
  std::ifstream in(HostNativePath(linkPath.c_str()));
  std::string line;
  if (!std::getline(in, line) || line != "[Shortcut]") return false;
  HostShortcut s;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Target") s.target = HostUtf16(value);
    else if (key == "WorkingDirectory") s.workingDirectory = HostUtf16(value);
    else if (key == "ShowCommand") s.showCommand = atoi(value.c_str());
  }
  if (shortcut) *shortcut = s;
  return true;
}

long PlatformReadShellLink(const char16_t* linkPath, char16_t* target) {
  target[0] = 0;
  HostShortcut shortcut;
  if (!linkPath || !HostReadShortcut(linkPath, &shortcut)) return static_cast<long>(0x80004005);  // E_FAIL
  if (shortcut.target.size() >= 260) return static_cast<long>(0x8007007A);  // buffer too small
  shortcut.target.copy(target, shortcut.target.size());
  target[shortcut.target.size()] = 0;
  return 0;
}

// ---- Shell file operation -------------------------------------------------------------------

int PlatformShellFileOperation(WindowHandle owner, unsigned function, const char16_t* from,
                               const char16_t* to, uint16_t flags, bool* aborted) {
  HostMachine& m = TheHostMachine();
  if (aborted) *aborted = false;
  m.shellOperations.push_back({owner, function, from ? from : u"", to ? to : u"", flags, m.heldHandles});
  if (m.shellOutcome == HostShellOutcome::Fail) return kDeInvalidFiles;
  if (m.shellOutcome == HostShellOutcome::Skip) return 0;
  if (m.shellOutcome == HostShellOutcome::Cancel) {
    if (aborted) *aborted = true;
    return 0;
  }
  if (!from || !from[0]) return kDeInvalidFiles;
  const std::string source = HostNativePath(from);
  // A source ending in "\*" names everything inside that folder: each item moves into the
  // target folder under its own name, merging with what is there.
  if (function == kFoMove && source.size() > 2 && source.compare(source.size() - 2, 2, "/*") == 0) {
    const std::string folder = source.substr(0, source.size() - 2);
    if (!IsFolder(folder) || !to || !to[0]) return static_cast<int>(kErrorFileNotFound);
    std::string target = HostNativePath(to);
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    MakeParents(target + "/x");
    return MoveContent(folder, target) ? 0 : static_cast<int>(kErrorAccessDenied);
  }
  if (!PathExists(source)) return static_cast<int>(kErrorFileNotFound);
  if (function == kFoDelete) {
    HostRemoveTree(source);
    return PathExists(source) ? static_cast<int>(kErrorAccessDenied) : 0;
  }
  if (function != kFoMove || !to || !to[0]) return kDeInvalidFiles;
  std::string target = HostNativePath(to);
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  // Onto an existing folder the source moves into it under its own name.
  if (IsFolder(target)) target += "/" + BaseName(source);
  MakeParents(target);
  return MoveTree(source, target) ? 0 : static_cast<int>(kErrorAccessDenied);
}
