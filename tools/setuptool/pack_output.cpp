// The output file of setuptool pack (see pack_output.h).
#include "pack_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "interrupt_cleanup.h"
#include "terminal_text.h"

namespace {

const char* WhatItIs(mode_t mode) {
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

int WriteOut(void* user, const uint8_t* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, static_cast<PackOutput*>(user)->file) == count ? 0 : 1;
}

// Written bytes may still wait in the stream's buffer: flush before going behind its back.
int RewriteOut(void* user, uint64_t offset, const uint8_t* bytes, size_t count) {
  PackOutput& out = *static_cast<PackOutput*>(user);
  if (std::fflush(out.file) != 0) return 1;
  return pwrite(fileno(out.file), bytes, count, off_t(out.archiveStart + offset)) == ssize_t(count) ? 0 : 1;
}

int TruncateOut(void* user, uint64_t offset) {
  PackOutput& out = *static_cast<PackOutput*>(user);
  const off_t at = off_t(out.archiveStart + offset);
  if (std::fflush(out.file) != 0 || ftruncate(fileno(out.file), at) != 0) return 1;
  return fseeko(out.file, at, SEEK_SET) == 0 ? 0 : 1;
}

}  // namespace

bool CheckOutputName(const std::string& path, PackOutput& out, std::string& error) {
  out.path = path;
  const size_t cut = path.find_last_of('/');
  out.folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
  out.baseName = cut == std::string::npos ? path : path.substr(cut + 1);
  struct stat folder;
  if (stat(out.folder.c_str(), &folder) == 0) {
    out.folderDevice = uint64_t(folder.st_dev);
    out.folderInode = uint64_t(folder.st_ino);
  }
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return true;  // a new file (or one that cannot be made, found later)
  if (!S_ISREG(st.st_mode)) {
    error = "the output " + TerminalText(path) + " is " + WhatItIs(st.st_mode) +
            "; setuptool pack replaces only a regular file. Nothing written";
    return false;
  }
  out.exists = true;
  out.device = uint64_t(st.st_dev);
  out.inode = uint64_t(st.st_ino);
  out.mode = st.st_mode & 0777;
  out.otherNames = st.st_nlink > 1 ? uint64_t(st.st_nlink - 1) : 0;
  return true;
}

bool CreateOutputTemp(PackOutput& out, std::string& error) {
  std::string temp = out.path + ".XXXXXX";
  int fd;
  {
    InterruptsHeld held;
    fd = mkstemp(&temp[0]);
    if (fd >= 0) RegisterInterruptCleanup(AT_FDCWD, temp.c_str());
  }
  if (fd < 0) {
    error = "cannot create a file beside " + TerminalText(out.path) + ": " + std::strerror(errno);
    return false;
  }
  out.temp = temp;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    out.tempDevice = uint64_t(st.st_dev);
    out.tempInode = uint64_t(st.st_ino);
  }
  out.file = fdopen(fd, "wb");
  if (!out.file) {
    error = "cannot write " + TerminalText(temp) + ": " + std::strerror(errno);
    close(fd);
    DiscardOutput(out);
    return false;
  }
  return true;
}

PackSink OutputSink(PackOutput& out) { return PackSink{WriteOut, &out, RewriteOut, TruncateOut}; }

bool FinishOutput(PackOutput& out, std::string& error) {
  const std::string written = "cannot write " + TerminalText(out.temp);
  bool ok = std::fflush(out.file) == 0 && fsync(fileno(out.file)) == 0;
  if (!ok) error = written + ": " + std::strerror(errno);
  if (std::fclose(out.file) != 0 && ok) {
    error = written + ": " + std::strerror(errno);
    ok = false;
  }
  out.file = nullptr;
  if (ok && chmod(out.temp.c_str(), out.mode) != 0) {
    error = "cannot set the permissions of " + TerminalText(out.temp) + ": " + std::strerror(errno);
    ok = false;
  }
  if (ok && std::rename(out.temp.c_str(), out.path.c_str()) != 0) {
    error = "cannot rename " + TerminalText(out.temp) + " to " + TerminalText(out.path) + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    DiscardOutput(out);
    return false;
  }
  ClearInterruptCleanup();
  out.temp.clear();
  return true;
}

void DiscardOutput(PackOutput& out) {
  if (out.file) std::fclose(out.file);
  out.file = nullptr;
  if (out.temp.empty()) return;
  unlink(out.temp.c_str());
  ClearInterruptCleanup();
  out.temp.clear();
}
