// The product folder (see pack_folder.h): a POSIX walk below one folder handle (openat,
// fdopendir, fstatat, O_NOFOLLOW), iconv for the code page.
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
#include <map>
#include <set>
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

// A place the walk reaches: the host path (for messages), the name below the folder as the
// walk reached it (through links), and the same with every link resolved (what is opened).
struct Place {
  std::string path, relative, resolved;
};

std::string Below(const std::string& parent, const std::string& name) { return parent.empty() ? name : parent + "/" + name; }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Opens `resolved` ('/' separated, no "." or "..", empty for the root itself) below the
// handle `root` one name at a time: each folder with O_DIRECTORY, the last name with
// `flags`, all with O_NOFOLLOW, so a symbolic link anywhere on the way fails the open (ELOOP
// or ENOTDIR) instead of leading elsewhere. Holds at most two descriptors at once.
int OpenBelow(int root, const std::string& resolved, int flags) {
  flags |= O_NOFOLLOW | O_CLOEXEC;
  if (resolved.empty()) return openat(root, ".", flags);
  int at = root;
  for (size_t start = 0;;) {
    const size_t slash = resolved.find('/', start);
    const bool last = slash == std::string::npos;
    const std::string name = resolved.substr(start, last ? std::string::npos : slash - start);
    const int fd = openat(at, name.c_str(), last ? flags : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int saved = errno;
    if (at != root) close(at);
    errno = saved;
    if (fd < 0 || last) return fd;
    at = fd;
    start = slash + 1;
  }
}

// What `resolved` below `root` is, not following a link at its end nor on the way.
bool StatBelow(int root, const std::string& resolved, struct stat& st) {
  if (resolved.empty()) return fstat(root, &st) == 0;
  const size_t slash = resolved.rfind('/');
  const bool top = slash == std::string::npos;
  const int parent = top ? root : OpenBelow(root, resolved.substr(0, slash), O_RDONLY | O_DIRECTORY);
  if (parent < 0) return false;
  const bool ok = fstatat(parent, resolved.c_str() + (top ? 0 : slash + 1), &st, AT_SYMLINK_NOFOLLOW) == 0;
  const int saved = errno;
  if (parent != root) close(parent);
  errno = saved;
  return ok;
}

struct Walker {
  const FolderSkips& skips;
  int root;          // handle on the folder: everything is opened below it
  std::string rootPath;  // the folder with every link resolved, to tell where links lead
  std::vector<FolderFile>& files;
  std::vector<PayloadIssue>& notes;
  std::string& error;
  std::vector<std::pair<uint64_t, uint64_t>> folders;  // device and inode of the folders being walked

  void Note(PayloadIssueLevel level, const std::string& relative, const std::string& text) {
    notes.push_back({level, "", TerminalText(relative) + ": " + text});
  }
  bool Fail(const std::string& path, int code) {
    error = TerminalText(path) + ": " + std::strerror(code);
    return false;
  }
  bool Changed(const std::string& path) {
    error = TerminalText(path) + ": changed while the folder was listed";
    return false;
  }
};

bool Walk(Walker& w, int fd, const Place& folder);

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

// Resolves a symbolic link once, here: when it stays inside the folder, `place.resolved`
// becomes where it leads; else a note and false.
bool ResolveLink(Walker& w, Place& place) {
  char resolved[PATH_MAX];
  if (!realpath((w.rootPath + "/" + place.resolved).c_str(), resolved)) {
    w.Note(PayloadIssueLevel::kError, place.relative, std::string("a symbolic link that leads nowhere (") + std::strerror(errno) + ")");
    return false;
  }
  const std::string target = resolved;
  const std::string& root = w.rootPath;
  const bool inside = root == "/" || target == root || target.compare(0, root.size() + 1, root + "/") == 0;
  if (!inside) {
    w.Note(PayloadIssueLevel::kError, place.relative,
           "a symbolic link to " + TerminalText(target) +
               ", outside the product folder; copy what it leads to into the folder or remove the link");
    return false;
  }
  place.resolved = target == root ? "" : target.substr(root == "/" ? 1 : root.size() + 1);
  return true;
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

bool TakeFile(Walker& w, const Place& place, const struct stat& st) {
  FolderFile f;
  f.path = place.path;
  f.relative = place.relative;
  f.resolved = place.resolved;
  f.device = uint64_t(st.st_dev);
  f.inode = uint64_t(st.st_ino);
  f.linkCount = uint64_t(st.st_nlink);
  f.size = uint64_t(st.st_size);
  f.dosTime = DosTimeOf(st.st_mtime);
  f.attributes = kAttributeArchive;
  if (!(st.st_mode & S_IWUSR)) f.attributes |= kAttributeReadOnly;
  w.files.push_back(f);
  return true;
}

// Opens a folder the walk found, again from the root, and walks it when it is still the
// folder found there: not a link, nor another folder, swapped in meanwhile.
bool WalkInto(Walker& w, const Place& place, const struct stat& found) {
  const int fd = OpenBelow(w.root, place.resolved, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return errno == ELOOP || errno == ENOTDIR ? w.Changed(place.path) : w.Fail(place.path, errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !SameFile(st, found)) {
    close(fd);
    return w.Changed(place.path);
  }
  return Walk(w, fd, place);
}

// A name in a folder, with what the folder says it is (a link not followed).
struct Name {
  std::string name;
  struct stat st;
};

// One name in a folder: a file taken, a folder walked, or a note why not.
bool TakeName(Walker& w, const Place& folder, const struct stat& folderStat, const Name& n) {
  Place place{folder.path + "/" + n.name, Below(folder.relative, n.name), Below(folder.resolved, n.name)};
  if (n.name.find('\\') != std::string::npos) {
    w.Note(PayloadIssueLevel::kError, place.relative, "the name holds '\\', which the setup program takes for a folder separator");
    return true;
  }
  struct stat st = n.st;
  if (S_ISLNK(st.st_mode)) {
    if (!ResolveLink(w, place)) return true;
    if (!StatBelow(w.root, place.resolved, st)) return w.Fail(place.path, errno);
    if (S_ISLNK(st.st_mode)) return w.Changed(place.path);  // resolved to no link a moment ago
  }
  if (S_ISDIR(st.st_mode)) {
    const std::pair<uint64_t, uint64_t> id(uint64_t(st.st_dev), uint64_t(st.st_ino));
    if (std::find(w.folders.begin(), w.folders.end(), id) != w.folders.end()) {
      w.Note(PayloadIssueLevel::kWarning, place.relative, "left out: a symbolic link to a folder that holds it");
      return true;
    }
    return WalkInto(w, place, st);
  }
  if (!S_ISREG(st.st_mode)) {
    w.Note(PayloadIssueLevel::kWarning, place.relative, std::string("left out: ") + KindOf(st.st_mode) + ", not a regular file");
    return true;
  }
  if (IsPacksOwn(w, st, folderStat, n.name, place.relative)) return true;
  return TakeFile(w, place, st);
}

// The names in an open folder (`fd`, closed here), sorted, with what each is. The folder is
// closed before anything below it is opened, so the walk holds one descriptor at a time.
bool ReadNames(Walker& w, int fd, const Place& folder, std::vector<Name>& names) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    const int code = errno;
    close(fd);
    return w.Fail(folder.path, code);
  }
  // readdir answers null both at the end and on a failure: only errno tells them apart. A
  // folder that cannot be read to its end must stop the pack, or the setup would lack files.
  for (;;) {
    errno = 0;
    dirent* e = readdir(dir);
    if (!e) break;
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.push_back({e->d_name, {}});
  }
  int code = errno;
  std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return a.name < b.name; });
  std::string failed = folder.path;
  for (size_t i = 0; i < names.size() && code == 0; ++i)
    if (fstatat(dirfd(dir), names[i].name.c_str(), &names[i].st, AT_SYMLINK_NOFOLLOW) != 0)
      code = errno, failed = folder.path + "/" + names[i].name;
  closedir(dir);
  return code == 0 || w.Fail(failed, code);
}

bool Walk(Walker& w, int fd, const Place& folder) {
  struct stat folderStat;
  if (fstat(fd, &folderStat) != 0) {
    const int code = errno;
    close(fd);
    return w.Fail(folder.path, code);
  }
  std::vector<Name> names;
  if (!ReadNames(w, fd, folder, names)) return false;
  w.folders.emplace_back(uint64_t(folderStat.st_dev), uint64_t(folderStat.st_ino));
  bool ok = true;
  for (size_t i = 0; i < names.size() && ok; ++i) ok = TakeName(w, folder, folderStat, names[i]);
  w.folders.pop_back();
  if (names.empty() && !folder.relative.empty()) {
    FolderFile f;
    f.path = folder.path;
    f.relative = folder.relative;
    f.resolved = folder.resolved;
    f.dosTime = DosTimeOf(folderStat.st_mtime);
    f.emptyFolder = true;
    w.files.push_back(f);
  }
  return ok;
}

// A file with more names than the folder holds can be changed through a name outside it,
// before or after packing: the publisher should know which content the setup carries.
void NoteHardLinks(Walker& w) {
  std::map<std::pair<uint64_t, uint64_t>, std::set<std::string>> inside;  // names of each file in the folder
  for (const FolderFile& f : w.files) inside[{f.device, f.inode}].insert(f.resolved);
  for (const FolderFile& f : w.files) {
    const auto it = inside.find({f.device, f.inode});
    if (it == inside.end()) continue;  // noted at its first name
    const size_t names = it->second.size();
    inside.erase(it);
    if (f.linkCount <= names) continue;
    w.Note(PayloadIssueLevel::kWarning, f.relative,
           "a hard link: the file has " + std::to_string(f.linkCount) + " names and only " + std::to_string(names) +
               (names == 1 ? " is" : " are") + " inside the product folder; the setup carries what it holds when packed");
  }
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

ListedFolder::~ListedFolder() {
  if (root >= 0) close(root);
}

bool ListFolder(const std::string& folder, const FolderSkips& skips, ListedFolder& listed,
                std::vector<FolderFile>& files, std::vector<PayloadIssue>& notes, std::string& error) {
  files.clear();
  if (listed.root >= 0) close(listed.root);
  listed.root = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  char resolved[PATH_MAX];
  struct stat held, named;
  if (listed.root < 0 || fstat(listed.root, &held) != 0 || !realpath(folder.c_str(), resolved) || stat(resolved, &named) != 0) {
    error = TerminalText(folder) + ": " + std::strerror(errno);
    return false;
  }
  Walker w{skips, listed.root, resolved, files, notes, error, {}};
  if (!SameFile(held, named)) return w.Changed(folder);
  const int fd = OpenBelow(listed.root, "", O_RDONLY | O_DIRECTORY);
  if (fd < 0) return w.Fail(folder, errno);
  if (!Walk(w, fd, Place{folder, "", ""})) return false;
  NoteHardLinks(w);
  return true;
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

namespace {

// Reads the whole of an open file of `size` bytes (at most `limit`) and closes it; `shown`
// names it in `error`.
bool ReadOpenFile(int fd, uint64_t size, const std::string& shown, std::vector<uint8_t>& data, std::string& error,
                  uint64_t limit) {
  FolderFileReader reader;
  reader.fd = fd;
  const bool fits = size <= limit;
  data.resize(fits ? size_t(size) : 0);
  const bool read = fits && ReadFolderFilePiece(&reader, 0, data.data(), data.size()) == 0;
  close(reader.fd);
  if (!read) {
    error = shown + ": " + (!fits ? "too large" : reader.error ? std::strerror(reader.error) : "it became shorter while it was read");
    return false;
  }
  return true;
}

}  // namespace

bool ReadFolderFile(const std::string& path, std::vector<uint8_t>& data, std::string& error, uint64_t limit) {
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, size, error);
  return fd >= 0 && ReadOpenFile(fd, size, TerminalText(path), data, error, limit);
}

int OpenListedFile(const ListedFolder& listed, const FolderFile& file, uint64_t& size, std::string& error) {
  const std::string shown = TerminalText(file.relative);
  const int fd = OpenBelow(listed.root, file.resolved, O_RDONLY | O_NONBLOCK);
  // A link where a folder or the file was listed fails the open with ELOOP or ENOTDIR.
  const bool replaced = fd < 0 && (errno == ELOOP || errno == ENOTDIR);
  struct stat st;
  if (!replaced && (fd < 0 || fstat(fd, &st) != 0)) {
    error = shown + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  if (replaced || !S_ISREG(st.st_mode) || uint64_t(st.st_dev) != file.device || uint64_t(st.st_ino) != file.inode) {
    error = shown + ": changed while it was packed (it is no longer the file that was listed)";
    if (fd >= 0) close(fd);
    return -1;
  }
  size = uint64_t(st.st_size);
  return fd;
}

bool ReadListedFile(const ListedFolder& listed, const FolderFile& file, std::vector<uint8_t>& data, std::string& error,
                    uint64_t limit) {
  uint64_t size = 0;
  const int fd = OpenListedFile(listed, file, size, error);
  return fd >= 0 && ReadOpenFile(fd, size, TerminalText(file.relative), data, error, limit);
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
