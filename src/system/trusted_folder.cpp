// A fresh folder under the temporary folder that an elevated program can trust (see
// trusted_folder.h).
#include "system/trusted_folder.h"

#include "system/file_ops.h"

namespace {

constexpr int kSidCapacity = 192;  // a SID as text: at most 15 sub-authorities of 10 digits
constexpr int kSddlCapacity = 96 + kSidCapacity;

// The temporary folder with a fresh random name appended; false when there is no temporary
// folder, no random name, or no room for it.
bool RandomTempName(char16_t* out) {
  out[0] = 0;
  const uint32_t length = PlatformGetTempPath(kPathCapacity, out);
  if (length == 0 || length >= uint32_t(kPathCapacity)) return false;
  EnsureTrailingSeparator(out, kPathCapacity);
  uint8_t bytes[kTrustedNameBytes];
  if (!PlatformRandomBytes(bytes, sizeof bytes)) return false;
  char16_t name[2 * kTrustedNameBytes + 1];
  for (int i = 0; i < kTrustedNameBytes; ++i) {
    name[2 * i] = u"0123456789abcdef"[bytes[i] >> 4];
    name[2 * i + 1] = u"0123456789abcdef"[bytes[i] & 15];
  }
  name[2 * kTrustedNameBytes] = 0;
  return AppendText(name, out, kPathCapacity) == kTextDone;
}

// Creates the folder under a fresh random name with the DACL and holds it: 0, or the error.
uint32_t CreateAndHold(const char16_t* sddl, TrustedFolder* folder) {
  uint32_t error = kErrorAlreadyExists;
  for (int attempt = 0; attempt < kTrustedFolderAttempts && error == kErrorAlreadyExists; ++attempt) {
    if (!RandomTempName(folder->path)) return kErrorCannotMake;
    if (PlatformCreateSecuredDirectory(folder->path, sddl)) {
      error = 0;
    } else {
      error = PlatformGetLastError();
      if (error == 0) error = kErrorCannotMake;
    }
  }
  if (error != 0) return error;
  folder->handle = PlatformHoldFolder(folder->path);
  if (!folder->handle) return PlatformGetLastError() ? PlatformGetLastError() : kErrorCannotMake;
  // What the handle opened must be the folder just made, not a link put in its place between
  // the creation and the opening.
  const uint32_t attributes = PlatformHandleAttributes(folder->handle);
  if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeDirectory) ||
      (attributes & kFileAttributeReparsePoint))
    return kErrorAccessDenied;
  return 0;
}

}  // namespace

bool ProtectedFolderSddl(const char16_t* userSid, char16_t* out, int capacity) {
  if (!userSid || !userSid[0] || capacity <= 0) return false;
  out[0] = 0;
  return AppendText(u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;", out, capacity) == kTextDone &&
         AppendText(userSid, out, capacity) == kTextDone && AppendText(u")", out, capacity) == kTextDone;
}

uint32_t MakeTrustedFolder(TrustedFolder* folder) {
  folder->path[0] = 0;
  folder->handle = nullptr;
  folder->elevated = PlatformIsElevated();
  if (!folder->elevated) {
    MakeTempFolderName(folder->path, kPathCapacity);
    return folder->path[0] ? 0 : kErrorCannotMake;
  }
  char16_t sid[kSidCapacity];
  char16_t sddl[kSddlCapacity];
  uint32_t error = kErrorCannotMake;
  if (PlatformUserSid(sid, kSidCapacity) > 0 && ProtectedFolderSddl(sid, sddl, kSddlCapacity))
    error = CreateAndHold(sddl, folder);
  if (error != 0) {
    ReleaseTrustedFolder(folder);
    folder->path[0] = 0;
  }
  return error;
}

void ReleaseTrustedFolder(TrustedFolder* folder) {
  PlatformCloseHandle(folder->handle);
  folder->handle = nullptr;
}
