// The platform calls of the system layer: one narrow set of free functions, implemented
// twice and chosen at build time.
//
//   system/win32/  passes each call to the Windows function it is named after;
//   system/host/   the Linux stand-in: real folders and files under a root folder, the
//                  registry in files, shortcuts as small readable files, recorded messages.
//
// The logic of the system layer (text.cpp, destination.cpp, shortcuts.cpp, file_ops.cpp,
// messages.cpp) calls only these, so it runs unchanged on both. Each declaration says what
// the logic expects of the call; results, error codes and flags are the Windows ones.
#pragma once
#include <cstdint>

#include "system/window.h"

// --- Error codes, attributes and constants the logic compares with ---------------------
constexpr uint32_t kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr uint32_t kErrorPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
constexpr uint32_t kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr uint32_t kErrorCannotMake = 82;        // ERROR_CANNOT_MAKE
constexpr uint32_t kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
constexpr uint32_t kErrorAlreadyExists = 183;    // ERROR_ALREADY_EXISTS
constexpr uint32_t kErrorMoreData = 234;         // ERROR_MORE_DATA
constexpr uint32_t kErrorProcessAborted = 1067;  // ERROR_PROCESS_ABORTED
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeReparsePoint = 0x400;  // a symbolic link or junction: not followed

// --- Code-page conversion (MultiByteToWideChar / WideCharToMultiByte, CP_ACP, flags 0) --
// The source is read up to and including its terminator. At most `room` units are written;
// when the whole text does not fit, the call writes what fits and returns 0. With room 0
// nothing is written and the needed size is returned.
int PlatformAnsiToWide(const char* source, char16_t* dest, int room);
int PlatformWideToAnsi(const char16_t* source, char* dest, int room);
// WideCharToMultiByte(CP_UTF8) of the text without its terminator: the bytes written, 0 when
// they do not fit (a lone surrogate becomes U+FFFD).
int PlatformWideToUtf8(const char16_t* source, char* dest, int room);

// --- Files and folders (kernel32) ------------------------------------------------------
// GetFileAttributesW: the attributes of the path's last component itself (a link's own,
// with kFileAttributeReparsePoint), or kInvalidFileAttributes.
uint32_t PlatformGetFileAttributes(const char16_t* path);
// GetFullPathNameW: length of the absolute form on success; when it needs more room than
// `capacity`, the size needed (terminator included) and the buffer is left as it was.
uint32_t PlatformGetFullPathName(const char16_t* path, int capacity, char16_t* out);
bool PlatformCreateDirectory(const char16_t* path);
bool PlatformMoveFile(const char16_t* from, const char16_t* to);
// GetTempPath2W where kernel32 has it (looked up at run time), else GetTempPathW: the
// temporary folder ending in a backslash; its length, or 0. The two differ only for a
// process of the system account, which GetTempPath2W sends to a folder of its own.
uint32_t PlatformGetTempPath(int capacity, char16_t* out);
uint32_t PlatformGetLastError();
void PlatformSetLastError(uint32_t code);

// --- Folders an elevated program trusts (kernel32, advapi32) ----------------------------
// A program with administrator rights that puts files into the user's temporary folder and
// then runs or moves them must keep every process of the user from changing them in between:
// see system/trusted_folder.h for the rules built on these calls.
using FileHandle = void*;  // an open file or folder; none is null
// GetTokenInformation(TokenElevation) of the process token: true when the program runs with
// the full administrator token. False where the system has no such class (before Vista) or
// the token cannot be read.
bool PlatformIsElevated();
// RtlGenRandom (advapi32 SystemFunction036): `size` bytes from the system's cryptographic
// random generator; false when it gave none.
bool PlatformRandomBytes(void* out, uint32_t size);
// ConvertSidToStringSidW of the process token's user (TokenUser): its length, or 0.
int PlatformUserSid(char16_t* out, int capacity);
// CreateDirectoryW with the security descriptor of an SDDL text
// (ConvertStringSecurityDescriptorToSecurityDescriptorW, revision 1). Fails with
// kErrorAlreadyExists when anything has the name, a link included: a link is never followed.
bool PlatformCreateSecuredDirectory(const char16_t* path, const char16_t* sddl);
// CreateFileW on a folder itself (FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
// so a link is opened as itself), sharing reading and writing but not deletion: while the
// handle is held, nobody can rename or remove the folder. None on failure.
FileHandle PlatformHoldFolder(const char16_t* path);
// CreateFileW(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING) on a file
// itself (FILE_FLAG_OPEN_REPARSE_POINT): while held, nobody can open it for writing (and the
// open fails while someone has it open for writing); it may still be read, moved and deleted.
FileHandle PlatformHoldFile(const char16_t* path);
// GetFileInformationByHandle: the attributes of what the handle opened, or
// kInvalidFileAttributes.
uint32_t PlatformHandleAttributes(FileHandle handle);
// CloseHandle; does nothing for none.
void PlatformCloseHandle(FileHandle handle);

// --- Machine information ---------------------------------------------------------------
uint16_t PlatformGetSystemDefaultLangId();
// GetEnvironmentVariableW: the value's length; 0 (and the buffer untouched) when unset;
// the size needed when the value does not fit.
uint32_t PlatformGetEnvironmentVariable(const char16_t* name, char16_t* out, int capacity);
uint32_t PlatformGetWindowsDirectory(char16_t* out, int capacity);
// GetLocalTime: today's local date as the number YYYYMMDD.
uint32_t PlatformLocalDate();

// --- Registry (advapi32) ---------------------------------------------------------------
enum class RegistryRoot { CurrentUser, LocalMachine };
using RegistryKey = void*;
constexpr uint32_t kKeyRead = 0x20019;   // KEY_READ
constexpr uint32_t kKeyWrite = 0x20006;  // KEY_WRITE
constexpr uint32_t kRegSz = 1;           // REG_SZ

// Results are Windows error codes, 0 on success.
long PlatformRegOpenKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key);
// Opens the key, creating it and its missing parents (non-volatile, no class, default security).
long PlatformRegCreateKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key);
// Copies a value's data into `data` of *size bytes; fails (kErrorMoreData) when larger and
// (kErrorFileNotFound) when missing. *size becomes the data's size.
long PlatformRegQueryValue(RegistryKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size);
long PlatformRegSetValue(RegistryKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size);
void PlatformRegCloseKey(RegistryKey key);

// --- Shell item lists (shell32) --------------------------------------------------------
// An item identifier list as the shell hands it out; freed with PlatformFreeItemList (the
// shell allocator's Free).
using ItemList = void*;
// SHGetSpecialFolderLocation (no owner): the list of a special folder, or null.
ItemList PlatformSpecialFolderLocation(int csidl);
// The desktop folder's ParseDisplayName: the list of a path, or null when it cannot be parsed
// (for example because the folder does not exist).
ItemList PlatformParseDisplayName(WindowHandle owner, const char16_t* path);
// SHGetPathFromIDListW into a buffer of 260 characters; false when the list has no path.
bool PlatformPathFromItemList(ItemList list, char16_t* out);
void PlatformFreeItemList(ItemList list);
// SHBrowseForFolderW with BIF_RETURNONLYFSDIRS and no title; when `initialSelection` is
// given, the browse callback selects it on BFFM_INITIALIZED. The chosen folder's list, or
// null when the user cancelled.
ItemList PlatformBrowseForFolder(WindowHandle owner, ItemList initialSelection);

// --- Shell links (ole32, IShellLinkW + IPersistFile) -----------------------------------
// Creates the shell link object, sets target, working directory and show command, and saves
// it to linkPath (fRemember TRUE). The result of the object's last call (0 = S_OK).
long PlatformCreateShellLink(const char16_t* linkPath, const char16_t* target,
                             const char16_t* workingDirectory, int showCommand);

// --- Shell file operation (SHFileOperationW) ---------------------------------------------
constexpr unsigned kFoMove = 1;
constexpr unsigned kFoDelete = 3;
constexpr uint16_t kFofNoConfirmation = 0x0010;
constexpr uint16_t kFofSilent = 0x0004;          // no progress window
constexpr uint16_t kFofNoConfirmMkdir = 0x0200;
constexpr uint16_t kFofNoErrorUi = 0x0400;       // no message box for an error
// `from` and `to` are lists of one path ended by two terminators (`to` may be null).
// Returns the call's result (0 = success); *aborted tells whether the user cancelled.
int PlatformShellFileOperation(WindowHandle owner, unsigned function, const char16_t* from,
                               const char16_t* to, uint16_t flags, bool* aborted);

// --- Messages (kernel32 FormatMessageW, user32) ----------------------------------------
// FormatMessageW with FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, language
// 0x0400: the text's length and the allocated text in *text, or 0 when the system has none.
uint32_t PlatformFormatSystemMessage(uint32_t code, char16_t** text);
void PlatformLocalFree(void* memory);
WindowHandle PlatformGetActiveWindow();
int PlatformMessageBox(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type);

// --- What the uninstaller needs beyond the setup's calls -------------------------------
// RemoveDirectoryW: removes an empty folder only; false for one that holds anything.
bool PlatformRemoveDirectory(const char16_t* path);
// RegDeleteKeyW: a key without sub-keys. A Windows error code, 0 on success.
long PlatformRegDeleteKey(RegistryRoot root, const char16_t* subKey);
// RegDeleteValueW on a key opened with KEY_SET_VALUE.
long PlatformRegDeleteValue(RegistryKey key, const char16_t* name);
// RegQueryInfoKeyW: true when the key exists and holds neither values nor sub-keys.
bool PlatformRegKeyIsEmpty(RegistryRoot root, const char16_t* subKey);
// The shell link object loaded from a link file (IPersistFile::Load, read only), its
// target path (IShellLinkW::GetPath, raw) in a buffer of 260 characters. 0 on success;
// the target is empty on failure.
long PlatformReadShellLink(const char16_t* linkPath, char16_t* target);
// Sleep.
void PlatformSleep(uint32_t milliseconds);
// GetTickCount: milliseconds since the system started (wrapping after 49 days).
uint32_t PlatformTickCount();

// --- The uninstaller's run from a copy of itself (kernel32) ----------------------------
// The uninstaller cannot delete its own running file, so it copies itself into a folder of
// its own under the temporary folder and lets the copy do the work. The original waits for
// the copy's result, so that whoever started the original learns the outcome; the copy waits
// for the original to end and then deletes the original's file.
//
// Copies `from` into a new file `to` (CREATE_NEW: fails when `to` exists) written with sharing
// for reading only, reopens it for reading with sharing for reading only, and compares it
// through that handle with the source byte for byte. Returns that handle, which keeps anyone
// from writing, renaming or deleting the copy while it is held (and lets the copy be started),
// or none on any failure (the last error set).
FileHandle PlatformCopyFileHeld(const char16_t* from, const char16_t* to);
// MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT): the file, or an empty folder, is
// deleted when the system next starts.
bool PlatformDeleteAtRestart(const char16_t* path);
// Starts the copy (CreateProcessW) with the installation folder, a pipe to report on and,
// behind them, the original's own switches (the copy reads them as the original did);
// waits for the byte the copy reports and returns it; kCopyNotStarted when the copy could
// not start (nothing ran), kCopySilent when it started but ended without reporting (what it
// did is unknown).
constexpr int kCopyNotStarted = -1;
constexpr int kCopySilent = -2;
int PlatformRunCopy(const char16_t* copyPath, const char16_t* folder, const char16_t* switches);
// In the copy: true when this process was started by PlatformRunCopy, with the folder it was
// given (capacity characters). The original process is opened at once, so that waiting for
// it later cannot reach another process that took its number.
bool PlatformCopyArguments(char16_t* folder, int capacity);
// In the copy: hands the result to the original (which then ends) and waits up to 30 s for
// the original's process to end, so that its file can be deleted.
void PlatformReportToOriginal(int result);

// --- Where DLLs are loaded from (kernel32) -----------------------------------------------
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), looked up at run time, and
// SetDllDirectoryW(L""); then LoadLibraryExW by full path from the system folder for the few
// DLLs that system DLLs load by name later (theming and the like). Called first by each
// program's entry, before anything that may load a DLL: from then on, DLLs loaded by name, and
// the DLLs they import, come from the system folder (or from the side-by-side assemblies the
// manifest names), never from the program's own folder or the current folder, where a hostile
// DLL may have been planted. Returns false where the system lacks SetDefaultDllDirectories
// (Windows before 8, and 7 or Vista without update KB2533623): there the current folder is
// out of the search and the DLLs loaded from the system folder are safe, but the program's
// folder still comes first for any other DLL that is not on the known-DLL list.
bool PlatformRestrictLibrarySearch();
