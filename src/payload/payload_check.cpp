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
  // The names are judged by whether the product keeps its folders, which its ".INF" says;
  // the issues keep their order: names, stub, texts.
  std::vector<PayloadIssue> textIssues;
  const bool exeFromInfo = CheckTexts(p, reader, textIssues);
  p.facts = ReadPayloadFacts(p.names, p.texts);
  const bool keepFolders = KeepsFolders(p.facts);
  CheckPayloadNames(p.names, keepFolders, issues);
  if (!stub.bytes)
    CheckStubSize(stub.size, issues);
  else
    CheckStub(stub.bytes, size_t(stub.size), issues);
  issues.insert(issues.end(), textIssues.begin(), textIssues.end());
  CheckInstallResults(p.names, exeFromInfo, keepFolders, issues);
  CheckPayloadFacts(p.facts, p.names, issues);
  return p;
}
