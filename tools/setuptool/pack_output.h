// The file setuptool pack writes: the output name is checked first, the setup is written
// to a temporary file beside it, and only a complete file is renamed over the name.
//
// What the output name may be: a new name, or an existing regular file, which is replaced.
// Anything else that exists under the name is refused, and nothing is written: a device
// node (replacing /dev/null, as root, with a file would break the system), a FIFO, a
// folder, or a symbolic link (whose target the rename would not write to: it would
// replace the link). A replaced file keeps its permission bits; when it has other names
// (hard links) they keep the old content, which the user is told. SIGINT, SIGTERM and
// SIGHUP remove the temporary file.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "pack/pack_io.h"

struct PackOutput {
  std::string path;                 // the output as given
  bool exists = false;              // a regular file of that name is there
  uint64_t device = ~0ull, inode = ~0ull;  // of that file
  mode_t mode = 0644;               // permission bits the finished file gets
  uint64_t otherNames = 0;          // further hard links of the existing file
  std::string folder;               // the output's folder ("." for a bare name)
  std::string baseName;             // the output's name in that folder
  uint64_t folderDevice = ~0ull, folderInode = ~0ull;
  std::string temp;                 // the temporary file while it exists
  uint64_t tempDevice = ~0ull, tempInode = ~0ull;
  FILE* file = nullptr;             // open on the temporary file
  uint64_t archiveStart = 0;        // bytes before the archive (the stub)
};

// Looks at what the output name is now. Returns false with `error` set when it must not be
// written.
bool CheckOutputName(const std::string& path, PackOutput& out, std::string& error);

// Creates the temporary file beside the output, removed by an interrupt from then on.
bool CreateOutputTemp(PackOutput& out, std::string& error);

// The archive's sink into the temporary file, from `out.archiveStart` on; it can go back.
PackSink OutputSink(PackOutput& out);

// Writes all, gives the file its permission bits and renames it over the output name.
// False with `error` set (the temporary file removed).
bool FinishOutput(PackOutput& out, std::string& error);

// Removes the temporary file, if any.
void DiscardOutput(PackOutput& out);
