// Writing files below a folder handle (see safe_output.h).
#include "safe_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "interrupt_cleanup.h"

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Reason(const std::string& what, int error) { return what + ": " + std::strerror(error); }

void CloseHandle(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

int OpenFolderPath(int root, const std::vector<std::string>& parts, size_t count, bool create,
                   std::string* error) {
  int folder = openat(root, ".", kFolderFlags);
  if (folder < 0) {
    *error = Reason("cannot open the target folder", errno);
    return -1;
  }
  for (size_t i = 0; i < count; ++i) {
    if (create && mkdirat(folder, parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
      *error = Reason("cannot make the folder " + parts[i], errno);
      close(folder);
      return -1;
    }
    const int next = openat(folder, parts[i].c_str(), kFolderFlags);
    const int cause = errno;
    if (next < 0) {
      struct stat st;
      const bool link = fstatat(folder, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
      *error = link ? parts[i] + " is a symbolic link, which is not followed"
                    : Reason("cannot open the folder " + parts[i], cause);
      close(folder);
      return -1;
    }
    close(folder);
    folder = next;
  }
  return folder;
}

bool BeginPendingFile(int folder, const std::string& name, PendingFile* file, std::string* error) {
  static std::mt19937 random(std::random_device{}());
  file->folder = folder;
  file->name = name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(random()));
    // Short enough for any name the file system takes: the real name's start is enough
    // for a reader to see what the temporary belongs to.
    file->temp = "." + name.substr(0, 200) + suffix + ".part";
    RegisterInterruptCleanup(folder, file->temp.c_str());
    file->fd = openat(folder, file->temp.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file->fd >= 0) return true;
    ClearInterruptCleanup();
    if (errno != EEXIST) {
      *error = Reason("cannot create the file", errno);
      return false;
    }
  }
  *error = "cannot find a free temporary name";
  return false;
}

bool CommitPendingFile(PendingFile* file, std::string* error) {
  bool done = true;
  // rename never puts a file in place of a folder: it fails with EISDIR.
  if (renameat(file->folder, file->temp.c_str(), file->folder, file->name.c_str()) != 0) {
    *error = errno == EISDIR ? std::string("a folder of that name is in the way")
                             : Reason("cannot put the file in place", errno);
    done = false;
  }
  if (done) {
    ClearInterruptCleanup();
    CloseHandle(&file->fd);
    file->temp.clear();
  } else {
    DiscardPendingFile(file);
  }
  return done;
}

void DiscardPendingFile(PendingFile* file) {
  if (file->folder >= 0 && !file->temp.empty()) unlinkat(file->folder, file->temp.c_str(), 0);
  ClearInterruptCleanup();
  CloseHandle(&file->fd);
  file->temp.clear();
}

bool FolderIsFull(int folder, unsigned long long more) {
  struct statvfs st;
  if (fstatvfs(folder, &st) != 0) return false;
  const unsigned long long free = static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
  return free == 0 || free < more;
}
