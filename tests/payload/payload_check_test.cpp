// The payload's checks in one call, with the files read from memory: what is read, in which
// order, and what the setup program's order of effect makes of it.
#include "payload/payload_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct MemoryFolder {
  std::map<std::string, std::string> content;
  std::vector<std::string> read;  // the names asked for, in order
};

bool ReadFromMemory(void* user, const std::string& name, uint64_t limit, std::vector<uint8_t>& content) {
  MemoryFolder& folder = *static_cast<MemoryFolder*>(user);
  folder.read.push_back(name);
  const std::string& text = folder.content.at(name);
  if (text.size() > limit) return false;
  content.assign(text.begin(), text.end());
  return true;
}

// Only the texts the setup program reads into memory are read, the ".INF" and language files
// before "FILE_ID.DIZ": a product name that would be cut as the group's name is worth a
// warning only when no ".INF" gives the group.
TEST(PayloadCheck, TheSetupInfoIsReadBeforeTheDescriptionWhoseNameItMayReplace) {
  for (bool groupFromInfo : {false, true}) {
    MemoryFolder folder;
    folder.content = {{"FILE_ID.DIZ", std::string(40, 'P') + " Version 1\r\n"},
                      {"APP_FR.LNG", "[Info]\r\nLanguage=French\r\n"},
                      {"KTool.exe", "MZ"},
                      {"UnInst.exe", "MZ"}};
    if (groupFromInfo) folder.content["SETUP.INF"] = "Group=Tool\r\n";
    std::vector<PayloadEntry> entries;
    for (const auto& f : folder.content) entries.push_back({f.first, f.second.size()});
    std::vector<PayloadIssue> issues;
    const CheckedPayload p =
        CheckPayload(entries, PayloadStub{nullptr, 0}, PayloadReader{ReadFromMemory, &folder}, issues);

    std::vector<std::string> expectedReads = {"APP_FR.LNG", "FILE_ID.DIZ"};
    if (groupFromInfo) expectedReads.insert(expectedReads.begin(), "SETUP.INF");
    EXPECT_EQ(folder.read, expectedReads);
    size_t cutGroupWarnings = 0;
    for (const PayloadIssue& i : issues)
      cutGroupWarnings += i.message.find("program group's name") != std::string::npos;
    EXPECT_EQ(cutGroupWarnings, groupFromInfo ? 0u : 1u);
    EXPECT_EQ(std::string(p.facts.group), groupFromInfo ? "Tool" : std::string(31, 'P'));
    EXPECT_EQ(p.names.front(), "FILE_ID.DIZ");
  }
}

}  // namespace
