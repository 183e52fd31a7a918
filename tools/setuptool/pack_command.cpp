// setuptool pack: makes a setup program from a product folder, or a bare payload archive.
//
// Steps: collect the folder's files, put them into the setup program's order, check what
// the setup program would make of them (refusing on errors, warning otherwise), then write
// the stub and the archive to a temporary file next to the output and rename it into place
// only when everything has been written, so that a failed run leaves no half-written file.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "pack/archive_writer.h"
#include "pack/payload_rules.h"
#include "pack/rar20_encoder.h"
#include "pack_folder.h"
#include "pack_progress.h"

namespace {

const char kPackUsage[] =
    "Usage: setuptool pack SRC_DIR -o OUT [--stub FILE | --no-stub] [--level N] [--no-solid]\n"
    "                      [--codepage N] [--quiet]\n"
    "\n"
    "Packs the files under SRC_DIR into a setup program OUT: the stub (a Setup.exe) with the\n"
    "payload archive appended. Entries are ordered as the setup program expects them:\n"
    "FILE_ID.DIZ, the .INF, the .LNG files, then all others by name.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT  the file to write (replaced only when packing succeeds)\n"
    "  --stub FILE       the stub to put in front of the archive (default: Setup.exe next to\n"
    "                    setuptool)\n"
    "  --no-stub         write a bare archive\n"
    "  --level N         0 = store only, 1 = fastest ... 5 = best; default 3\n"
    "  --no-solid        compress every file on its own (default: one solid stream)\n"
    "  --codepage N      ANSI code page of the names in the archive; default 1252\n"
    "  --quiet           no progress bar and no summary\n"
    "\n"
    "Problems the setup program would have with the files are reported as errors (nothing is\n"
    "written) or warnings. Exit status: 0 done, 1 refused or failed, 2 bad arguments or\n"
    "unreadable files.\n";

struct PackArguments {
  std::string source;
  std::string output;
  std::string stub;
  bool noStub = false;
  bool solid = true;
  bool quiet = false;
  int level = kDefaultPackLevel;
  int codePage = 1252;
};

bool ParseNumber(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return false;
  value = int(v);
  return true;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "setuptool pack: %s\n(see setuptool pack --help)\n", message.c_str());
  return kExitUsage;
}

// Returns -1 when the arguments are good, else the exit code.
int ParseArguments(int argc, char** argv, PackArguments& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (IsHelpArgument(argv[i])) {
      std::fputs(kPackUsage, stdout);
      return kExitOk;
    } else if (arg == "-o" || arg == "--output") {
      const char* v = value();
      if (!v) return UsageError("-o needs a file name");
      a.output = v;
    } else if (arg == "--stub") {
      const char* v = value();
      if (!v) return UsageError("--stub needs a file name");
      a.stub = v;
    } else if (arg == "--no-stub") {
      a.noStub = true;
    } else if (arg == "--no-solid") {
      a.solid = false;
    } else if (arg == "--quiet" || arg == "-q") {
      a.quiet = true;
    } else if (arg == "--level") {
      const char* v = value();
      if (!v || !ParseNumber(v, 0, kMaxPackLevel, a.level)) return UsageError("--level takes a number from 0 to 5");
    } else if (arg == "--codepage") {
      const char* v = value();
      if (!v || !ParseNumber(v, 1, 65535, a.codePage)) return UsageError("--codepage takes a code page number");
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "'");
    } else if (a.source.empty()) {
      a.source = arg;
    } else {
      return UsageError("more than one source folder ('" + a.source + "', '" + arg + "')");
    }
  }
  if (a.source.empty()) return UsageError("no source folder given");
  if (a.output.empty()) return UsageError("no output file given (-o OUT)");
  if (a.noStub && !a.stub.empty()) return UsageError("--stub and --no-stub exclude each other");
  return -1;
}

// Setup.exe in the folder of the running setuptool (both are built into the same bin folder).
std::string DefaultStubPath() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "Setup.exe";
  self[n] = 0;
  std::string dir(self);
  size_t cut = dir.find_last_of('/');
  return (cut == std::string::npos ? std::string(".") : dir.substr(0, cut)) + "/Setup.exe";
}

void Report(const PayloadIssue& issue, const std::map<std::string, std::string>& display) {
  const char* level = issue.level == PayloadIssueLevel::kError ? "error" : "warning";
  if (issue.entry.empty()) {
    std::fprintf(stderr, "setuptool pack: %s: %s\n", level, issue.message.c_str());
  } else {
    auto it = display.find(issue.entry);
    const std::string& name = it == display.end() ? issue.entry : it->second;
    std::fprintf(stderr, "setuptool pack: %s: %s: %s\n", level, name.c_str(), issue.message.c_str());
  }
}

int WriteToFile(void* user, const uint8_t* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, static_cast<FILE*>(user)) == count ? 0 : 1;
}

// "812 bytes", "14.2 KB", "41.3 MB".
std::string SizeText(uint64_t bytes) {
  char text[32];
  if (bytes < 10000)
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  else if (bytes < 10000000)
    std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024.0);
  else
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1048576.0);
  return text;
}

void OnEntryProgress(void* user, uint64_t done) { UpdateProgress(*static_cast<ProgressBar*>(user), done); }

}  // namespace

int RunPackCommand(int argc, char** argv) {
  PackArguments args;
  int parsed = ParseArguments(argc, argv, args);
  if (parsed >= 0) return parsed;
  const auto started = std::chrono::steady_clock::now();

  // The stub.
  std::vector<uint8_t> stub;
  std::string error;
  if (!args.noStub) {
    const bool byDefault = args.stub.empty();
    if (byDefault) args.stub = DefaultStubPath();
    struct stat st;
    if (stat(args.stub.c_str(), &st) != 0) {
      if (byDefault)
        std::fprintf(stderr,
                     "setuptool pack: the default stub %s does not exist; build it (scripts/build) or "
                     "give --stub FILE, or --no-stub for a bare archive\n",
                     args.stub.c_str());
      else
        std::fprintf(stderr, "setuptool pack: cannot read the stub %s: %s\n", args.stub.c_str(), std::strerror(errno));
      return kExitUsage;
    }
    if (!ReadFolderFile(args.stub, stub, error)) {
      std::fprintf(stderr, "setuptool pack: cannot read the stub %s\n", error.c_str());
      return kExitUsage;
    }
  }

  // The files, in the setup program's order.
  struct stat outStat;
  uint64_t skipDevice = ~0ull, skipInode = ~0ull;
  if (stat(args.output.c_str(), &outStat) == 0) {
    if (S_ISDIR(outStat.st_mode)) return UsageError("the output " + args.output + " is a folder");
    skipDevice = uint64_t(outStat.st_dev);
    skipInode = uint64_t(outStat.st_ino);
  }
  std::vector<FolderFile> files;
  if (!ListFolder(args.source, skipDevice, skipInode, files, error)) {
    std::fprintf(stderr, "setuptool pack: cannot read the folder %s\n", error.c_str());
    return kExitUsage;
  }
  if (!ConvertNames(files, args.codePage, error)) return UsageError(error);
  if (files.empty()) {
    std::fprintf(stderr, "setuptool pack: error: %s holds no files; nothing written\n", args.source.c_str());
    return kExitFailed;
  }

  std::vector<PayloadIssue> issues;
  std::map<std::string, size_t> byName;
  std::map<std::string, std::string> display;
  std::vector<std::string> names;
  for (size_t i = 0; i < files.size(); ++i) {
    const FolderFile& f = files[i];
    display[f.archiveName] = f.relative;
    if (!f.nameConverted) {
      issues.push_back({PayloadIssueLevel::kError, f.archiveName,
                        "the name has characters that code page " + std::to_string(args.codePage) + " cannot hold"});
    }
    byName[f.archiveName] = i;
    names.push_back(f.archiveName);
    CheckPayloadSize(f.archiveName, f.size, issues);
  }
  SortPayloadNames(names);
  CheckPayloadNames(names, issues);
  CheckStub(stub.data(), stub.size(), issues);

  // Contents of the description entries, read as the setup program reads them.
  bool groupFromInfo = false, exeFromInfo = false;
  std::vector<uint8_t> data;
  for (const std::string& name : names) {
    PayloadRole role = PayloadRoleOf(name);
    if (role == PayloadRole::kOther) continue;
    const FolderFile& f = files[byName[name]];
    if (f.size >= 0x80000000ull || !ReadFolderFile(f.path, data, error)) continue;  // reported below or later
    if (role == PayloadRole::kSetupInfo) {
      CheckSetupInfo(name, data.data(), data.size(), names, issues);
      groupFromInfo = groupFromInfo || SetupInfoSetsGroup(data.data(), data.size());
      exeFromInfo = exeFromInfo || SetupInfoSetsExe(data.data(), data.size());
    } else if (role == PayloadRole::kLanguageFile) {
      CheckLanguageFile(name, data.data(), data.size(), issues);
    }
  }
  for (const std::string& name : names) {
    if (PayloadRoleOf(name) != PayloadRole::kDescription) continue;
    const FolderFile& f = files[byName[name]];
    if (f.size < 0x80000000ull && ReadFolderFile(f.path, data, error))
      CheckDescription(name, data.data(), data.size(), groupFromInfo, issues);
  }
  CheckInstallResults(names, exeFromInfo, issues);
  bool refused = false;
  for (const PayloadIssue& issue : issues) {
    Report(issue, display);
    refused = refused || issue.level == PayloadIssueLevel::kError;
  }
  if (refused) {
    std::fprintf(stderr, "setuptool pack: nothing written\n");
    return kExitFailed;
  }

  // Write into a temporary file beside the output, then rename it into place.
  std::string temp = args.output + ".XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    std::fprintf(stderr, "setuptool pack: cannot create a file beside %s: %s\n", args.output.c_str(),
                 std::strerror(errno));
    return kExitUsage;
  }
  FILE* out = fdopen(fd, "wb");
  auto fail = [&](const std::string& message, int code) {
    if (out) std::fclose(out);
    unlink(temp.c_str());
    std::fprintf(stderr, "setuptool pack: %s; nothing written\n", message.c_str());
    return code;
  };
  if (!out) return fail("cannot write " + temp, kExitUsage);
  if (!stub.empty() && std::fwrite(stub.data(), 1, stub.size(), out) != stub.size())
    return fail("cannot write " + temp + ": " + std::strerror(errno), kExitFailed);

  uint64_t total = 0;
  for (const FolderFile& f : files) total += f.size;
  ProgressBar bar;
  StartProgress(bar, !args.quiet && isatty(2), total);
  ArchiveWriter writer;
  int result = BeginArchive(writer, PackSink{WriteToFile, out}, args.level, args.solid, stub.size());
  SetPackProgress(writer, OnEntryProgress, &bar);
  size_t storedCount = 0;
  for (size_t k = 0; k < names.size() && result == kPackOk; ++k) {
    const FolderFile& f = files[byName[names[k]]];
    bar.current = f.relative;
    UpdateProgress(bar, 0);
    if (!ReadFolderFile(f.path, data, error)) {
      EndProgress(bar);
      EndArchive(writer);
      return fail("cannot read " + error, kExitUsage);
    }
    PackEntryInput entry;
    entry.name = names[k];
    entry.data = data.data();
    entry.size = data.size();
    entry.fileTime = f.dosTime;
    entry.attributes = f.attributes;
    PackEntryReport report;
    result = AddArchiveEntry(writer, entry, &report);
    if (result == kPackTooLarge) {
      EndProgress(bar);
      EndArchive(writer);
      return fail("the output would reach 2 GiB at " + f.relative + ", more than the setup program can read",
                  kExitFailed);
    }
    storedCount += report.stored ? 1 : 0;
    bar.done += f.size;
  }
  EndProgress(bar);
  uint64_t archiveBytes = writer.written;
  EndArchive(writer);
  if (result != kPackOk) return fail("cannot write " + temp + ": " + std::strerror(errno), kExitFailed);
  if (std::fflush(out) != 0 || fsync(fileno(out)) != 0) return fail("cannot write " + temp, kExitFailed);
  if (std::fclose(out) != 0) {
    out = nullptr;
    return fail("cannot write " + temp, kExitFailed);
  }
  out = nullptr;
  chmod(temp.c_str(), 0644);
  if (std::rename(temp.c_str(), args.output.c_str()) != 0)
    return fail("cannot rename " + temp + " to " + args.output + ": " + std::strerror(errno), kExitFailed);

  if (!args.quiet) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string details = "level " + std::to_string(args.level);
    if (args.solid && args.level > 0) details += ", solid";
    if (storedCount) details += ", " + std::to_string(storedCount) + " stored";
    details += stub.empty() ? ", bare archive" : ", stub of " + SizeText(stub.size());
    std::printf("%s: %zu files, %s packed into %s (%.1f%%; %s), %.1f s\n", args.output.c_str(), names.size(),
                SizeText(total).c_str(), SizeText(archiveBytes).c_str(),
                total ? 100.0 * double(archiveBytes) / double(total) : 100.0, details.c_str(), seconds);
  }
  return kExitOk;
}
