// What a folder tree holds, for checks that a run changed nothing it must not touch, and the
// hostile folders those checks extract into.
//
// A snapshot walks the tree without following symbolic links and records, per path, what
// lstat and readlink tell: the kind, permission bits, size and modification time, a link's
// target, and (when asked) a file's bytes. Times and permissions are part of it because a
// writer fooled by a planted link may leave the bytes alone and still set a time or an
// attribute through it. One folder below the root can be left out (the folder the run may
// write to): only its own kind is recorded, not what it holds or its times.
#pragma once
#include <map>
#include <string>
#include <vector>

// Relative path ('/' separated) -> one line describing it.
using TreeSnapshot = std::map<std::string, std::string>;

// The tree below `root` (the root itself not included). `skip` is a path relative to root
// whose content is left out, or "". `withContents` adds each regular file's bytes.
TreeSnapshot SnapshotTree(const std::string& root, const std::string& skip, bool withContents);

// The first path whose description differs between two snapshots, with both descriptions
// (contents abbreviated), or "" when they are the same.
std::string TreeDifference(const TreeSnapshot& before, const TreeSnapshot& after);

// Removes everything inside `folder` (the folder itself stays). Links are removed, never
// followed; read-only folders inside are made writable first.
void EmptyFolder(const std::string& folder);

// A link to plant: its name below the folder ('/' separated; missing parent folders are
// made as real folders) and the path it points to, which may not exist. A hard link
// (`hard`, to an existing file) catches a writer that opens an existing name and writes
// into it, which would change the file outside.
struct PlantedLink {
  std::string name;
  std::string target;
  bool hard = false;
};

// Creates the links; false when one cannot be made.
bool PlantLinks(const std::string& folder, const std::vector<PlantedLink>& links);
