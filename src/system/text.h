// Bounded text and path operations, and the ANSI code-page conversions.
//
// Every wide text of the setup lives in a fixed-capacity buffer of char16_t (UTF-16 code
// units); a capacity counts characters, terminator included, so a buffer of capacity cap
// holds at most cap - 1 characters. These operations are the only way text is put into
// such buffers: none writes past the capacity, every result is terminated, and paths are
// cut and joined by one separator rule (a backslash or a slash separates; a backslash is
// what gets added). 8-bit text is in the ANSI code page of the system (Windows-1252 on
// the Linux stand-in).
#pragma once
#include <cstdint>

// Capacities used by the callers (characters, terminator included).
constexpr int kPathCapacity = 260;   // MAX_PATH
constexpr int kLinkCapacity = 512;   // composed link and target paths
constexpr int kNameCapacity = 32;    // names taken from the installation description

// Results of the append family; the values of ERROR_BUFFER_OVERFLOW and ERROR_INVALID_NAME.
constexpr int kTextDone = 0;
constexpr int kTextCut = 111;
constexpr int kTextNoRoom = 123;

int TextLength(const char16_t* text);  // 0 for an absent text
int CopyText(const char16_t* source, char16_t* dest, int capacity);
int AppendText(const char16_t* source, char16_t* dest, int capacity);
int AppendTextNarrow(const char* source, char* dest, int capacity);
void EnsureTrailingSeparator(char16_t* path, int capacity);
int JoinPath(const char16_t* name, char16_t* path, int capacity);
int StripToFolder(char16_t* path);
int FileNameOffset(const char16_t* path);
bool FileExists(const char16_t* path);
void MakeFullPath(char16_t* path);
void AnsiToWide(const char* source, char16_t* dest, int capacity);
void WideToAnsi(const char16_t* source, char* dest, int capacity);
void AppendAnsiAsWide(const char* source, char16_t* dest, int capacity);
// Whether two folder paths name the same folder: ASCII letter case, a trailing separator and
// the kind of separator do not count.
bool SameFolder(const char16_t* a, const char16_t* b);
