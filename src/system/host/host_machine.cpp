// The stand-in's machine record: its defaults, the test controls that change it, and the
// platform calls that only report a setting (language, environment, Windows folder, active
// window).
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "system/host/host_control.h"
#include "system/host/host_dialog.h"
#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

const char16_t kDefaultProgramFiles[] = u"C:\\Program Files";

// Creates a Windows folder and its missing parents under the root.
void MakeFolders(const std::u16string& path) {
  const std::string native = HostNativePath(path.c_str());
  for (size_t pos = HostRoot().size() + 1; pos != std::string::npos;) {
    pos = native.find('/', pos + 1);
    mkdir(native.substr(0, pos).c_str(), 0777);
  }
}

}  // namespace

uint32_t HostCopyOut(const std::u16string& text, char16_t* out, int capacity) {
  const uint32_t length = static_cast<uint32_t>(text.size());
  if (!out || capacity < 0 || length + 1 > static_cast<uint32_t>(capacity)) return length + 1;
  text.copy(out, length);
  out[length] = 0;
  return length;
}

std::u16string HostFoldCase(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out)
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
  return out;
}

void HostFillDefaults(HostMachine& m) {
  m = HostMachine();
  m.tempFolder = u"C:\\users\\user\\Temp\\";
  m.windowsFolder = u"C:\\WINDOWS";
  m.currentDirectory = u"C:\\";
  m.environment[HostFoldCase(u"ProgramFiles")] = kDefaultProgramFiles;
  m.specialFolders[kCsidlDesktop] = u"C:\\users\\user\\Desktop";
  m.specialFolders[kCsidlPrograms] =
      u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  m.specialFolders[kCsidlCommonPrograms] =
      u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
  m.specialFolders[kCsidlAppData] = u"C:\\users\\user\\AppData\\Roaming";
}

HostMachine& TheHostMachine() {
  static HostMachine machine = [] {
    HostMachine m;
    HostFillDefaults(m);
    return m;
  }();
  return machine;
}

// ---- Test controls ----------------------------------------------------------------------

void HostReset(const std::string& root) {
  mkdir(root.c_str(), 0777);
  HostSetRoot(root);
  HostMachine& m = TheHostMachine();
  HostFillDefaults(m);
  HostAddDrive('C');
  MakeFolders(m.windowsFolder);
  MakeFolders(kDefaultProgramFiles);
  MakeFolders(m.tempFolder);
  for (const auto& folder : m.specialFolders) MakeFolders(folder.second);
  std::u16string programFiles;
  if (!HostRegistryRead(HostHive::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion",
                        u"ProgramFilesDir", &programFiles))
    HostSetProgramFilesDir(kDefaultProgramFiles);
}

std::string HostMakeTempRoot() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/korv-machine-XXXXXX";
  if (!mkdtemp(&pattern[0])) return std::string();
  return pattern;
}

void HostRemoveTree(const std::string& nativePath) {
  struct stat st;
  if (nativePath.empty() || lstat(nativePath.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = opendir(nativePath.c_str())) {
      while (dirent* entry = readdir(dir)) {
        if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
        HostRemoveTree(nativePath + "/" + entry->d_name);
      }
      closedir(dir);
    }
    rmdir(nativePath.c_str());
  } else {
    unlink(nativePath.c_str());
  }
}

void HostAddDrive(char letter) {
  const char lower = (letter >= 'A' && letter <= 'Z') ? static_cast<char>(letter - 'A' + 'a') : letter;
  mkdir(HostRoot().c_str(), 0777);
  mkdir((HostRoot() + "/" + lower).c_str(), 0777);
}

void HostSetSpecialFolder(int csidl, const std::u16string& path) {
  HostMachine& m = TheHostMachine();
  if (path.empty()) {
    m.specialFolders.erase(csidl);
    return;
  }
  m.specialFolders[csidl] = path;
  MakeFolders(path);
}

void HostSetWow64(bool on) {
  TheHostMachine().wow64 = on;
  if (!on) return;
  MakeFolders(u"C:\\Program Files (x86)");
  std::u16string programFiles;
  if (!HostRegistryRead(HostHive::LocalMachine, u"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion",
                        u"ProgramFilesDir", &programFiles))
    HostSetProgramFilesDir(u"C:\\Program Files (x86)");
}

void HostSetSystemLanguage(uint16_t languageId) { TheHostMachine().systemLanguage = languageId; }
void HostSetTempFolder(const std::u16string& path) { TheHostMachine().tempFolder = path; }
void HostSetWindowsFolder(const std::u16string& path) { TheHostMachine().windowsFolder = path; }
void HostSetCurrentDirectory(const std::u16string& path) { TheHostMachine().currentDirectory = path; }
void HostSetEnvironment(const std::u16string& name, const std::u16string& value) {
  TheHostMachine().environment[HostFoldCase(name)] = value;
}
void HostUnsetEnvironment(const std::u16string& name) {
  TheHostMachine().environment.erase(HostFoldCase(name));
}
void HostSetActiveWindow(void* window) { TheHostMachine().activeWindow = window; }
void HostSetLastError(uint32_t code) { PlatformSetLastError(code); }
void HostSetShellOutcome(HostShellOutcome outcome) { TheHostMachine().shellOutcome = outcome; }
void HostSetShellLinkFailure(long result) { TheHostMachine().shellLinkFailure = result; }
void HostSetBrowseAnswer(const std::u16string& folder) {
  TheHostMachine().browseAnswerSet = true;
  TheHostMachine().browseAnswer = folder;
}
const std::vector<HostMessage>& HostMessages() { return TheHostMachine().messages; }
void HostClearMessages() { TheHostMachine().messages.clear(); }
const std::vector<HostShellOperation>& HostShellOperations() { return TheHostMachine().shellOperations; }
const std::vector<HostBrowseRequest>& HostBrowseRequests() { return TheHostMachine().browseRequests; }

// ---- Platform calls that report a setting -------------------------------------------------

uint16_t PlatformGetSystemDefaultLangId() { return TheHostMachine().systemLanguage; }

// The stand-in's machine lives on one fixed day, so that tests can expect it.
uint32_t PlatformLocalDate() { return 20260101; }

uint32_t PlatformGetEnvironmentVariable(const char16_t* name, char16_t* out, int capacity) {
  const auto& env = TheHostMachine().environment;
  const auto it = name ? env.find(HostFoldCase(name)) : env.end();
  if (it == env.end()) {
    PlatformSetLastError(203);  // ERROR_ENVVAR_NOT_FOUND
    return 0;
  }
  return HostCopyOut(it->second, out, capacity);
}

uint32_t PlatformGetWindowsDirectory(char16_t* out, int capacity) {
  return HostCopyOut(TheHostMachine().windowsFolder, out, capacity);
}

WindowHandle PlatformGetActiveWindow() {
  void* active = TheHostMachine().activeWindow;
  return active ? active : HostActiveDialog();
}
