// The product folder as setuptool pack sees it: the files under a folder (recursively),
// their names in the archive's code page, their times and attributes, and reading them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FolderFile {
  std::string path;         // host path of the file
  std::string relative;     // path below the folder, '/' separated, as the host spells it (UTF-8)
  std::string archiveName;  // the same in the archive's code page, '\' separated
  bool nameConverted = false;  // false when the name has characters the code page lacks
  uint64_t size = 0;
  uint32_t dosTime = 0;     // MS-DOS date and time of the last modification, local time
  uint32_t attributes = 0;  // Windows attribute bits: archive, read-only
};

// Collects the regular files under folder (following symbolic links to files, not to
// folders). Files whose device and inode equal `skipDevice`/`skipInode` (the output file)
// are left out. Returns false with `error` set when the folder cannot be read.
bool ListFolder(const std::string& folder, uint64_t skipDevice, uint64_t skipInode,
                std::vector<FolderFile>& files, std::string& error);

// Converts every relative name to the code page (e.g. 1252); false with `error` set when
// the system has no such code page.
bool ConvertNames(std::vector<FolderFile>& files, int codePage, std::string& error);

// Reads a whole file; false with `error` set on failure.
bool ReadFolderFile(const std::string& path, std::vector<uint8_t>& data, std::string& error);
