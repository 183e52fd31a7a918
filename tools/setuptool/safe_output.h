// Writing files under a target folder so that nothing already on disk can redirect a write.
//
// An archive from anyone is extracted into a folder that may already hold anything, placed
// there by anyone: a symbolic link where the archive has a folder or a file, a folder where
// it has a file. Every path is therefore resolved one component at a time from an open
// handle of the target folder (openat with O_NOFOLLOW), never as a string: a link on the
// way is refused, and no later change of the tree can make a resolved handle point
// elsewhere. Each file is first written under a fresh temporary name in its folder and
// renamed over its real name only when it is complete and verified, so a failed or
// interrupted entry leaves whatever stood there before.
#pragma once
#include <string>
#include <vector>

// Opens (and creates when `create` is set) the folders parts[0..count) below the open
// folder `root`. Returns the handle of the last one (a new handle of root when count is 0),
// or -1 with `error` set: a component that is a symbolic link or not a folder, or one that
// cannot be made.
int OpenFolderPath(int root, const std::vector<std::string>& parts, size_t count, bool create,
                   std::string* error);

// A file being written under a temporary name in its folder.
struct PendingFile {
  int folder = -1;     // handle of the folder it goes into (the caller's, not closed here)
  int fd = -1;         // the temporary file, open for writing, owned
  std::string temp;    // its temporary name in folder
  std::string name;    // its real name in folder
};

// Creates a new, empty temporary file for `name` in `folder`, which must stay open until
// the file is committed or discarded. While it exists, an interrupting SIGINT, SIGTERM or SIGHUP removes it. False with
// `error` set when no temporary file can be created.
bool BeginPendingFile(int folder, const std::string& name, PendingFile* file, std::string* error);
// Renames the temporary file over the real name (a file or link of that name is replaced;
// a folder is not) and closes the file. False with `error` set, the temporary removed.
bool CommitPendingFile(PendingFile* file, std::string* error);
// Removes the temporary file and closes it; nothing when there is none.
void DiscardPendingFile(PendingFile* file);
// True when the folder's file system has no room left for a file of `more` further bytes.
bool FolderIsFull(int folder, unsigned long long more);
