// The file layer on POSIX for the Linux stand-in. Paths go through HostNativePath, so a
// drive-letter path lands under the stand-in's root folder and any other path is used as it
// is (with its backslashes turned into slashes). Share modes have no POSIX counterpart and
// are not emulated.
#include "system/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <new>
#include <string>

#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

// A FileStream is the C runtime's FILE with the buffer it reads through.
struct FileStream {
  FILE* file;
  char* buffer;
};

namespace {

// The C runtime's own buffer is one 4 KiB block, so the decoder's 8 KiB reads of packed bytes
// became two system calls each; a read stream gets a larger one (a seek lands inside it
// where it can).
constexpr size_t kReadBuffer = 64 * 1024;

FileStream* Wrap(FILE* file, char* buffer) {
  FileStream* stream = file ? new (std::nothrow) FileStream{file, buffer} : nullptr;
  if (!stream) {
    if (file) std::fclose(file);
    delete[] buffer;
  }
  return stream;
}

FILE* File(FileStream* stream) { return stream->file; }

}  // namespace

FileStream* OpenReadStream(const char16_t* path) {
  if (!path) return nullptr;
  FILE* file = std::fopen(HostNativePath(path).c_str(), "rb");
  char* buffer = file ? new (std::nothrow) char[kReadBuffer] : nullptr;
  if (buffer) std::setvbuf(file, buffer, _IOFBF, kReadBuffer);
  return Wrap(file, buffer);
}

FileStream* CreateOutputStream(const char16_t* path) {
  if (!path) return nullptr;
  FILE* file = std::fopen(HostNativePath(path).c_str(), "w+b");
  // Unbuffered: a write the disk refuses must show in the count that write returns (and so
  // in the entry's checksum), not only in a close whose result nobody examines. Output
  // arrives in runs of up to 1 MB, so this costs nothing.
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return Wrap(file, nullptr);
}

int32_t StreamRead(FileStream* stream, void* dest, int32_t count) {
  if (!stream || count <= 0) return 0;
  return static_cast<int32_t>(std::fread(dest, 1, static_cast<size_t>(count), File(stream)));
}

int32_t StreamWrite(FileStream* stream, const void* source, int32_t count) {
  if (!stream || count <= 0) return 0;
  return static_cast<int32_t>(std::fwrite(source, 1, static_cast<size_t>(count), File(stream)));
}

bool StreamSeek(FileStream* stream, int32_t offset, int origin) {
  if (!stream) return false;
  return std::fseek(File(stream), offset, origin == kSeekSet ? SEEK_SET : origin == kSeekEnd ? SEEK_END : SEEK_CUR) == 0;
}

int32_t StreamTell(FileStream* stream) {
  if (!stream) return -1;
  long at = std::ftell(File(stream));
  return (at < 0 || at > 0x7FFFFFFFL) ? -1 : static_cast<int32_t>(at);
}

void CloseStream(FileStream* stream) {
  if (!stream) return;
  std::fclose(stream->file);
  delete[] stream->buffer;
  delete stream;
}

bool SetFileTimeFromDos(const char16_t* path, uint32_t dosDateTime) {
  if (!path) return false;
  const std::string native = HostNativePath(path);
  // The DOS fields in local time, as DosDateTimeToFileTime reads them (seconds in units of
  // two); mktime turns local time into the system's time, as LocalFileTimeToFileTime does.
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  struct tm local = {};
  local.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  local.tm_mday = static_cast<int>(date & 0x1F);
  local.tm_hour = static_cast<int>((time >> 11) & 0x1F);
  local.tm_min = static_cast<int>((time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>(time & 0x1F) * 2;
  local.tm_isdst = -1;
  // DosDateTimeToFileTime refuses fields out of range; so does this layer.
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_hour > 23 ||
      local.tm_min > 59 || local.tm_sec > 59)
    return false;
  const time_t when = mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // last access kept as it was
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, native.c_str(), times, 0) == 0;
}

bool SetFileAttributesTo(const char16_t* path, uint32_t attributes) {
  if (!path) return false;
  const std::string native = HostNativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return false;
  const mode_t old = st.st_mode & 07777;
  mode_t mode = old;
  if (attributes & 0x01)  // FILE_ATTRIBUTE_READONLY: nobody may write
    mode &= static_cast<mode_t>(~0222);
  else
    mode |= S_IWUSR;
  // Most extracted files keep the mode they were created with: no call for those.
  return mode == old || chmod(native.c_str(), mode) == 0;
}

bool DeleteOutputFile(const char16_t* path) {
  if (!path) return false;
  const std::string native = HostNativePath(path);
  if (HostFileInUse(native)) {
    PlatformSetLastError(32);  // ERROR_SHARING_VIOLATION
    return false;
  }
  return unlink(native.c_str()) == 0;
}
