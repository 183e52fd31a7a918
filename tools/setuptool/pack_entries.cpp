// setuptool pack: the payload's files handed to the archive writer together (see
// pack_entries.h).
#include "pack_entries.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "commands.h"
#include "terminal_text.h"

namespace {

// A file read through the writer: opened on its first read, closed after its last byte.
struct LazyFile {
  const ListedFolder* folder = nullptr;
  const FolderFile* file = nullptr;
  int fd = -1;
  int error = 0;          // errno of a failed read; 0 when the file had become shorter
  std::string openError;  // why it could not be opened
  ~LazyFile() {
    if (fd >= 0) close(fd);
  }
};

int ReadLazyFile(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  LazyFile& f = *static_cast<LazyFile*>(user);
  if (f.fd < 0) {
    uint64_t size = 0;
    f.fd = OpenListedFile(*f.folder, *f.file, size, f.openError);
    if (f.fd < 0) return 1;
    f.openError.clear();
    if (size != f.file->size) {  // it changed since it was listed
      close(f.fd);
      f.fd = -1;
      return 1;
    }
  }
  FolderFileReader reader;
  reader.fd = f.fd;
  const int result = ReadFolderFilePiece(&reader, offset, bytes, count);
  f.error = reader.error;
  if (result != 0 || offset + count == f.file->size) {
    close(f.fd);
    f.fd = -1;
  }
  return result;
}

int ReadMemoryPiece(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  const std::vector<uint8_t>& content = *static_cast<const std::vector<uint8_t>*>(user);
  if (offset > content.size() || content.size() - offset < count) return 1;
  std::memcpy(bytes, content.data() + offset, count);
  return 0;
}

struct Progress {
  const std::vector<PayloadFile>* files;
  ProgressBar* bar;
  size_t stored;
};

void OnEntryDone(void* user, size_t index, const PackEntryReport& report) {
  Progress& p = *static_cast<Progress*>(user);
  p.stored += report.stored ? 1 : 0;
  p.bar->done += (*p.files)[index].file->size;
  if (index + 1 == p.files->size()) return;
  p.bar->current = TerminalText((*p.files)[index + 1].file->relative);
  UpdateProgress(*p.bar, 0);
}

std::string WriteError(int result) {
  return std::string("cannot write the output: ") + (result == kPackNoMemory ? "out of memory" : std::strerror(errno));
}

}  // namespace

int PackPayloadFiles(ArchiveWriter& writer, const ListedFolder& folder, const std::vector<PayloadFile>& files,
                     ProgressBar& bar, size_t& storedCount, std::string& error) {
  std::vector<LazyFile> lazy(files.size());
  std::vector<PackEntryInput> entries(files.size());
  for (size_t k = 0; k < files.size(); ++k) {
    const FolderFile& f = *files[k].file;
    PackEntryInput& entry = entries[k];
    entry.name = files[k].name;
    entry.fileTime = f.dosTime;
    entry.attributes = f.attributes;
    if (f.content) {  // made by pack itself, so it cannot change while it is packed
      entry.size = f.content->size();
      entry.source = PackSource{ReadMemoryPiece, const_cast<std::vector<uint8_t>*>(f.content)};
      continue;
    }
    entry.size = size_t(f.size);
    lazy[k].folder = &folder;
    lazy[k].file = &f;
    entry.source = PackSource{ReadLazyFile, &lazy[k]};
    if (f.size == 0) {  // never read: make sure it can be
      uint8_t none;
      if (ReadLazyFile(&lazy[k], 0, &none, 0) != 0) {
        const bool opened = lazy[k].openError.empty();
        error = "cannot read " + (opened ? TerminalText(f.relative) + ": it changed while it was packed" : lazy[k].openError);
        return opened ? kExitFailed : kExitUsage;
      }
    }
  }
  Progress progress{&files, &bar, 0};
  if (!files.empty()) {
    bar.current = TerminalText(files[0].file->relative);
    UpdateProgress(bar, 0);
  }
  size_t failed = 0;
  const int result = AddArchiveEntries(writer, entries.data(), entries.size(), OnEntryDone, &progress, &failed);
  storedCount += progress.stored;
  if (result == kPackOk) return 0;
  const FolderFile& f = *files[failed].file;
  if (f.content) {
    error = WriteError(result);
    return kExitFailed;
  }
  const LazyFile& source = lazy[failed];
  if (result == kPackReadFailed && !source.openError.empty()) {
    error = "cannot read " + source.openError;
    return kExitUsage;
  }
  const std::string shown = TerminalText(f.relative);
  if (result == kPackTooLarge) {
    error = "the output would reach 2 GiB at " + shown + ", more than the setup program can read";
  } else if (result == kPackReadFailed) {
    error = "cannot read " + shown + ": " + (source.error ? std::strerror(source.error) : "it changed while it was packed");
  } else {
    error = WriteError(result);
  }
  return kExitFailed;
}
