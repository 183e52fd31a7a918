// The file layer on the real Windows calls. Streams are the C runtime's (msvcrt) FILE,
// opened with _wfsopen so the share mode can be given; file times and attributes go through
// kernel32. char16_t and wchar_t are both UTF-16 code units here.
#include <windows.h>
#include <share.h>

#include <cstdio>

#include "system/file_io.h"

namespace {

FileStream* Wrap(FILE* file) { return reinterpret_cast<FileStream*>(file); }
FILE* File(FileStream* stream) { return reinterpret_cast<FILE*>(stream); }
LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

}  // namespace

FileStream* OpenReadStream(const char16_t* path) {
  if (!path) return nullptr;
  return Wrap(_wfsopen(W(path), L"rb", _SH_DENYWR));  // others may read, not write
}

FileStream* CreateOutputStream(const char16_t* path) {
  if (!path) return nullptr;
  // Nobody else may write the file while it is written (a process swapping its content).
  FILE* file = _wfsopen(W(path), L"w+b", _SH_DENYWR);
  // Unbuffered: a write the disk refuses must show in the count that write returns (and so
  // in the entry's checksum), not only in a close whose result nobody examines.
  if (file) setvbuf(file, nullptr, _IONBF, 0);
  return Wrap(file);
}

int32_t StreamRead(FileStream* stream, void* dest, int32_t count) {
  if (!stream || count <= 0) return 0;
  return static_cast<int32_t>(fread(dest, 1, static_cast<size_t>(count), File(stream)));
}

int32_t StreamWrite(FileStream* stream, const void* source, int32_t count) {
  if (!stream || count <= 0) return 0;
  return static_cast<int32_t>(fwrite(source, 1, static_cast<size_t>(count), File(stream)));
}

bool StreamSeek(FileStream* stream, int32_t offset, int origin) {
  if (!stream) return false;
  return fseek(File(stream), offset, origin == kSeekSet ? SEEK_SET : origin == kSeekEnd ? SEEK_END : SEEK_CUR) == 0;
}

int32_t StreamTell(FileStream* stream) {
  if (!stream) return -1;
  return static_cast<int32_t>(ftell(File(stream)));
}

void CloseStream(FileStream* stream) {
  if (stream) fclose(File(stream));
}

bool SetFileTimeFromDos(const char16_t* path, uint32_t dosDateTime) {
  HANDLE file = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME created, accessed, written, local;
  bool ok = GetFileTime(file, &created, &accessed, &written) != 0;
  if (ok) {
    // The DOS fields are local time; the file system keeps UTC.
    ok = DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) &&
         LocalFileTimeToFileTime(&local, &written) &&
         SetFileTime(file, &created, &accessed, &written);
  }
  CloseHandle(file);
  return ok;
}

bool SetFileAttributesTo(const char16_t* path, uint32_t attributes) {
  return SetFileAttributesW(W(path), attributes) != 0;
}

bool DeleteOutputFile(const char16_t* path) { return DeleteFileW(W(path)) != 0; }
