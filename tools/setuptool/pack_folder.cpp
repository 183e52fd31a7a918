// The product folder (see pack_folder.h): POSIX directory walk, iconv for the code page.
#include "pack_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "pack/archive_writer.h"
#include "terminal_text.h"

uint32_t DosTimeOf(time_t t) {
  struct tm local;
  if (!localtime_r(&t, &local)) return DosDateTime(1980, 1, 1, 0, 0, 0);
  return DosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec);
}

namespace {

struct Walker {
  const FolderSkips& skips;
  std::string root;  // the folder with every link resolved
  std::vector<FolderFile>& files;
  std::vector<PayloadIssue>& notes;
  std::string& error;
  std::vector<std::pair<uint64_t, uint64_t>> folders;  // device and inode of the folders being walked

  void Note(PayloadIssueLevel level, const std::string& relative, const std::string& text) {
    notes.push_back({level, "", TerminalText(relative) + ": " + text});
  }
};

bool Walk(Walker& w, const std::string& folder, const std::string& relative);

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

// Where a symbolic link leads, when it stays inside the folder; else a note and false.
bool LinkStaysInside(Walker& w, const std::string& path, const std::string& rel) {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) {
    w.Note(PayloadIssueLevel::kError, rel, std::string("a symbolic link that leads nowhere (") + std::strerror(errno) + ")");
    return false;
  }
  const std::string target = resolved;
  const bool inside = w.root == "/" || target == w.root || target.compare(0, w.root.size() + 1, w.root + "/") == 0;
  if (!inside)
    w.Note(PayloadIssueLevel::kError, rel,
           "a symbolic link to " + TerminalText(target) +
               ", outside the product folder; copy what it leads to into the folder or remove the link");
  return inside;
}

// Whether a regular file is pack's own output or temporary file, or looks like one.
bool IsPacksOwn(Walker& w, const struct stat& st, const struct stat& folder, const std::string& name,
                const std::string& rel) {
  const uint64_t dev = uint64_t(st.st_dev), ino = uint64_t(st.st_ino);
  if ((dev == w.skips.outputDevice && ino == w.skips.outputInode) || (dev == w.skips.tempDevice && ino == w.skips.tempInode))
    return true;
  if (uint64_t(folder.st_dev) == w.skips.outputFolderDevice && uint64_t(folder.st_ino) == w.skips.outputFolderInode &&
      IsTemporaryNameOf(name, w.skips.outputBase)) {
    w.Note(PayloadIssueLevel::kWarning, rel, "left out: a temporary file of the output, left by an interrupted run");
    return true;
  }
  return false;
}

bool TakeFile(Walker& w, const std::string& path, const std::string& rel, const struct stat& st) {
  FolderFile f;
  f.path = path;
  f.relative = rel;
  f.size = uint64_t(st.st_size);
  f.dosTime = DosTimeOf(st.st_mtime);
  f.attributes = kAttributeArchive;
  if (!(st.st_mode & S_IWUSR)) f.attributes |= kAttributeReadOnly;
  w.files.push_back(f);
  return true;
}

// One name in a folder: a file taken, a folder walked, or a note why not.
bool TakeName(Walker& w, const std::string& folder, const struct stat& folderStat, const std::string& relative,
              const std::string& name) {
  const std::string path = folder + "/" + name;
  const std::string rel = relative.empty() ? name : relative + "/" + name;
  struct stat link, st;
  if (lstat(path.c_str(), &link) != 0) {
    w.error = TerminalText(path) + ": " + std::strerror(errno);
    return false;
  }
  if (name.find('\\') != std::string::npos) {
    w.Note(PayloadIssueLevel::kError, rel, "the name holds '\\', which the setup program takes for a folder separator");
    return true;
  }
  if (S_ISLNK(link.st_mode) && !LinkStaysInside(w, path, rel)) return true;
  if (stat(path.c_str(), &st) != 0) {
    w.error = TerminalText(path) + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    const std::pair<uint64_t, uint64_t> id(uint64_t(st.st_dev), uint64_t(st.st_ino));
    if (std::find(w.folders.begin(), w.folders.end(), id) != w.folders.end()) {
      w.Note(PayloadIssueLevel::kWarning, rel, "left out: a symbolic link to a folder that holds it");
      return true;
    }
    return Walk(w, path, rel);
  }
  if (!S_ISREG(st.st_mode)) {
    w.Note(PayloadIssueLevel::kWarning, rel, std::string("left out: ") + KindOf(st.st_mode) + ", not a regular file");
    return true;
  }
  if (IsPacksOwn(w, st, folderStat, name, rel)) return true;
  return TakeFile(w, path, rel, st);
}

bool Walk(Walker& w, const std::string& folder, const std::string& relative) {
  struct stat folderStat;
  DIR* dir = opendir(folder.c_str());
  if (!dir || fstat(dirfd(dir), &folderStat) != 0) {
    w.error = TerminalText(folder) + ": " + std::strerror(errno);
    if (dir) closedir(dir);
    return false;
  }
  // readdir answers null both at the end and on a failure: only errno tells them apart. A
  // folder that cannot be read to its end must stop the pack, or the setup would lack files.
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    dirent* e = readdir(dir);
    if (!e) break;
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.push_back(e->d_name);
  }
  const int readError = errno;
  closedir(dir);
  if (readError != 0) {
    w.error = TerminalText(folder) + ": " + std::strerror(readError);
    return false;
  }
  std::sort(names.begin(), names.end());
  w.folders.emplace_back(uint64_t(folderStat.st_dev), uint64_t(folderStat.st_ino));
  bool ok = true;
  for (size_t i = 0; i < names.size() && ok; ++i) ok = TakeName(w, folder, folderStat, relative, names[i]);
  w.folders.pop_back();
  return ok;
}

// A code page in which some byte from 0x80 on only starts a character has double-byte
// characters: its names cannot be taken apart at each '\' byte, as the setup program does.
bool IsSingleByte(const std::string& codePage) {
  iconv_t cd = iconv_open("UTF-8", codePage.c_str());
  if (cd == iconv_t(-1)) return true;  // reported by the conversion the other way
  bool single = true;
  for (int b = 0x80; b <= 0xFF && single; ++b) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in = char(b), out[16];
    char* src = &in;
    char* dst = out;
    size_t srcLeft = 1, dstLeft = sizeof out;
    single = !(iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1) && errno == EINVAL);
  }
  iconv_close(cd);
  return single;
}

// True when the bytes are UTF-8 text.
bool IsUtf8(const std::string& text) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == iconv_t(-1)) return true;
  std::string in = text;
  std::vector<char> out(in.size() * 2 + 16);
  char* src = &in[0];
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  const bool valid = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
  iconv_close(cd);
  return valid;
}

}  // namespace

bool ListFolder(const std::string& folder, const FolderSkips& skips, std::vector<FolderFile>& files,
                std::vector<PayloadIssue>& notes, std::string& error) {
  files.clear();
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) {
    error = TerminalText(folder) + ": " + std::strerror(errno);
    return false;
  }
  Walker w{skips, resolved, files, notes, error, {}};
  return Walk(w, folder, "");
}

bool IsTemporaryNameOf(const std::string& name, const std::string& base) {
  if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.')
    return false;
  for (size_t i = base.size() + 1; i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

bool ConvertNames(std::vector<FolderFile>& files, int codePage, std::string& error) {
  const std::string target = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(target.c_str(), "UTF-8");
  if (cd == iconv_t(-1)) {
    error = "code page " + std::to_string(codePage) + " is not known to this system";
    return false;
  }
  if (!IsSingleByte(target)) {
    iconv_close(cd);
    error = "code page " + std::to_string(codePage) + " has double-byte characters, which setuptool pack does not support";
    return false;
  }
  for (FolderFile& f : files) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = f.relative;
    std::vector<char> out(in.size() * 4 + 16);
    char* src = &in[0];
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    f.nameConverted = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
    f.nameIsUtf8 = f.nameConverted || IsUtf8(f.relative);
    f.archiveName.assign(out.data(), size_t(dst - out.data()));
    if (!f.nameConverted) f.archiveName = f.relative;  // kept for messages only
    std::replace(f.archiveName.begin(), f.archiveName.end(), '/', '\\');
  }
  iconv_close(cd);
  return true;
}

int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    error = TerminalText(path) + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = TerminalText(path) + ": " + (S_ISDIR(st.st_mode) ? "a folder" : KindOf(st.st_mode)) + ", not a regular file";
    close(fd);
    return -1;
  }
  size = uint64_t(st.st_size);
  return fd;
}

bool ReadFolderFile(const std::string& path, std::vector<uint8_t>& data, std::string& error, uint64_t limit) {
  uint64_t size = 0;
  FolderFileReader reader;
  reader.fd = OpenRegularFile(path, size, error);
  if (reader.fd < 0) return false;
  const bool fits = size <= limit;
  data.resize(fits ? size_t(size) : 0);
  const bool read = fits && ReadFolderFilePiece(&reader, 0, data.data(), data.size()) == 0;
  close(reader.fd);
  if (!read) {
    error = TerminalText(path) + ": " + (!fits ? "too large" : reader.error ? std::strerror(reader.error) : "it became shorter while it was read");
    return false;
  }
  return true;
}

int ReadFolderFilePiece(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  FolderFileReader& reader = *static_cast<FolderFileReader*>(user);
  while (count > 0) {
    const ssize_t n = pread(reader.fd, bytes, count, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reader.error = n < 0 ? errno : 0;
      return 1;
    }
    bytes += n;
    offset += uint64_t(n);
    count -= size_t(n);
  }
  return 0;
}
