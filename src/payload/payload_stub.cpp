// The sizes the setup program can take, and the stub in front of the archive (see
// payload_rules.h): an entry it cannot store or hold in memory, a stub whose size or bytes
// would keep the setup program from finding the archive behind it.
#include "payload/payload_rules.h"

#include <string>

#include "archive/archive_locator.h"
#include "archive/extract_context.h"
#include "archive/rar_format.h"

namespace {

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;


}  // namespace

void CheckPayloadSize(const std::string& name, uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 0x80000000ull) {
    AddPayloadIssue(issues, kError, name, "entries of 2 GiB or more cannot be stored in the archive");
    return;
  }
  PayloadRole role = PayloadRoleOf(name);
  if (role != PayloadRole::kOther && size >= kMemoryEntryLimit) {
    AddPayloadIssue(issues, kError, name,
        "the setup program reads this entry into memory, which it does only up to " +
            std::to_string(kMemoryEntryLimit >> 20) + " MB");
  }
  if (role == PayloadRole::kLanguageFile && size <= 7) {
    AddPayloadIssue(issues, kWarning, name, "a language file of 7 bytes or less is ignored by the setup program");
  }
}

bool CheckStubSize(uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 1 && size < uint64_t(kFirstScanOffset)) {
    AddPayloadIssue(issues, kError, "",
        "the stub has " + std::to_string(size) +
            " bytes; the setup program finds an archive only at offset 0 or from offset 7 on");
    return false;
  }
  if (size > kLastArchiveOffset) {
    AddPayloadIssue(issues, kError, "",
        "the stub has " + std::to_string(size) + " bytes, so the archive would start at offset " +
            std::to_string(size) + ", beyond 249,996, where the setup program no longer looks for it");
    return false;
  }
  return true;
}

void CheckStub(const uint8_t* stub, size_t size, std::vector<PayloadIssue>& issues) {
  if (!CheckStubSize(size, issues) || size == 0) return;
  // What the setup program searches: the stub, then the archive's marker and main header. Of
  // the header only its block type takes part in a candidate before the archive; its
  // checksum and flags, which the writer fills in later, cannot (no marker fits in them).
  std::vector<uint8_t> file(stub, stub + size);
  file.insert(file.end(), kRarMarker, kRarMarker + kMarkerBytes);
  uint8_t mainHeader[kMainHeaderBytes] = {};
  mainHeader[kFieldBlockType] = kBlockMain;
  mainHeader[kFieldHeaderSize] = kMainHeaderBytes;
  file.insert(file.end(), mainHeader, mainHeader + kMainHeaderBytes);
  const ArchiveLocation found = LocateArchiveIn(file.data(), file.size());
  const std::string at = std::to_string(found.offset);
  if (found.kind == ArchiveCandidate::kArchive && size_t(found.offset) == size) return;
  if (found.kind == ArchiveCandidate::kArchive && found.offset == 0)
    AddPayloadIssue(issues, kError, "",
                    "the stub begins with an archive marker; the setup program would read the stub as its archive");
  else if (found.kind == ArchiveCandidate::kArchive)
    AddPayloadIssue(issues, kError, "",
        "the stub holds an archive marker at offset " + at +
            "; the setup program would take it for the start of its archive");
  else if (found.kind == ArchiveCandidate::kOlderFormat)
    AddPayloadIssue(issues, kError, "",
        "the stub holds the marker of an older archive format at offset " + at +
            " (with its tag at offset 28); the setup program would stop there and find no archive");
  else
    AddPayloadIssue(issues, kError, "", "the setup program would not find the archive behind the stub");
}
