// The sizes the setup program can take, and the stub in front of the archive (see
// payload_rules.h): an entry it cannot store or hold in memory, a stub whose size or bytes
// would keep the setup program from finding the archive behind it.
#include "payload/payload_rules.h"

#include <cstring>

#include "archive/extract_context.h"
#include "archive/rar_format.h"

namespace {

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;

void Add(std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry,
         const std::string& message) {
  issues.push_back(PayloadIssue{level, entry, message});
}

}  // namespace

void CheckPayloadSize(const std::string& name, uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 0x80000000ull) {
    Add(issues, kError, name, "entries of 2 GiB or more cannot be stored in the archive");
    return;
  }
  PayloadRole role = PayloadRoleOf(name);
  if (role != PayloadRole::kOther && size >= kMemoryEntryLimit) {
    Add(issues, kError, name,
        "the setup program reads this entry into memory, which it does only up to " +
            std::to_string(kMemoryEntryLimit >> 20) + " MB");
  }
  if (role == PayloadRole::kLanguageFile && size <= 7) {
    Add(issues, kWarning, name, "a language file of 7 bytes or less is ignored by the setup program");
  }
}

bool CheckStubSize(uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 1 && size <= 6) {
    Add(issues, kError, "",
        "the stub has " + std::to_string(size) +
            " bytes; the setup program finds an archive only at offset 0 or from offset 7 on");
    return false;
  }
  if (size > kLastArchiveOffset) {
    Add(issues, kError, "",
        "the stub has " + std::to_string(size) + " bytes, so the archive would start at offset " +
            std::to_string(size) + ", beyond 249,996, where the setup program no longer looks for it");
    return false;
  }
  return true;
}

void CheckStub(const uint8_t* stub, size_t size, std::vector<PayloadIssue>& issues) {
  if (!CheckStubSize(size, issues)) return;
  // Something in the stub that the setup program would take for the archive's start: the
  // marker at offset 0, or from offset 7 on the marker followed by the main header's type.
  const size_t typeOffset = kMarkerBytes + kFieldBlockType;
  if (size >= size_t(kMarkerBytes) && std::memcmp(stub, kRarMarker, kMarkerBytes) == 0) {
    Add(issues, kError, "", "the stub begins with an archive marker; the setup program would read the stub as its archive");
    return;
  }
  for (size_t i = kMarkerBytes; i + kMarkerBytes <= size; ++i) {
    if (std::memcmp(stub + i, kRarMarker, kMarkerBytes) != 0) continue;
    // The main header's type byte may already be the archive's own first bytes (the marker).
    uint8_t type = i + typeOffset < size ? stub[i + typeOffset] : kRarMarker[i + typeOffset - size];
    if (type == kBlockMain) {
      Add(issues, kError, "",
          "the stub holds an archive marker at offset " + std::to_string(i) +
              "; the setup program would take it for the start of its archive");
      return;
    }
  }
}
