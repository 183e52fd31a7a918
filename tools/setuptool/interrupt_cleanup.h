// Removal of a half-written file when setuptool is interrupted.
//
// A file that is being written under a temporary name is registered here; SIGINT, SIGTERM
// and SIGHUP then remove it before the process ends with the signal's usual effect. The
// handler only calls unlinkat, which is safe in a signal handler, on a name prepared
// beforehand. One file at a time is registered.
#pragma once
#include <signal.h>

// Registers the file `name` in the folder handle `folder` (AT_FDCWD for a path relative to
// the current folder or an absolute path); name is copied, at most 4095 bytes.
void RegisterInterruptCleanup(int folder, const char* name);
// No file is registered any more; the signals keep the handler, which then does nothing.
void ClearInterruptCleanup();
// Removes the registered file now, if any, and clears the registration: for a run that ends
// by another way than a signal without reaching its own cleanup (out of memory).
void RemoveRegisteredFile();

// Besides that file, one private folder of a run's own (setuptool pack --sign's, where the
// signing command reads and writes): an interrupt removes the files of the given names in it
// (at most kInterruptFolderNames, each under 256 bytes), then the folder, and first ends the
// process group `child` (when not 0), so that nothing of it writes a further file there.
constexpr int kInterruptFolderNames = 4;
void RegisterInterruptFolder(const char* folder, const char* const* names, int count);
void SetInterruptChild(pid_t child);
void ClearInterruptFolder();

// Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that creating a file under a name
// chosen by the system (mkstemp) and registering that name happen as one step; a signal
// that arrived meanwhile is delivered when it ends.
struct InterruptsHeld {
  sigset_t old;
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};
