// setuptool extract and test over damaged setups, run in-process: a small product is packed
// with setuptool pack (a bare archive, and one behind a stand-in executable image), then
// thousands of seeded mutations of it are tested and extracted into a folder planted with
// symbolic links that point outside it. It proves, for every mutant, that extract succeeds
// only where test does, that every exit code is 0, 1 or 2, that nothing outside the output
// folder changes (bytes, names, times, permissions), that no temporary file is left behind,
// and that what a successful extract wrote is the product's own files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "support/command_run.h"
#include "support/pe_image_builder.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"
#include "support/tree_snapshot.h"

namespace {

using rartest::Bytes;
using Files = std::map<std::string, std::string>;  // relative path -> bytes

// The test's scratch folder. The run makes and removes tens of thousands of files and links,
// which on a journaled disk takes several times as long as in memory: it goes to /dev/shm
// when the system has one, else under the build tree.
struct Scratch {
  TempDir fallback;
  std::string path;
  Scratch() {
    char name[] = "/dev/shm/korv-hostile-XXXXXX";
    path = mkdtemp(name) ? name : fallback.path();
  }
  ~Scratch() {
    if (path == fallback.path()) return;
    EmptyFolder(path);
    rmdir(path.c_str());
  }
  std::string File(const std::string& name) const { return path + "/" + name; }
};

// ---- The product and its packed forms ----

std::string Repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text + std::to_string(i) + "\r\n";
  return all;
}

// Texts, a compressible program, an incompressible table, an empty file and files two
// folders deep: enough for stored, compressed and solid entries and for folder names.
Files ProductFiles() {
  std::mt19937 random(7);
  std::string program = "MZ";
  for (int i = 0; i < 12000; ++i) program += char(i % 251 < 40 ? i % 7 : (i * 31) >> 5);
  std::string table;
  for (int i = 0; i < 3000; ++i) table += char(random());
  return {
      {"FILE_ID.DIZ", "Hostile Test 1.0\r\nA product packed for the damaged-setup test.\r\n"},
      {"HOSTILE.INF", "ID=HST\r\nGroup=Hostile Test\r\nClass=HostileWindow\r\nExe=KHOST.EXE\r\n"},
      {"KHOST.EXE", program},
      {"UnInst.exe", "MZ" + std::string(300, '\0') + "uninstaller"},
      {"README.TXT", Repeated("Read this before you install, line ", 80)},
      {"EMPTY.DAT", ""},
      {"docs/GUIDE.TXT", Repeated("How to use the product, step ", 40)},
      {"docs/more/NOTES.TXT", "Notes.\r\n"},
      {"data/TABLE.BIN", table},
  };
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool done = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && done;
}

// Runs a command with its standard output and error going to `logPath`.
int RunQuietly(int (*command)(int, char**), std::vector<std::string> args, const std::string& logPath) {
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int code = RunWithOutputTo(log, command, std::move(args));
  close(log);
  return code;
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A packed form of the product: the file's bytes and where its archive starts in them.
struct Packed {
  const char* what;
  Bytes bytes;
  size_t archiveStart = 0;
};

// Packs the product with the given pack options; `prefix` stands in for the stub image.
Packed PackProduct(const Scratch& dir, const char* what, const std::vector<std::string>& options,
                   const std::string& prefix) {
  const std::string source = dir.File("product"), output = dir.File("packed.rar");
  std::vector<std::string> args = {"pack", source, "-o", output, "--no-stub", "--quiet"};
  args.insert(args.end(), options.begin(), options.end());
  const int code = RunQuietly(RunPackCommand, args, dir.File("pack.log"));
  EXPECT_EQ(code, kExitOk) << what << ": " << ReadWholeFile(dir.File("pack.log"));
  Packed packed{what, ToBytes(prefix + ReadWholeFile(output)), prefix.size()};
  std::remove(output.c_str());
  return packed;
}

// ---- Mutations ----

uint16_t Get16(const Bytes& b, size_t at) { return at + 1 < b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0; }
uint32_t Get32(const Bytes& b, size_t at) { return uint32_t(Get16(b, at)) | uint32_t(Get16(b, at + 2)) << 16; }

// One block of the archive: its header and the data area after it.
struct Block {
  size_t start;
  size_t headerEnd;  // for a file header: after the name, where its header checksum ends
  size_t end;
};

// The main header and every block after it, as the packed file lays them out.
std::vector<Block> ArchiveBlocks(const Bytes& b, size_t archiveStart) {
  std::vector<Block> blocks;
  size_t at = archiveStart + 7;  // after the marker
  while (at + 7 <= b.size()) {
    const uint16_t flags = Get16(b, at + 3), headerSize = Get16(b, at + 5);
    if (headerSize < 7) break;
    const uint64_t data = (flags & kBlockLong) ? Get32(b, at + kFieldPackedSize) : 0;
    const size_t headerEnd = b[at + kFieldBlockType] == kBlockFile ? at + kFileHeaderBytes + Get16(b, at + kFieldNameSize) : at + headerSize;
    const uint64_t end = at + uint64_t(headerSize) + data;
    if (end > b.size()) break;
    blocks.push_back({at, headerEnd, size_t(end)});
    at = size_t(end);
  }
  return blocks;
}

// Sets the block's header checksum to match its (changed) header.
void Resign(Bytes& b, const Block& block) {
  const size_t end = std::min(block.headerEnd, b.size());
  if (end < block.start + 3) return;
  const uint16_t crc = uint16_t(rartest::Crc32(b.data() + block.start + 2, end - block.start - 2));
  b[block.start] = uint8_t(crc);
  b[block.start + 1] = uint8_t(crc >> 8);
}

struct Mutant {
  Bytes bytes;
  std::string kind;     // the kind of mutation, for the tally
  std::string what;     // the mutation, for a failure message
  bool resigned = false;  // a header was changed and given a matching checksum
};

// A value for a header field: one that a reader must treat with care, or a random one.
uint32_t FieldValue(std::mt19937& random, uint32_t old) {
  const uint32_t values[] = {0, 1, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0x10, 0x01, 0x30,
                             0x35, 0x36, 0x0004, 0x0002, 0x0001, 0x00E0, old + 1, old - 1, old * 2};
  const size_t pick = random() % (std::size(values) + 4);
  return pick < std::size(values) ? values[pick] : uint32_t(random());
}

// Overwrites one field of a block's header (offset, width) and, mostly, fixes the checksum
// so the change gets past it to the code that uses the field.
void MutateHeaderField(Mutant& m, const std::vector<Block>& blocks, std::mt19937& random) {
  const Block& block = blocks[random() % blocks.size()];
  // flags, packed size, unpacked size, host OS, file CRC, time, unpack version, method,
  // name size, attributes, a name byte (file header layout; the main header has flags only).
  const std::pair<size_t, int> fields[] = {{3, 2}, {7, 4}, {11, 4}, {15, 1}, {16, 4}, {20, 4},
                                           {24, 1}, {25, 1}, {26, 2}, {28, 4}, {32, 1}};
  std::pair<size_t, int> field = m.bytes[block.start + kFieldBlockType] == kBlockFile ? fields[random() % std::size(fields)] : fields[0];
  if (field.first == 32) field.first += random() % std::max<size_t>(1, block.headerEnd - block.start - 32);
  uint32_t value = FieldValue(random, Get32(m.bytes, block.start + field.first));
  if (field.first >= 32) value = "\\/.:\x01 aZ"[random() % 9];
  for (int i = 0; i < field.second && block.start + field.first + i < m.bytes.size(); ++i)
    m.bytes[block.start + field.first + i] = uint8_t(value >> (8 * i));
  m.resigned = random() % 4 != 0;
  Block changed = block;
  if (m.bytes[block.start + kFieldBlockType] == kBlockFile) changed.headerEnd = block.start + kFileHeaderBytes + Get16(m.bytes, block.start + 26);
  if (m.resigned) Resign(m.bytes, changed);
  m.kind = m.resigned ? "header field, checksum fixed" : "header field";
  m.what = "header field at " + std::to_string(block.start + field.first) + " (" + std::to_string(field.second) +
           " bytes) = " + std::to_string(value) + (m.resigned ? ", checksum fixed" : "");
}

// A position to damage: mostly inside the archive, sometimes in the image before it.
size_t Position(const Packed& base, std::mt19937& random) {
  if (base.archiveStart > 0 && random() % 8 == 0) return random() % base.archiveStart;
  return base.archiveStart + random() % (base.bytes.size() - base.archiveStart);
}

Mutant Mutate(const Packed& base, const std::vector<Block>& blocks, std::mt19937& random) {
  Mutant m{base.bytes, "", "", false};
  Bytes& b = m.bytes;
  const size_t at = Position(base, random), count = 1 + random() % 8;
  const Block& block = blocks[random() % blocks.size()];
  switch (random() % 8) {
    case 0:
      b[at] ^= uint8_t(1u << (random() % 8));
      m.kind = "bit flip";
      m.what = "bit flipped at " + std::to_string(at);
      break;
    case 1:
      b[at] = uint8_t(random());
      m.kind = "byte set";
      m.what = "byte set at " + std::to_string(at);
      break;
    case 2:
      b.resize(random() % b.size());
      m.kind = "cut";
      m.what = "cut to " + std::to_string(b.size()) + " bytes";
      break;
    case 3:
      for (size_t i = 0; i < count; ++i) b.insert(b.begin() + long(at), uint8_t(random()));
      m.kind = "insert";
      m.what = std::to_string(count) + " bytes inserted at " + std::to_string(at);
      break;
    case 4:
      b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + count)));
      m.kind = "delete";
      m.what = std::to_string(count) + " bytes deleted at " + std::to_string(at);
      break;
    case 5:
      MutateHeaderField(m, blocks, random);
      break;
    case 6:
      b.insert(b.begin() + long(block.end), base.bytes.begin() + long(block.start), base.bytes.begin() + long(block.end));
      m.kind = "duplicated block";
      m.what = "block at " + std::to_string(block.start) + " duplicated";
      break;
    default:
      b.erase(b.begin() + long(block.start), b.begin() + long(block.end));
      m.kind = "dropped block";
      m.what = "block at " + std::to_string(block.start) + " dropped";
  }
  const bool atPosition = m.kind == "bit flip" || m.kind == "byte set" || m.kind == "insert" || m.kind == "delete";
  if (atPosition && at < base.archiveStart) m.kind += " in the image";
  return m;
}

// ---- The hostile output folder ----

// sentinel/ holds the output folder out/ and the files and folders the planted links aim
// at; nothing under sentinel/ but out/ may change.
struct Hostile {
  std::string sentinel, out, archive;
  TreeSnapshot before;
};

Hostile MakeHostile(const Scratch& dir) {
  Hostile h{dir.File("sentinel"), dir.File("sentinel/out"), dir.File("mutant.exe"), {}};
  std::filesystem::create_directories(h.out);
  std::filesystem::create_directories(h.sentinel + "/victim_dir");
  EXPECT_TRUE(WriteBytes(h.sentinel + "/victim.txt", "outside: must stay as it is"));
  EXPECT_TRUE(WriteBytes(h.sentinel + "/victim_dir/GUIDE.TXT", "outside too"));
  EXPECT_TRUE(WriteBytes(h.sentinel + "/victim_hard.exe", "outside, and linked from inside"));
  h.before = SnapshotTree(h.sentinel, "out", true);
  return h;
}

// Links named like the product's files, which extract replaces (so a sound archive still
// extracts: symbolic links to a file, dangling ones, a hard link to a file outside), or,
// with `foldersInTheWay`, links named like its folders, which it refuses.
std::vector<PlantedLink> HostileLinks(const Hostile& h, bool foldersInTheWay) {
  std::vector<PlantedLink> links = {
      {"README.TXT", h.sentinel + "/victim.txt"},
      {"KHOST.EXE", h.sentinel + "/absent.exe"},  // dangling: following it would create a file
      {"STRAY", h.sentinel + "/absent_dir"},
      {"UnInst.exe", h.sentinel + "/victim_hard.exe", true},
  };
  if (foldersInTheWay) {
    // "data" comes first in the archive: a link to a real folder there must stop it.
    links.push_back({"data", h.sentinel + "/victim_dir"});
    links.push_back({"docs", h.sentinel + "/absent_dir"});
  } else {
    links.push_back({"docs/GUIDE.TXT", "../../victim.txt"});
    links.push_back({"docs/more/NOTES.TXT", h.sentinel + "/victim_dir/GUIDE.TXT"});
  }
  return links;
}

// Regular files under a folder (their bytes when `withBytes`), and the names of temporaries a
// run left behind.
Files FilesUnder(const std::string& folder, bool withBytes, std::vector<std::string>* leftovers) {
  Files files;
  std::error_code error;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder, error)) {
    const std::string path = e.path().string(), name = e.path().filename().string();
    if (name.size() > 5 && name[0] == '.' && name.substr(name.size() - 5) == ".part") leftovers->push_back(name);
    if (e.symlink_status().type() != std::filesystem::file_type::regular) continue;
    files[path.substr(folder.size() + 1)] = withBytes ? ReadWholeFile(path) : "";
  }
  return files;
}

struct Verdict {
  int testCode = -1;
  int extractCode = -1;
  std::vector<std::string> problems;
};

// Tests and extracts the file at h.archive into h.out, planted afresh, and checks the
// properties that hold for any input. `mustMatch`: files written must be the product's.
Verdict TestAndExtract(const Scratch& dir, const Hostile& h, bool foldersInTheWay, bool mustMatch) {
  Verdict v;
  EmptyFolder(h.out);
  if (!PlantLinks(h.out, HostileLinks(h, foldersInTheWay))) v.problems.push_back("cannot plant the links");
  v.testCode = RunQuietly(RunTestCommand, {"test", h.archive}, dir.File("test.log"));
  v.extractCode = RunQuietly(RunExtractCommand, {"extract", h.archive, h.out}, dir.File("extract.log"));
  auto problem = [&](const std::string& text) {
    v.problems.push_back(text + "\n  test said: " + ReadWholeFile(dir.File("test.log")) +
                         "\n  extract said: " + ReadWholeFile(dir.File("extract.log")));
  };
  for (int code : {v.testCode, v.extractCode})
    if (code < 0 || code > 2) problem("exit code " + std::to_string(code) + " is not 0, 1 or 2");
  // test also judges the program in front of the archive, which extract does not need: a
  // damaged program alone fails test and still lets extract take every entry.
  const bool programOnly = ReadWholeFile(dir.File("test.log")).find("the setup cannot run") != std::string::npos;
  if (v.extractCode == kExitOk && v.testCode != kExitOk && !programOnly)
    problem("extract succeeded where test failed (" + std::to_string(v.testCode) + ")");
  const std::string changed = TreeDifference(h.before, SnapshotTree(h.sentinel, "out", true));
  if (!changed.empty()) problem("outside the output folder: " + changed);
  std::vector<std::string> leftovers;
  const bool compare = v.extractCode == kExitOk && mustMatch;
  const Files written = FilesUnder(h.out, compare, &leftovers);
  for (const std::string& name : leftovers) problem("temporary file left behind: " + name);
  if (!compare) return v;
  const Files product = ProductFiles();
  for (const auto& [name, bytes] : written) {
    std::error_code error;
    if (std::filesystem::equivalent(h.out + "/" + name, h.sentinel + "/victim_hard.exe", error)) continue;  // still planted
    const auto it = product.find(name);
    if (it == product.end()) problem("extract wrote " + name + ", which the product does not have");
    else if (it->second != bytes) problem("extract wrote " + name + " with other bytes than the product's");
  }
  return v;
}

// The product on disk and its two packed forms: a solid bare archive, and separately
// compressed entries behind a stand-in image that only the marker search finds it behind.
struct Fixture {
  Scratch dir;
  std::vector<Packed> bases;
};

void MakeFixture(Fixture& f) {
  for (const auto& [name, bytes] : ProductFiles()) {
    const std::filesystem::path path = std::filesystem::path(f.dir.File("product")) / name;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(WriteBytes(path.string(), bytes));
  }
  const Bytes program = imagetest::PeImage(0x1800);  // a sound program image, as a stub is
  const std::string image(program.begin(), program.end());
  f.bases.push_back(PackProduct(f.dir, "bare solid archive", {}, ""));
  f.bases.push_back(PackProduct(f.dir, "behind an image, not solid, level 1", {"--no-solid", "--level", "1"}, image));
}

void Save(const std::string& path, const Bytes& bytes) { WriteBytes(path, std::string(bytes.begin(), bytes.end())); }

TEST(HostileArchive, SoundSetupExtractsWholeOverPlantedLinksAndRefusesLinkedFolders) {
  Fixture f;
  MakeFixture(f);
  const Hostile h = MakeHostile(f.dir);
  for (const Packed& base : f.bases) {
    Save(h.archive, base.bytes);
    for (bool foldersInTheWay : {false, true}) {
      const Verdict v = TestAndExtract(f.dir, h, foldersInTheWay, true);
      for (const std::string& p : v.problems) ADD_FAILURE() << base.what << ": " << p;
      EXPECT_EQ(v.testCode, kExitOk) << base.what;
      EXPECT_EQ(v.extractCode, foldersInTheWay ? kExitFailed : kExitOk) << base.what << foldersInTheWay;
      std::vector<std::string> leftovers;
      if (!foldersInTheWay) {
        EXPECT_EQ(FilesUnder(h.out, true, &leftovers), ProductFiles()) << base.what;
      }
    }
  }
}

// Mutant i is made from seed kSeed + i; KORV_MUTANT=i runs that one alone.
constexpr uint32_t kSeed = 20240601;
constexpr int kMutants = 3000;

TEST(HostileArchive, DamagedSetupsExtractOnlyWhereTheyTestAndNeverWriteOutside) {
  Fixture f;
  MakeFixture(f);
  const Hostile h = MakeHostile(f.dir);
  std::vector<std::vector<Block>> blocks;
  for (const Packed& base : f.bases) blocks.push_back(ArchiveBlocks(base.bytes, base.archiveStart));
  ASSERT_GE(blocks[0].size(), 10u);  // main header and the nine files at least
  const char* only = std::getenv("KORV_MUTANT");
  const int first = only ? std::atoi(only) : 0, last = only ? first + 1 : kMutants;
  int tested = 0, extracted = 0, failures = 0;
  std::map<std::string, std::array<int, 3>> tally;  // kind -> mutants, passed test, passed extract
  const size_t descriptors = OpenDescriptorCount();
  const auto started = std::chrono::steady_clock::now();
  for (int i = first; i < last && failures < 10; ++i) {
    std::mt19937 random(kSeed + uint32_t(i));
    const size_t which = size_t(i) % f.bases.size();
    const Mutant m = Mutate(f.bases[which], blocks[which], random);
    Save(h.archive, m.bytes);
    const Verdict v = TestAndExtract(f.dir, h, i % 3 == 2, !m.resigned);
    tested += v.testCode == kExitOk;
    extracted += v.extractCode == kExitOk;
    std::array<int, 3>& t = tally[m.kind];
    t = {t[0] + 1, t[1] + (v.testCode == kExitOk), t[2] + (v.extractCode == kExitOk)};
    for (const std::string& p : v.problems) {
      ADD_FAILURE() << "mutant " << i << " (KORV_MUTANT=" << i << ") of the " << f.bases[which].what << ", "
                    << m.what << ": " << p;
      Save("hostile-mutant-" + std::to_string(i) + ".bin", m.bytes);
    }
    failures += !v.problems.empty();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%d mutants in %.1f s: %d passed test, %d passed extract\n", last - first, seconds, tested,
              extracted);
  for (const auto& [kind, t] : tally) std::printf("  %-36s %5d mutants, %4d passed test, %4d extract\n", kind.c_str(), t[0], t[1], t[2]);
  EXPECT_EQ(OpenDescriptorCount(), descriptors) << "the commands left files open";
  if (!only) {
    EXPECT_GT(tested, 0) << "no mutant passed test: the property would hold vacuously";
  }
}

}  // namespace
