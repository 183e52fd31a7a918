// Files and folders on the stand-in: the kernel32 calls the system layer needs, carried out
// on real files under the root folder (see host_paths.h), with Windows' results and error
// codes.
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

thread_local uint32_t tLastError = 0;

uint32_t ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return kErrorPathNotFound;
    case EEXIST:
    case ENOTEMPTY: return kErrorAlreadyExists;
    case EACCES:
    case EPERM:
    case EROFS: return kErrorAccessDenied;
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    default: return 31;             // ERROR_GEN_FAILURE
  }
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// `head` followed by the components of `rest`, with "." and ".." folded out.
std::u16string FoldDots(const std::u16string& head, const std::u16string& rest) {
  std::vector<std::u16string> parts;
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = pos;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::u16string part = rest.substr(pos, end - pos);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (part != u"." && !part.empty()) {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::u16string out = head;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += u'\\';
    out += parts[i];
  }
  // A trailing separator of the input survives, as in GetFullPathNameW.
  if (!rest.empty() && IsSeparator(rest.back()) && !parts.empty()) out += u'\\';
  return out;
}

}  // namespace

uint32_t PlatformGetLastError() { return tLastError; }
void PlatformSetLastError(uint32_t code) { tLastError = code; }

uint32_t PlatformGetFileAttributes(const char16_t* path) {
  struct stat st, own;
  const std::string native = path ? HostNativePath(path) : std::string();
  if (!path || !path[0] || stat(native.c_str(), &st) != 0) {
    PlatformSetLastError(errno == ENOTDIR ? kErrorPathNotFound : kErrorFileNotFound);
    return kInvalidFileAttributes;
  }
  uint32_t attributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : 0x20;  // ARCHIVE
  if (!(st.st_mode & S_IWUSR)) attributes |= 0x01;                            // READONLY
  // A symbolic link stands for a Windows link or junction, which is a reparse point.
  if (lstat(native.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) attributes |= kFileAttributeReparsePoint;
  return attributes;
}

uint32_t PlatformGetFullPathName(const char16_t* path, int capacity, char16_t* out) {
  if (!path || !path[0]) {
    PlatformSetLastError(123);
    return 0;
  }
  const std::u16string text(path);
  std::u16string full;
  const bool drive = text.size() >= 2 && text[1] == u':';
  if (drive && text.size() >= 3 && IsSeparator(text[2])) {
    full = FoldDots(text.substr(0, 2) + u"\\", text.substr(3));
  } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    full = FoldDots(u"\\\\", text.substr(2));  // a UNC name stays a UNC name
  } else {
    const std::u16string& current = TheHostMachine().currentDirectory;
    const std::u16string currentDrive = current.substr(0, 2);
    if (drive) {  // "X:name" is relative to the drive's root on the stand-in
      full = FoldDots(text.substr(0, 2) + u"\\", text.substr(2));
    } else if (IsSeparator(text[0])) {
      full = FoldDots(currentDrive + u"\\", text.substr(1));
    } else {
      full = FoldDots(currentDrive + u"\\", current.substr(3) + u"\\" + text);
    }
  }
  return HostCopyOut(full, out, capacity);
}

bool PlatformCreateDirectory(const char16_t* path) {
  if (!path || !path[0]) {
    PlatformSetLastError(kErrorPathNotFound);
    return false;
  }
  const std::string native = HostNativePath(path);
  if (mkdir(native.c_str(), 0777) == 0) return true;
  PlatformSetLastError(ErrorFromErrno(errno));
  return false;
}

bool PlatformMoveFile(const char16_t* from, const char16_t* to) {
  if (!from || !to) {
    PlatformSetLastError(kErrorFileNotFound);
    return false;
  }
  const std::string source = HostNativePath(from);
  const std::string target = HostNativePath(to);
  struct stat st;
  if (lstat(source.c_str(), &st) != 0) {
    PlatformSetLastError(kErrorFileNotFound);
    return false;
  }
  if (lstat(target.c_str(), &st) == 0) {  // MoveFileW never replaces
    PlatformSetLastError(kErrorAlreadyExists);
    return false;
  }
  if (rename(source.c_str(), target.c_str()) != 0) {
    PlatformSetLastError(ErrorFromErrno(errno));
    return false;
  }
  return true;
}

uint32_t PlatformGetTempPath(int capacity, char16_t* out) {
  return HostCopyOut(TheHostMachine().tempFolder, out, capacity);
}
