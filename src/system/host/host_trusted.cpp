// Folders an elevated program trusts, on the stand-in: elevation is a setting, the random
// generator reads queued bytes first (so tests can name the folder to come), a folder's
// security descriptor is recorded as the SDDL it was made with, and held handles are real
// file descriptors (a link opened as itself, O_PATH | O_NOFOLLOW), counted until closed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "system/host/host_control.h"
#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

FileHandle HandleOf(int fd) {
  if (fd < 0) {
    PlatformSetLastError(errno == ENOENT ? kErrorFileNotFound : kErrorAccessDenied);
    return nullptr;
  }
  ++TheHostMachine().heldHandles;
  return reinterpret_cast<FileHandle>(intptr_t(fd) + 1);
}

int DescriptorOf(FileHandle handle) { return int(reinterpret_cast<intptr_t>(handle) - 1); }

}  // namespace

void HostSetElevated(bool on) { TheHostMachine().elevated = on; }
void HostQueueRandomBytes(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t>& queue = TheHostMachine().randomBytes;
  queue.insert(queue.end(), bytes.begin(), bytes.end());
}
std::u16string HostFolderSecurity(const std::u16string& path) {
  const auto& security = TheHostMachine().folderSecurity;
  const auto found = security.find(HostNativePath(path.c_str()));
  return found == security.end() ? std::u16string() : found->second;
}
int HostHeldHandles() { return TheHostMachine().heldHandles; }
void HostSetCopyResult(int result) { TheHostMachine().copyResult = result; }

bool PlatformIsElevated() { return TheHostMachine().elevated; }

bool PlatformRandomBytes(void* out, uint32_t size) {
  auto* bytes = static_cast<uint8_t*>(out);
  std::vector<uint8_t>& queue = TheHostMachine().randomBytes;
  uint32_t i = 0;
  for (; i < size && !queue.empty(); ++i) {
    bytes[i] = queue.front();
    queue.erase(queue.begin());
  }
  if (i == size) return true;
  const int random = open("/dev/urandom", O_RDONLY);
  const bool ok = random >= 0 && read(random, bytes + i, size - i) == ssize_t(size - i);
  if (random >= 0) close(random);
  return ok;
}

int PlatformUserSid(char16_t* out, int capacity) {
  const std::u16string sid = kHostUserSid;
  if (int(sid.size()) >= capacity) return 0;
  sid.copy(out, sid.size());
  out[sid.size()] = 0;
  return int(sid.size());
}

bool PlatformCreateSecuredDirectory(const char16_t* path, const char16_t* sddl) {
  const std::string native = HostNativePath(path);
  // mkdir fails for any existing name, a dangling link included, and never follows one.
  if (mkdir(native.c_str(), 0755) != 0) {
    PlatformSetLastError(errno == EEXIST ? kErrorAlreadyExists : kErrorPathNotFound);
    return false;
  }
  TheHostMachine().folderSecurity[native] = sddl;
  return true;
}

FileHandle PlatformHoldFolder(const char16_t* path) {
  return HandleOf(open(HostNativePath(path).c_str(), O_PATH | O_NOFOLLOW));
}

FileHandle PlatformHoldFile(const char16_t* path) {
  return HandleOf(open(HostNativePath(path).c_str(), O_PATH | O_NOFOLLOW));
}

uint32_t PlatformHandleAttributes(FileHandle handle) {
  struct stat st;
  if (!handle || fstat(DescriptorOf(handle), &st) != 0) return kInvalidFileAttributes;
  if (S_ISLNK(st.st_mode)) return kFileAttributeReparsePoint;
  return S_ISDIR(st.st_mode) ? kFileAttributeDirectory : 0x20;  // ARCHIVE
}

void PlatformCloseHandle(FileHandle handle) {
  if (!handle) return;
  close(DescriptorOf(handle));
  --TheHostMachine().heldHandles;
}
