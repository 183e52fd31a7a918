// setuptool pack: the payload's files handed to the archive writer all together, so that
// the compressor can work across them on every thread. A product may have thousands of
// files, so none is held open for long: each is opened when the compressor first reads it
// and closed after its last byte (again, should a stored entry need it read once more).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "pack/archive_writer.h"
#include "pack_folder.h"
#include "pack_progress.h"

// A file of the payload under its archive name.
struct PayloadFile {
  const FolderFile* file;
  std::string name;
};

// Packs the files in order, showing each on the progress bar and counting those stored; 0
// when done, else the exit code with `error` set (naming the file that failed).
int PackPayloadFiles(ArchiveWriter& writer, const ListedFolder& folder, const std::vector<PayloadFile>& files,
                     ProgressBar& bar, size_t& storedCount, std::string& error);
