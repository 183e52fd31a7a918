// Everything pack checks about a payload (see payload_check.h).
#include "payload/payload_check.h"

#include "archive/extract_context.h"

namespace {

// Reads the ".INF" entries and the language files, then "FILE_ID.DIZ", and checks each as
// the setup program reads it; keeps the description entries' texts. Returns whether an
// ".INF" names the main program ("Exe").
bool CheckTexts(CheckedPayload& p, PayloadReader reader, std::vector<PayloadIssue>& issues) {
  bool groupFromInfo = false, exeFromInfo = false;
  std::vector<uint8_t> data;
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : p.names) {
      const PayloadRole role = PayloadRoleOf(name);
      if (role == PayloadRole::kOther || (role == PayloadRole::kDescription) != (pass == 1)) continue;
      if (!reader.read(reader.user, name, kMemoryEntryLimit - 1, data)) continue;
      if (role != PayloadRole::kLanguageFile) p.texts[name].assign(data.begin(), data.end());
      if (role == PayloadRole::kSetupInfo) {
        CheckSetupInfo(name, data.data(), data.size(), issues);
        groupFromInfo = groupFromInfo || SetupInfoSetsGroup(data.data(), data.size());
        exeFromInfo = exeFromInfo || SetupInfoSetsExe(data.data(), data.size());
      } else if (role == PayloadRole::kLanguageFile) {
        CheckLanguageFile(name, data.data(), data.size(), issues);
      } else {
        CheckDescription(name, data.data(), data.size(), groupFromInfo, issues);
      }
    }
  }
  return exeFromInfo;
}

}  // namespace

CheckedPayload CheckPayload(const std::vector<PayloadEntry>& entries, const PayloadStub& stub, PayloadReader reader,
                            std::vector<PayloadIssue>& issues) {
  CheckedPayload p;
  for (const PayloadEntry& e : entries) {
    p.names.push_back(e.name);
    CheckPayloadSize(e.name, e.size, issues);
  }
  SortPayloadNames(p.names);
  CheckPayloadNames(p.names, issues);
  if (!stub.bytes)
    CheckStubSize(stub.size, issues);
  else
    CheckStub(stub.bytes, size_t(stub.size), issues);
  const bool exeFromInfo = CheckTexts(p, reader, issues);
  CheckInstallResults(p.names, exeFromInfo, issues);
  p.facts = ReadPayloadFacts(p.names, p.texts);
  CheckPayloadFacts(p.facts, p.names, issues);
  return p;
}
