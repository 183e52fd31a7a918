// setuptool extract FILE DIR: writes every file entry under DIR, folders recreated, file
// times and attributes set, through the same ExtractArchive the setup program uses.
//
// Safety: every name is checked before anything is written; an absolute name, a drive
// letter or a ".." component refuses the whole archive. The extraction runs inside DIR
// with relative names, existing files are replaced rather than written through (so a
// planted symbolic link cannot redirect a write), and a folder on the way that is a
// symbolic link is refused.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/extract_context.h"
#include "commands.h"
#include "report.h"
#include "system/host/host_paths.h"

namespace {

const char kHelp[] =
    "Usage: setuptool extract FILE DIR\n"
    "\n"
    "Writes every file of the archive in FILE under DIR (created when missing), with the\n"
    "archive's folders recreated and the file times and attributes set. Names that are\n"
    "absolute, carry a drive letter or contain '..' are refused, and nothing is written\n"
    "outside DIR. A damaged entry's file is removed and the exit status is 1.\n";

// Splits a name at '\\' and '/' into its components, dropping empty and "." ones. False,
// with a reason, when the name would leave the target folder: absolute, with a drive
// letter, or with a ".." component.
bool SafeComponents(const std::string& name, std::vector<std::string>* parts,
                    const char** reason) {
  parts->clear();
  if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
    *reason = "absolute name";
    return false;
  }
  if (name.size() >= 2 && name[1] == ':') {
    *reason = "name with a drive letter";
    return false;
  }
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\' && name[i] != '/') {
      part += name[i];
      continue;
    }
    if (part == "..") {
      *reason = "name with a '..' component";
      return false;
    }
    if (!part.empty() && part != ".") parts->push_back(part);
    part.clear();
  }
  if (parts->empty()) {
    *reason = "empty name";
    return false;
  }
  return true;
}

// Creates the folders parts[0..count) below the current folder. False (errno set) when one
// cannot be made or one on the way is not a real folder (a symbolic link, say).
bool MakeFolders(const std::vector<std::string>& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) {
    path += (i ? "/" : "") + parts[i];
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        errno = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
        return false;
      }
      continue;
    }
    if (mkdir(path.c_str(), 0777) != 0) return false;
  }
  return true;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string path;
  for (size_t i = 0; i < parts.size(); ++i) path += (i ? "/" : "") + parts[i];
  return path;
}

struct ExtractRun {
  std::vector<const EntryInfo*> called;  // the entries the run calls back for, in order
  size_t next = 0;       // index in called of the next first call
  std::string current;   // display name of the entry being extracted
  std::string problem;   // why the callback ended the run, if it did
  size_t written = 0;
  const EntryInfo* lastEntry = nullptr;  // the entry of the last file prepared
  std::string lastTarget;                // and its path
};

// First call of each entry: checks the name again as the driver gives it, makes its
// folders, removes what stands at its place, and leaves the relative path to write.
int ExtractCallbackFn(char16_t* name, const uint8_t*, uint32_t size, void* value) {
  ExtractRun* run = static_cast<ExtractRun*>(value);
  run->current = DisplayWide(name);
  // A volume label is called back for and then skipped by the run: nothing to prepare.
  const EntryInfo* entry = run->next < run->called.size() ? run->called[run->next] : nullptr;
  ++run->next;
  if (entry && entry->IsVolumeLabel()) return 0;
  std::vector<std::string> parts;
  const char* reason = nullptr;
  if (!SafeComponents(run->current, &parts, &reason)) {
    run->problem = reason;
    return 1;
  }
  if (!MakeFolders(parts, parts.size() - 1)) {
    run->problem = std::string("cannot make its folder: ") + std::strerror(errno);
    return 1;
  }
  const std::string target = Join(parts);
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink(target.c_str());
  const std::u16string wide = HostUtf16(target);
  if (wide.size() >= 260) {
    run->problem = "name too long";
    return 1;
  }
  for (size_t i = 0; i <= wide.size(); ++i) name[i] = i < wide.size() ? wide[i] : 0;
  std::printf("%12u  %s\n", size, run->current.c_str());
  std::fflush(stdout);
  ++run->written;
  run->lastEntry = entry;
  run->lastTarget = target;
  return 0;
}

}  // namespace

int RunExtractCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc != 3) {
    std::fprintf(stderr, "setuptool extract: expected FILE and DIR\n\n%s", kHelp);
    return kExitUsage;
  }
  const char* file = argv[1];
  const char* dir = argv[2];
  ArchiveListing listing;
  const ListingStatus status = ReadArchiveListing(file, &listing);
  if (status != ListingStatus::kOk) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", file, ListingError(status));
    return ListingExitCode(status);
  }
  for (const EntryInfo& e : listing.entries) {
    std::vector<std::string> parts;
    const char* reason = nullptr;
    if (!SafeComponents(e.displayName, &parts, &reason)) {
      std::fprintf(stderr, "setuptool extract: %s: refused: %s; nothing extracted\n",
                   e.displayName.c_str(), reason);
      return kExitFailed;
    }
  }

  // The archive's path must stay valid once the run works inside DIR.
  char* absolute = realpath(file, nullptr);
  if (!absolute) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", file, std::strerror(errno));
    return kExitUsage;
  }
  const std::u16string archive = HostUtf16(absolute);
  std::free(absolute);
  const std::string dirText = dir;
  if (mkdir(dir, 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", dir, std::strerror(errno));
    return kExitUsage;
  }
  if (chdir(dir) != 0) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", dir, std::strerror(errno));
    return kExitUsage;
  }
  // Folders of directory entries (the run itself never calls back for them).
  for (const EntryInfo& e : listing.entries) {
    if (!e.IsDirectory()) continue;
    std::vector<std::string> parts;
    const char* reason = nullptr;
    if (SafeComponents(e.displayName, &parts, &reason) && !MakeFolders(parts, parts.size())) {
      std::fprintf(stderr, "setuptool extract: %s: cannot make the folder: %s\n",
                   e.displayName.c_str(), std::strerror(errno));
      return kExitFailed;
    }
  }

  ExtractRun run;
  for (const EntryInfo& e : listing.entries)
    if (!e.IsDirectory()) run.called.push_back(&e);
  const int result = ExtractArchive(archive.c_str(), ExtractCallbackFn, &run);
  if (!run.problem.empty()) {
    std::fprintf(stderr, "setuptool extract: %s: refused: %s\n", run.current.c_str(),
                 run.problem.c_str());
    return kExitFailed;
  }
  if (result != 0) {
    // A last entry that continues in a next volume is only a part of its file: it goes.
    if (run.lastEntry && (run.lastEntry->flags & kEntryContinuedInNext))
      unlink(run.lastTarget.c_str());
    const std::string where = run.current.empty() ? std::string(file) : run.current;
    std::fprintf(stderr, "setuptool extract: %s: %s (result %d)\n", where.c_str(),
                 ResultMeaning(result), result);
    return kExitFailed;
  }
  std::printf("%zu files extracted into %s\n", run.written, dirText.c_str());
  return kExitOk;
}
