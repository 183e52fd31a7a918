// The thin file layer under the archive reader and the extraction driver: byte streams
// opened with a share mode, and the few file-level calls an extracted file needs (its time,
// its attributes, its removal). Implemented twice: system/win32 on the real Windows calls,
// system/host on POSIX (paths mapped like the rest of the stand-in). The POSIX one is both
// the tests' stand-in and setuptool's production file layer (see system/host/host_paths.h).
#pragma once
#include <cstdint>

// An open byte stream; none is a null pointer.
struct FileStream;

constexpr int kSeekSet = 0;      // offset from the start of the file
constexpr int kSeekCurrent = 1;  // offset from the current position
constexpr int kSeekEnd = 2;      // offset from the end of the file

// Opens an existing file for reading ("rb"); others may read it but not write it.
FileStream* OpenReadStream(const char16_t* path);
// Creates or truncates a file for reading and writing ("w+b").
FileStream* CreateOutputStream(const char16_t* path);
// Reads up to count bytes; returns the number read (0 at the end of the file or on failure).
int32_t StreamRead(FileStream* stream, void* dest, int32_t count);
// Writes count bytes; returns the number the file accepted.
int32_t StreamWrite(FileStream* stream, const void* source, int32_t count);
// Moves the position; false when the position cannot be set (a negative offset, say).
bool StreamSeek(FileStream* stream, int32_t offset, int origin);
// The current position, or -1.
int32_t StreamTell(FileStream* stream);
// Closes a stream; does nothing for none.
void CloseStream(FileStream* stream);

// Sets the last-write time of an existing file from an MS-DOS date (high 16 bits) and time
// (low 16 bits) in local time, keeping its creation and last-access times. False when the
// file cannot be opened or its times cannot be read or written.
bool SetFileTimeFromDos(const char16_t* path, uint32_t dosDateTime);
// Sets the Windows attribute bits of a file (the stand-in maps read-only onto the write
// permission and ignores the other bits).
bool SetFileAttributesTo(const char16_t* path, uint32_t attributes);
// Deletes a file.
bool DeleteOutputFile(const char16_t* path);
