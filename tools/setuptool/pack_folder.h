// The product folder as setuptool pack sees it: the files under a folder (recursively),
// their names in the archive's code page, their times and attributes, and reading them.
//
// What the walk takes and what it leaves, and says so:
//   - regular files, and folders, recursively; an empty folder is listed as such;
//   - symbolic links that stay inside the folder are followed (to files and to folders);
//     one that leads outside it is refused: the setup would carry a file the publisher
//     may not know is there. A link to a folder that holds it would repeat forever and is
//     left out with a warning;
//   - FIFOs, sockets and device nodes are left out with a warning;
//   - a name holding '\' is refused: the setup program reads it as a folder separator;
//   - setuptool pack's own output and temporary file are left out, and so are files in the
//     output's folder named like a temporary file of it (OUT.XXXXXX, left by an earlier
//     run that was killed), with a warning;
//   - a file with hard links outside the folder is taken, with a warning: the setup
//     carries what it holds when packed, whatever changes it through its other names.
//
// Between listing and reading, the folder may change under pack's feet (another program,
// or someone who wants a file from outside in the setup). So the folder is held by a
// handle (ListedFolder) for the whole pack, and the walk and every later open go from that
// handle one name at a time, never following a symbolic link: a link is resolved once,
// while listing, and its file is opened by the path it resolved to. An opened file must be
// the one listed (device and inode), or the pack stops. Only the root handle stays open:
// every open walks down from it again, so a deep tree cannot exhaust the descriptors.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "payload/payload_rules.h"

// MS-DOS date and time (local time) of a file time, as the archive stores it.
uint32_t DosTimeOf(time_t t);

struct FolderFile {
  std::string path;         // host path of the file, as walked (for an entry pack made: its source)
  std::string relative;     // path below the folder, '/' separated, as the host spells it (UTF-8)
  std::string resolved;     // the same with every symbolic link resolved: what is opened
  uint64_t device = 0, inode = 0;  // of the file listed; the file opened must have the same
  uint64_t linkCount = 1;          // its names (hard links), wherever they are
  std::string archiveName;  // the same in the archive's code page, '\' separated
  bool nameConverted = false;  // false when the name has characters the code page lacks
  bool nameIsUtf8 = true;      // false when the host name is not UTF-8 at all
  uint64_t size = 0;
  uint32_t dosTime = 0;     // MS-DOS date and time of the last modification, local time
  uint32_t attributes = 0;  // Windows attribute bits: archive, read-only
  const std::vector<uint8_t>* content = nullptr;  // set for an entry made by pack itself:
                                                  // its bytes, instead of the file at `path`
  bool emptyFolder = false;  // an empty folder below the top: a folder entry, packed only for
                             // a product that keeps its folders
};

// Files the walk must not take in: pack's own output and temporary file (by device and
// inode; ~0 when there is none), and names in the output's folder that look like a
// temporary file of the output ("<outputBase>.XXXXXX").
struct FolderSkips {
  uint64_t outputDevice = ~0ull, outputInode = ~0ull;
  uint64_t tempDevice = ~0ull, tempInode = ~0ull;
  uint64_t outputFolderDevice = ~0ull, outputFolderInode = ~0ull;
  std::string outputBase;
};

// The product folder while it is packed: a handle on it, closed when this goes away.
struct ListedFolder {
  int root = -1;
  ListedFolder() = default;
  ListedFolder(const ListedFolder&) = delete;
  ListedFolder& operator=(const ListedFolder&) = delete;
  ~ListedFolder();
};

// Opens folder into `listed` and collects the regular files under it. What is left out or
// refused is added to `notes` (warnings and errors, the names in them ready for the
// terminal). Returns false with `error` set when the folder cannot be read.
bool ListFolder(const std::string& folder, const FolderSkips& skips, ListedFolder& listed,
                std::vector<FolderFile>& files, std::vector<PayloadIssue>& notes, std::string& error);

// Opens a file that ListFolder listed, below `listed`'s handle by its resolved path, with no
// link followed and without blocking; -1 with `error` set ("NAME: why") when it cannot be
// opened or is no longer the file that was listed. `size` gets its size.
int OpenListedFile(const ListedFolder& listed, const FolderFile& file, uint64_t& size, std::string& error);

// Reads a whole listed file (of at most `limit` bytes) as OpenListedFile opens it; false
// with `error` set.
bool ReadListedFile(const ListedFolder& listed, const FolderFile& file, std::vector<uint8_t>& data,
                    std::string& error, uint64_t limit = 0x7FFFFFFF);

// True when `name` is `base` followed by "." and six letters or digits, as mkstemp makes them.
bool IsTemporaryNameOf(const std::string& name, const std::string& base);

// Converts every relative name to the code page (e.g. 1252); false with `error` set when
// the system has no such code page or when it is not a single-byte code page.
bool ConvertNames(std::vector<FolderFile>& files, int codePage, std::string& error);

// Opens a file the user named (it may be a link) for reading without blocking on a FIFO;
// -1 with `error` set when it cannot be opened or is not a regular file. `size` gets its size.
int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error);

// Reads a whole file (a regular file of at most `limit` bytes); false with `error` set.
bool ReadFolderFile(const std::string& path, std::vector<uint8_t>& data, std::string& error,
                    uint64_t limit = 0x7FFFFFFF);

// A file read piece by piece as an entry's source (PackSource): `fd` from OpenRegularFile
// or OpenListedFile.
struct FolderFileReader {
  int fd = -1;
  int error = 0;  // errno of a failed read; 0 when the file had become shorter
};
int ReadFolderFilePiece(void* reader, uint64_t offset, uint8_t* bytes, size_t count);
