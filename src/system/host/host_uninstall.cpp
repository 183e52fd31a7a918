// The uninstaller's calls on the stand-in: folders are removed for real, files a test marks
// as in use refuse deletion, deletion at restart is recorded, and there are no processes: a
// copy never runs, and PlatformRunCopy answers what a test set (by default that the copy could
// not start).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <string>

#include "system/host/host_control.h"
#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

bool HostFileInUse(const std::string& nativePath) {
  const std::vector<std::string>& inUse = TheHostMachine().filesInUse;
  return std::find(inUse.begin(), inUse.end(), nativePath) != inUse.end();
}

void HostSetFileInUse(const std::u16string& path, bool inUse) {
  std::vector<std::string>& files = TheHostMachine().filesInUse;
  const std::string native = HostNativePath(path.c_str());
  files.erase(std::remove(files.begin(), files.end(), native), files.end());
  if (inUse) files.push_back(native);
}

const std::vector<std::u16string>& HostDeletedAtRestart() { return TheHostMachine().deletedAtRestart; }

bool PlatformRemoveDirectory(const char16_t* path) {
  if (!path || rmdir(HostNativePath(path).c_str()) != 0) {
    PlatformSetLastError(errno == ENOTEMPTY || errno == EEXIST ? 145 : kErrorPathNotFound);  // ERROR_DIR_NOT_EMPTY
    return false;
  }
  return true;
}

void PlatformSleep(uint32_t) {}

// Real time, so that a delay measured with it passes as on Windows even though the
// stand-in's PlatformSleep returns at once.
uint32_t PlatformTickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

FileHandle PlatformCopyFileHeld(const char16_t* from, const char16_t* to) {
  const int in = open(HostNativePath(from).c_str(), O_RDONLY);
  if (in < 0) return nullptr;
  const int out = open(HostNativePath(to).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  bool copied = out >= 0;
  char buffer[65536];
  for (ssize_t n; copied && (n = read(in, buffer, sizeof buffer)) != 0;)
    copied = n > 0 && write(out, buffer, size_t(n)) == n;
  close(in);
  if (out >= 0) close(out);
  if (!copied) {
    PlatformSetLastError(out >= 0 ? kErrorAccessDenied : kErrorAlreadyExists);
    return nullptr;
  }
  return PlatformHoldFile(to);
}

bool PlatformDeleteAtRestart(const char16_t* path) {
  if (!path) return false;
  TheHostMachine().deletedAtRestart.push_back(path);
  return true;
}

int PlatformRunCopy(const char16_t*, const char16_t*, const char16_t*) {
  const int result = TheHostMachine().copyResult;
  if (result == kCopyNotStarted) PlatformSetLastError(kErrorFileNotFound);  // as CreateProcessW
  return result;
}
bool PlatformCopyArguments(char16_t* folder, int capacity) {
  if (folder && capacity > 0) folder[0] = 0;
  return false;
}
void PlatformReportToOriginal(int) {}
