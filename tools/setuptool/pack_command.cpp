// setuptool pack: makes a setup program from a product folder, or a bare payload archive.
//
// Steps: check the output name and the stub, open a temporary file beside the output,
// collect the folder's files, put them into the setup program's order, check what the
// setup program would make of them (refusing on errors, warning otherwise), then write the
// stub and the archive into the temporary file, the files handed to the compressor all
// together and streamed from disk as it reads ahead across them (pack_entries.h), and
// rename it into place only when everything has been written, so that a
// failed or interrupted run leaves no half-written file.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "commands.h"
#include "pack/archive_writer.h"
#include "pack/rar20_encoder.h"
#include "pack_architecture.h"
#include "pack_branding.h"
#include "pack_checksum.h"
#include "pack_entries.h"
#include "pack_facts.h"
#include "pack_folder.h"
#include "pack_output.h"
#include "pack_progress.h"
#include "pack_signing.h"
#include "pack_usage.h"
#include "pack_stub.h"
#include "pack_uninstaller.h"
#include "payload/entry_rules.h"
#include "payload/payload_check.h"
#include "payload/payload_rules.h"
#include "stub_location.h"
#include "terminal_text.h"

namespace {

// One parsing thread per processor.
int DefaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return int(std::min<unsigned>(std::max(cores, 1u), kMaxPackThreads));
}

struct PackArguments {
  std::string source;
  std::string output;
  PeArchitecture architecture = PeArchitecture::kX86;  // of the setup: its stub and our uninstaller
  std::string stub;
  bool noStub = false;
  std::string uninstaller;
  bool noUninstaller = false;
  bool solid = true;
  bool quiet = false;
  int level = kDefaultPackLevel;
  int threads = DefaultThreads();
  int codePage = 1252;
  BrandingOptions branding;
  std::string sign;  // the signing command's template, when given
  bool help = false;  // --help: print the usage and pack nothing
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

// 0 when the arguments are good (or ask for help: a.help), else the exit code.
int ParseArguments(int argc, char** argv, PackArguments& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string error;
    if (int taken = ParseBrandingOption(argc, argv, i, a.branding, error)) {
      if (taken < 0) return UsageError(error);
      continue;
    }
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (IsHelpArgument(argv[i])) {
      a.help = true;
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      const char* v = value();
      if (!v) return UsageError("-o needs a file name");
      a.output = v;
    } else if (arg == "--arch") {
      const char* v = value();
      a.architecture = v ? ParseArchitecture(v) : PeArchitecture::kOther;
      if (a.architecture == PeArchitecture::kOther) return UsageError("--arch takes x86 or x64");
    } else if (arg == "--stub") {
      const char* v = value();
      if (!v) return UsageError("--stub needs a file name");
      a.stub = v;
    } else if (arg == "--no-stub") {
      a.noStub = true;
    } else if (arg == "--uninstaller") {
      const char* v = value();
      if (!v) return UsageError("--uninstaller needs a file name");
      a.uninstaller = v;
    } else if (arg == "--no-uninstaller") {
      a.noUninstaller = true;
    } else if (arg == "--sign") {
      const char* v = value();
      if (!v) return UsageError("--sign needs a command");
      if (!CheckSigningTemplate(v, error)) return UsageError(error);
      a.sign = v;
    } else if (arg == "--no-solid") {
      a.solid = false;
    } else if (arg == "--quiet" || arg == "-q") {
      a.quiet = true;
    } else if (arg == "--level") {
      const char* v = value();
      if (!v || !ParseNumber(v, 0, kMaxPackLevel, a.level)) return UsageError("--level takes a number from 0 to 5");
    } else if (arg == "--threads") {
      const char* v = value();
      if (!v || !ParseNumber(v, 1, int(kMaxPackThreads), a.threads))
        return UsageError("--threads takes a number from 1 to " + std::to_string(kMaxPackThreads));
    } else if (arg == "--codepage") {
      const char* v = value();
      if (!v || !ParseNumber(v, 1, 65535, a.codePage)) return UsageError("--codepage takes a code page number");
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option '" + TerminalText(arg) + "'");
    } else if (a.source.empty()) {
      a.source = arg;
    } else {
      return UsageError("more than one source folder ('" + TerminalText(a.source) + "', '" + TerminalText(arg) + "')");
    }
  }
  if (a.source.empty()) return UsageError("no source folder given");
  if (a.output.empty()) return UsageError("no output file given (-o OUT)");
  if (a.noStub && !a.stub.empty()) return UsageError("--stub and --no-stub exclude each other");
  if (a.noUninstaller && !a.uninstaller.empty())
    return UsageError("--uninstaller and --no-uninstaller exclude each other");
  if (a.noStub && !a.sign.empty()) return UsageError("--sign signs a setup program: it cannot go with --no-stub");
  return 0;
}

// Reads and checks the stub; 0 when it is good (or not wanted), else the exit code.
int LoadStub(PackArguments& args, StubImage& stub, uint64_t& stubSize) {
  stubSize = 0;
  if (args.noStub) return 0;
  const bool byDefault = args.stub.empty();
  const std::string fileName = StubFileName(args.architecture, "Setup.exe");
  if (byDefault) args.stub = LocateStub(fileName);
  if (byDefault && args.stub.empty()) {
    std::fprintf(stderr,
                 "setuptool pack: no default stub: neither %s exists; build it (scripts/build) or "
                 "give --stub FILE, or --no-stub for a bare archive\n",
                 TerminalText(StubPlacesText(fileName)).c_str());
    return kExitUsage;
  }
  std::string error;
  if (!ReadStub(args.stub, args.architecture, stub, stubSize, error)) {
    std::fprintf(stderr, "setuptool pack: cannot use the stub: %s; nothing written\n", error.c_str());
    return kExitUsage;
  }
  return 0;
}

void Report(const PayloadIssue& issue, const std::map<std::string, std::string>& display) {
  const char* level = issue.level == PayloadIssueLevel::kError ? "error" : "warning";
  if (issue.entry.empty()) {
    std::fprintf(stderr, "setuptool pack: %s: %s\n", level, issue.message.c_str());
  } else {
    auto it = display.find(issue.entry);
    const std::string name = it == display.end() ? TerminalText(issue.entry) : it->second;
    std::fprintf(stderr, "setuptool pack: %s: %s: %s\n", level, name.c_str(), issue.message.c_str());
  }
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

// The files to pack, in the setup program's order, and what was found about them.
struct Payload {
  ListedFolder folder;  // the product folder's handle, open while packing: files are opened below it
  std::vector<FolderFile> files;
  std::vector<std::string> names;              // archive names in archive order
  std::map<std::string, size_t> byName;        // archive name -> index in files
  std::map<std::string, std::string> display;  // archive name -> name for the terminal
  std::vector<PayloadIssue> issues;
  uint64_t total = 0;
  std::map<std::string, std::string> texts;  // contents of the description entries
  std::vector<FolderFile> emptyFolders;      // folder entries, written when folders are kept
  bool keepFolders = false;                  // the .INF says "Folders=Keep"
  UninstallerSource uninstallerSource = UninstallerSource::kNone;
  StubImage uninstaller;                     // our uninstaller with its record, when added
  size_t recordBytes = 0;                    // the record's size, once appended
};

// Lists the folder; 0 when done, else the exit code.
int CollectFiles(const PackArguments& args, const PackOutput& output, Payload& p) {
  FolderSkips skips;
  if (output.exists) skips.outputDevice = output.device, skips.outputInode = output.inode;
  skips.tempDevice = output.tempDevice;
  skips.tempInode = output.tempInode;
  skips.outputFolderDevice = output.folderDevice;
  skips.outputFolderInode = output.folderInode;
  skips.outputBase = output.baseName;
  std::string error;
  if (!ListFolder(args.source, skips, p.folder, p.files, p.issues, error)) {
    std::fprintf(stderr, "setuptool pack: cannot read the folder %s\n", error.c_str());
    return kExitUsage;
  }
  if (!ConvertNames(p.files, args.codePage, error)) return UsageError(error);
  for (const FolderFile& f : p.files)
    if (f.emptyFolder) p.emptyFolders.push_back(f);
  p.files.erase(std::remove_if(p.files.begin(), p.files.end(), [](const FolderFile& f) { return f.emptyFolder; }),
                p.files.end());
  return 0;
}

// Adds our uninstaller when the product has none of its own and it is wanted; 0 when done,
// else the exit code. A missing default stub (a tree where the Windows programs were not
// built) leaves it out with a warning; a stub given with --uninstaller must be usable.
int AddOurUninstaller(const PackArguments& args, Payload& p) {
  std::vector<std::string> names;
  for (const FolderFile& f : p.files) names.push_back(f.archiveName);
  p.uninstallerSource = ChooseUninstaller(names, args.noUninstaller);
  if (p.uninstallerSource != UninstallerSource::kOurs) return 0;
  const bool byDefault = args.uninstaller.empty();
  const std::string fileName = StubFileName(args.architecture, "UnInst.exe");
  const std::string path = byDefault ? LocateStub(fileName) : args.uninstaller;
  if (byDefault && path.empty()) {
    p.issues.push_back({PayloadIssueLevel::kWarning, "",
                        "no uninstaller stub: neither " + TerminalText(StubPlacesText(fileName)) +
                            " exists, so no uninstaller is added (build it, or give --uninstaller FILE)"});
    p.uninstallerSource = UninstallerSource::kNone;
    return 0;
  }
  FolderFile entry;
  std::string error;
  if (!LoadUninstallerStub(path, args.architecture, p.uninstaller, entry, error)) {
    std::fprintf(stderr, "setuptool pack: cannot use the uninstaller stub: %s; nothing written\n", error.c_str());
    return kExitUsage;
  }
  p.files.push_back(entry);
  return 0;
}

// Reads a description entry or language file for the payload's checks.
bool ReadForCheck(void* user, const std::string& name, uint64_t limit, std::vector<uint8_t>& content) {
  Payload& p = *static_cast<Payload*>(user);
  std::string error;
  return ReadListedFile(p.folder, p.files[p.byName.at(name)], content, error, limit);
}

// The payload's checks (payload/payload_check.h) over the files listed, and the names the
// host folder gave that the archive cannot carry; puts the files into archive order.
void CheckFiles(const PackArguments& args, const StubImage& stub, uint64_t stubSize, Payload& p) {
  std::vector<PayloadEntry> entries;
  for (size_t i = 0; i < p.files.size(); ++i) {
    const FolderFile& f = p.files[i];
    p.display[f.archiveName] = TerminalText(f.relative);
    if (!f.nameIsUtf8) {
      p.issues.push_back({PayloadIssueLevel::kError, f.archiveName, "the name is not UTF-8 text, so its characters are unknown"});
    } else if (!f.nameConverted) {
      p.issues.push_back({PayloadIssueLevel::kError, f.archiveName,
                          "the name has characters that code page " + std::to_string(args.codePage) + " cannot hold"});
    }
    p.byName[f.archiveName] = i;
    p.total += f.size;
    entries.push_back({f.archiveName, f.size});
  }
  // A stub too large to be read is judged by its size alone.
  const PayloadStub checkedStub = stub.bytes.empty() ? PayloadStub{nullptr, stubSize}
                                                     : PayloadStub{stub.bytes.data(), stub.bytes.size()};
  CheckedPayload checked = CheckPayload(entries, checkedStub, PayloadReader{ReadForCheck, &p}, p.issues);
  p.names = std::move(checked.names);
  p.texts = std::move(checked.texts);
  CheckFactsInCodePage(checked.facts, args.codePage, p.issues);
  p.keepFolders = KeepsFolders(checked.facts);
  for (const FolderFile& f : p.keepFolders ? p.emptyFolders : std::vector<FolderFile>()) {
    p.display[f.archiveName] = TerminalText(f.relative);
    if (UnsafePathReasonOf(WidenedName(f.archiveName).c_str()) != kNameSafe || !f.nameConverted)
      p.issues.push_back({PayloadIssueLevel::kError, f.archiveName, "the setup program cannot create this empty folder"});
  }
  // A setup's architecture decides where its product goes; a bare archive has none yet.
  const std::string mainProgram = args.noStub ? std::string() : MainProgramEntry(p.names, p.texts);
  if (!mainProgram.empty())
    CheckMainProgramArchitecture(args.architecture, p.folder, p.files[p.byName.at(mainProgram)], mainProgram,
                                 p.issues);
}

struct WriteResult {
  uint64_t archiveBytes = 0;
  size_t storedCount = 0;
};

// Writes stub and archive into the temporary file; 0 when done, else the exit code.
int WritePayload(const PackArguments& args, const std::vector<uint8_t>& stub, const Payload& p, PackOutput& output,
                 WriteResult& r, std::string& error) {
  if (!stub.empty() && std::fwrite(stub.data(), 1, stub.size(), output.file) != stub.size()) {
    error = "cannot write " + TerminalText(output.temp) + ": " + std::strerror(errno);
    return kExitFailed;
  }
  output.archiveStart = stub.size();
  ProgressBar bar;
  StartProgress(bar, !args.quiet && isatty(2), p.total);
  ArchiveWriter writer;
  int code = 0;
  if (BeginArchive(writer, OutputSink(output), args.level, args.solid, stub.size()) != kPackOk) {
    error = "cannot write " + TerminalText(output.temp) + ": " + std::strerror(errno);
    code = kExitFailed;
  }
  SetPackProgress(writer, OnEntryProgress, &bar);
  SetPackThreads(writer, uint32_t(args.threads));
  std::vector<PayloadFile> files;
  for (const std::string& name : p.names) files.push_back(PayloadFile{&p.files[p.byName.at(name)], name});
  if (code == 0) code = PackPayloadFiles(writer, p.folder, files, bar, r.storedCount, error);
  for (size_t k = 0; p.keepFolders && k < p.emptyFolders.size() && code == 0; ++k) {
    if (AddArchiveFolder(writer, p.emptyFolders[k].archiveName, p.emptyFolders[k].dosTime) == kPackOk) continue;
    error = std::string("cannot write the output: ") + std::strerror(errno);
    code = kExitFailed;
  }
  EndProgress(bar);
  if (code == 0 && WriteArchiveEnd(writer) != kPackOk) {
    error = "cannot write " + TerminalText(output.temp) + ": " + std::strerror(errno);
    code = kExitFailed;
  }
  r.archiveBytes = writer.written;
  EndArchive(writer);
  return code;
}

void PrintSummary(const PackArguments& args, const Payload& p, const WriteResult& r, size_t stubSize,
                  uint32_t signatureBytes, double seconds) {
  std::string details = "level " + std::to_string(args.level);
  if (args.solid && args.level > 0) details += ", solid";
  if (r.storedCount) details += ", " + std::to_string(r.storedCount) + " stored";
  const char* kind = args.architecture == PeArchitecture::kX64 ? "x64 stub" : "stub";
  details += stubSize == 0 ? ", bare archive" : ", " + std::string(kind) + " of " + SizeText(stubSize);
  const bool signed_ = signatureBytes > 0;
  details += p.uninstallerSource == UninstallerSource::kOurs       ? (signed_ ? ", our uninstaller signed" : ", our uninstaller")
             : p.uninstallerSource == UninstallerSource::kProducts ? ", the product's own UnInst.exe"
                                                                    : ", no uninstaller";
  if (signed_) details += ", signed: certificate table of " + std::to_string(signatureBytes) + " bytes";
  std::printf("%s: %zu files, %s packed into %s (%.1f%%; %s), %.1f s\n", TerminalText(args.output).c_str(),
              p.names.size(), SizeText(p.total).c_str(), SizeText(r.archiveBytes).c_str(),
              p.total ? 100.0 * double(r.archiveBytes) / double(p.total) : 100.0, details.c_str(), seconds);
}

// Appends the removal record to our uninstaller, or leaves the uninstaller out when the setup
// would register none (no group name); false when the installation cannot be recorded.
bool RecordInstallation(Payload& p) {
  const InstallPlan plan = PredictInstallation(p.names, p.texts);
  FolderFile& ours = p.files[p.byName.at("UnInst.exe")];
  if (plan.group.empty()) {
    Report({PayloadIssueLevel::kWarning, "",
            "no group name (no \"Group\" in the .INF, no product name in FILE_ID.DIZ): the setup program "
            "registers no uninstall entry, so no uninstaller is added"},
           p.display);
    p.names.erase(std::find(p.names.begin(), p.names.end(), std::string("UnInst.exe")));
    p.total -= ours.size;
    p.uninstallerSource = UninstallerSource::kNone;
    return true;
  }
  std::string error;
  const size_t before = p.uninstaller.bytes.size();
  if (AppendRemovalRecord(plan, p.uninstaller, ours, p.total, error)) {
    p.recordBytes = p.uninstaller.bytes.size() - before;
    return true;
  }
  std::fprintf(stderr, "setuptool pack: error: %s\n", error.c_str());
  return false;
}

// Everything after the output's temporary file exists; 0 when the setup is complete, else
// the exit code.
int PackInto(const PackArguments& args, StubImage& stub, uint64_t stubSize, PackOutput& output,
             SigningRun* signing, Payload& p, WriteResult& r) {
  int code = CollectFiles(args, output, p);
  if (code != 0) return code;
  std::string error;
  if (!BrandStub(args.branding, p.folder, p.files, args.codePage, args.output, stub, error)) {
    std::fprintf(stderr, "setuptool pack: error: %s; nothing written\n", error.c_str());
    return kExitFailed;
  }
  if (p.files.empty() && p.issues.empty()) {
    std::fprintf(stderr, "setuptool pack: error: %s holds no files; nothing written\n", TerminalText(args.source).c_str());
    return kExitFailed;
  }
  code = AddOurUninstaller(args, p);
  if (code != 0) return code;
  CheckFiles(args, stub, stubSize, p);
  bool refused = p.files.empty();
  for (const PayloadIssue& issue : p.issues) {
    Report(issue, p.display);
    refused = refused || issue.level == PayloadIssueLevel::kError;
  }
  if (!refused && p.uninstallerSource == UninstallerSource::kOurs) refused = !RecordInstallation(p);
  if (refused) {
    std::fprintf(stderr, "setuptool pack: nothing written\n");
    return kExitFailed;
  }
  if (signing && p.uninstallerSource == UninstallerSource::kOurs) {
    std::vector<uint8_t> signedBytes;
    if (!SignUninstaller(*signing, p.uninstaller.bytes, p.recordBytes, signedBytes, error)) {
      std::fprintf(stderr, "setuptool pack: %s\nsetuptool pack: nothing written\n", error.c_str());
      return kExitFailed;
    }
    ReplaceUninstaller(std::move(signedBytes), p.uninstaller, p.files[p.byName.at("UnInst.exe")], p.total);
  }
  code = WritePayload(args, stub.bytes, p, output, r, error);
  if (code == 0 && !stub.bytes.empty() && !WriteSetupChecksum(output, stub, error)) code = kExitFailed;
  if (code == 0 && signing && !SignSetup(*signing, output, error)) code = kExitFailed;
  if (code == 0 && !FinishOutput(output, error)) code = kExitFailed;
  if (code != 0) std::fprintf(stderr, "setuptool pack: %s; nothing written\n", error.c_str());
  return code;
}

}  // namespace

int RunPackCommand(int argc, char** argv) {
  PackArguments args;
  if (int code = ParseArguments(argc, argv, args)) return code;
  if (args.help) {
    PrintPackUsage();
    return kExitOk;
  }
  const auto started = std::chrono::steady_clock::now();

  PackOutput output;
  std::string error;
  if (!CheckOutputName(args.output, output, error)) return UsageError(error);
  StubImage stub;
  uint64_t stubSize = 0;
  int code = LoadStub(args, stub, stubSize);
  if (code != 0) return code;
  if (output.otherNames > 0)
    std::fprintf(stderr,
                 "setuptool pack: warning: %s has %llu other name(s) (hard links); they will keep the old "
                 "content, only this name gets the new setup\n",
                 TerminalText(args.output).c_str(), static_cast<unsigned long long>(output.otherNames));
  if (!CreateOutputTemp(output, error)) {
    std::fprintf(stderr, "setuptool pack: %s\n", error.c_str());
    return kExitUsage;
  }
  SigningRun signing;
  signing.command = args.sign;
  signing.architecture = args.architecture;
  if (!args.sign.empty() && !BeginSigning(signing, output, error)) {
    std::fprintf(stderr, "setuptool pack: %s\n", error.c_str());
    DiscardOutput(output);
    return kExitUsage;
  }
  Payload payload;
  WriteResult result;
  code = PackInto(args, stub, stubSize, output, args.sign.empty() ? nullptr : &signing, payload, result);
  EndSigning(signing);
  if (code != 0) {
    DiscardOutput(output);
    return code;
  }
  if (!args.quiet) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    PrintSummary(args, payload, result, stub.bytes.size(), signing.tableBytes, seconds);
  }
  return kExitOk;
}
