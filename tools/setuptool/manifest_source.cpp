// What setuptool manifest reads from a setup (see manifest_source.h).
#include "manifest_source.h"

#include <unistd.h>

#include <vector>

#include "archive/extract.h"
#include "image/pe_image.h"
#include "image/sha256.h"
#include "image/stub_resources.h"
#include "image/version_record.h"
#include "payload/entry_rules.h"

namespace {

// The scan pass's reading: the description entries into memory and read in archive order,
// every other entry decoded only to have its checksum verified.
int ReadDescriptions(char16_t* name, const uint8_t* data, uint32_t, void* user) {
  SetupSource* source = static_cast<SetupSource*>(user);
  if (!data && !(name[0] >= 1 && name[0] <= 31)) {  // the first call: the entry's name
    const ScanEntryKind kind = ScanEntryKindOf(name);
    name[0] = kind == Description || kind == SetupInfo ? char16_t(kind) : char16_t(VerifyOnly);
    name[1] = 0;
    return 0;
  }
  if (!data) return 0;  // too large to be kept; verified all the same
  const char* text = reinterpret_cast<const char*>(data);
  if (name[0] == Description) {
    ReadDescriptionFacts(text, &source->facts);
    source->description = text;
  } else if (name[0] == SetupInfo) {
    ReadSetupInfoFacts(text, &source->facts);
  }
  return 0;
}

// The program in front of the archive: a sound image for x86 or x64 Windows; its version
// record's ProductVersion when it has one.
bool ReadProgram(const ArchiveFile& archive, int32_t archiveOffset, SetupSource* source, std::string* error) {
  std::vector<uint8_t> bytes(size_t(archiveOffset > 0 ? archiveOffset : 0));
  PeLayout layout;
  if (bytes.empty() || pread(archive.fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size()) ||
      !BeginsAsPeImage(bytes.data(), bytes.size())) {
    *error = "is a bare archive, not a setup program";
    return false;
  }
  const PeProblem problem = ReadPeImage(bytes.data(), bytes.size(), &layout);
  if (problem != PeProblem::kNone) {
    *error = std::string("is no sound setup program: it ") + PeProblemText(problem);
    return false;
  }
  const PeArchitecture architecture = PeArchitectureOf(layout);
  if (architecture == PeArchitecture::kOther) {
    *error = "is a program for neither x86 nor x64 Windows";
    return false;
  }
  source->architecture = architecture == PeArchitecture::kX64 ? "x64" : "x86";
  VersionRecordContents record;
  if (ReadImageVersionRecord(bytes, layout, &record))
    for (const VersionField& field : record.fields)
      if (field.key == "ProductVersion") source->recordVersion = DisplayWide(field.value.c_str());
  return true;
}

bool HashFile(int fd, std::string* hex) {
  Sha256 hash;
  StartSha256(&hash);
  std::vector<uint8_t> buffer(1 << 16);
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, buffer.data(), buffer.size(), at);
    if (n < 0) return false;
    if (n == 0) break;
    AddSha256(&hash, buffer.data(), size_t(n));
    at += n;
  }
  uint8_t digest[32];
  FinishSha256(&hash, digest);
  *hex = Sha256Hex(digest);
  return true;
}

}  // namespace

bool ReadSetupSource(const ArchiveFile& archive, SetupSource* source, std::string* error) {
  ArchiveSummary summary;
  if (WalkArchiveHeaders(archive.path, [](const EntryInfo&) { return false; }, &summary) != ListingStatus::kOk) {
    *error = "holds no archive: it is not a setup program";
    return false;
  }
  if (!ReadProgram(archive, summary.archiveOffset, source, error)) return false;
  const int result = ExtractArchive(archive.path.c_str(), ReadDescriptions, source);
  if (result != kExtractOk) {
    *error = std::string("has a payload that does not verify: ") + ResultMeaning(result);
    return false;
  }
  if (!HashFile(archive.fd, &source->sha256)) {
    *error = "cannot be read to the end";
    return false;
  }
  return true;
}
