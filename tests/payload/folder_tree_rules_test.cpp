// The payload rules for a product that keeps its folders ("Folders=Keep"): every component of
// a path judged as a name, collisions per path, the top-level-only special names, and the
// removal record's version 2 that carries paths.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "payload/entry_rules.h"
#include "payload/payload_rules.h"
#include "payload/payload_test_support.h"
#include "payload/product_facts.h"
#include "payload/removal_plan.h"
#include "payload/removal_record.h"

namespace {

using Names = std::vector<std::string>;
using payloadtest::Count;
using payloadtest::kError;
using payloadtest::kWarning;

TEST(FolderTreeRules, EveryComponentOfAPathIsJudgedAsAName) {
  const struct {
    const char16_t* path;
    UnsafeNameReason reason;
  } rows[] = {
      {u"data\\levels\\expert.txt", kNameSafe},  {u"plugins/a.dll", kNameSafe},
      {u"a\\..\\b.txt", kNameFolderReference},    {u"CON\\x.txt", kNameDevice},
      {u"data.\\x.txt", kNameTrailingDotOrSpace}, {u"\\x.txt", kNameEmpty},
      {u"a\\\\b.txt", kNameEmpty},                {u"a\\b\\", kNameEmpty},
      {u"a\\tab\tname\\b", kNameControlCharacter}, {u"a\\c:d\\e", kNameReservedCharacter},
  };
  for (const auto& row : rows) EXPECT_EQ(UnsafePathReasonOf(row.path), row.reason);
}

TEST(FolderTreeRules, CollisionsAreJudgedPerPathIgnoringCase) {
  const struct {
    Names names;
    bool keep;
    size_t errors;
  } rows[] = {
      {{"a\\x.txt", "b\\x.txt"}, true, 0},        // two folders, two files
      {{"a\\x.txt", "b\\x.txt"}, false, 1},       // flattened, they collide
      {{"Data\\x.txt", "data\\X.TXT"}, true, 1},  // the same path but for case
      {{"data", "data\\x.txt"}, true, 1},         // a file where a folder is needed
      {{"DATA", "data\\levels\\x.txt"}, true, 1},
      {{"data\\a.inf", "data\\a.inf\\x"}, true, 0},  // an .INF is never written
  };
  for (const auto& row : rows) {
    std::vector<PayloadIssue> issues;
    CheckPayloadNames(row.names, row.keep, issues);
    size_t errors = 0;
    for (const PayloadIssue& i : issues) errors += i.level == kError;
    EXPECT_EQ(errors, row.errors) << row.names[0] << " " << row.names[1] << " keep=" << row.keep;
  }
}

TEST(FolderTreeRules, WithoutTheKeyOneWarningSaysTheFoldersAreFlattened) {
  std::vector<PayloadIssue> nested, flat, kept;
  CheckPayloadNames({"FILE_ID.DIZ", "a\\x.txt", "b\\y.txt", "z.txt"}, false, nested);
  CheckPayloadNames({"FILE_ID.DIZ", "z.txt"}, false, flat);
  CheckPayloadNames({"FILE_ID.DIZ", "a\\x.txt", "b\\y.txt"}, true, kept);
  auto flattened = [](const std::vector<PayloadIssue>& issues) {
    size_t n = 0;
    for (const PayloadIssue& i : issues) n += i.message.find("Folders=Keep") != std::string::npos;
    return n;
  };
  EXPECT_EQ(flattened(nested), 1u);
  EXPECT_EQ(Count(nested, kWarning, ""), 1u);
  EXPECT_EQ(flattened(flat), 0u);
  EXPECT_EQ(flattened(kept), 0u);
}

TEST(FolderTreeRules, TheUninstallerAndMainProgramCountAtTheTopOnly) {
  const Names names = {"FILE_ID.DIZ", "A.INF", "bin\\KTool.exe", "sub\\UnInst.exe", "KMain.exe"};
  const std::map<std::string, std::string> texts = {{"FILE_ID.DIZ", "Tool\r\n"}, {"A.INF", "Folders=KEEP\r\n"}};
  const InstallPlan plan = PredictInstallation(names, texts);
  EXPECT_TRUE(plan.keepsFolders);
  EXPECT_EQ(plan.mainProgram, "KMain.exe");
  EXPECT_EQ(plan.files, (Names{"FILE_ID.DIZ", "bin\\KTool.exe", "sub\\UnInst.exe", "KMain.exe"}));
  EXPECT_EQ(ChooseUninstaller(names, false, true), UninstallerSource::kOurs);
  EXPECT_EQ(ChooseUninstaller(names, false, false), UninstallerSource::kProducts);
  std::vector<PayloadIssue> issues;
  CheckInstallResults({"bin\\KTool.exe", "sub\\UnInst.exe"}, false, true, issues);
  EXPECT_EQ(Count(issues, kWarning, ""), 2u);  // no main program, no uninstaller
  // "Exe" must name a file at the top when the folders are kept.
  ProductFacts facts = {};
  std::strcpy(facts.group, "Tool");
  std::strcpy(facts.mainProgram, "KTool.exe");
  std::strcpy(facts.folders, "Keep");
  std::vector<PayloadIssue> exe;
  CheckPayloadFacts(facts, {"bin\\KTool.exe"}, exe);
  EXPECT_EQ(Count(exe, kError, ""), 1u);
  facts.folders[0] = 0;
  exe.clear();
  CheckPayloadFacts(facts, {"bin\\KTool.exe"}, exe);
  EXPECT_EQ(Count(exe, kError, ""), 0u);
  const InstallPlan flat = PredictInstallation(names, {{"FILE_ID.DIZ", "Tool\r\n"}, {"A.INF", "Folders=Flat\r\n"}});
  EXPECT_FALSE(flat.keepsFolders);
  EXPECT_EQ(flat.mainProgram, "KTool.exe");
}

// A record of the names, written as `version`, read back: whether the uninstaller takes it.
bool RecordReads(const char* name, uint16_t version) {
  const char* names[] = {"KTool.exe", name};
  RemovalRecordFields fields = {"TL", "Tool", "ToolWindow", "KTool.exe", names, 2, version};
  std::vector<uint8_t> bytes(RemovalRecordSize(fields));
  bytes.resize(WriteRemovalRecord(fields, bytes.data(), uint32_t(bytes.size())));
  if (bytes.size() < size_t(kRemovalTrailerBytes)) return false;
  const uint8_t* trailer = bytes.data() + bytes.size() - kRemovalTrailerBytes;
  RemovalRecord record;
  return ReadRemovalRecord(bytes.data(), uint32_t(bytes.size() - kRemovalTrailerBytes), trailer, &record) &&
         record.version == version;
}

TEST(FolderTreeRules, OnlyATreeRecordCarriesPathsAndEachComponentMustBePlain) {
  EXPECT_TRUE(RecordReads("data\\levels\\x.txt", kRemovalTreeRecordVersion));
  EXPECT_TRUE(RecordReads("x.txt", kRemovalRecordVersion));
  EXPECT_TRUE(RecordReads("x.txt", kRemovalTreeRecordVersion));
  EXPECT_FALSE(RecordReads("data\\x.txt", kRemovalRecordVersion));
  for (const char* bad : {"..\\x.txt", "data\\..\\..\\x", "data/x.txt", "\\x.txt", "data\\", "C:\\x", "NUL\\x"})
    EXPECT_FALSE(RecordReads(bad, kRemovalTreeRecordVersion)) << bad;
}

}  // namespace
