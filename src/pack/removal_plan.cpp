// The installation a payload makes, predicted for the removal record (see removal_plan.h).
#include "pack/removal_plan.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "pack/payload_rules.h"
#include "payload/entry_rules.h"
#include "payload/text_rules.h"
#include "uninstall/removal_record.h"

namespace {

std::u16string Widened(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide += char16_t(c);  // every character the rules single out is ASCII
  return wide;
}

int KeyWidth(const char* key) {
  for (const SetupInfoKey& k : kSetupInfoKeys)
    if (std::strcmp(k.key, key) == 0) return k.width;
  return 0;
}

// A key's value as the setup keeps it; the field keeps what it held when the key is absent.
void ReadKey(const std::string& text, const char* key, std::string& field) {
  int length = 0;
  const char* value = FindSetupInfoValue(text.c_str(), key, &length);
  if (!value) return;
  field.assign(value, size_t(std::min(length, KeyWidth(key))));
}

}  // namespace

InstallPlan PredictInstallation(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts) {
  InstallPlan plan;
  std::set<std::string> seen;  // base names with ASCII letters folded, as the setup compares
  for (const std::string& name : names) {
    const PayloadRole role = PayloadRoleOf(name);
    auto it = texts.find(name);
    const std::string text = it == texts.end() ? std::string() : it->second;
    if (role == PayloadRole::kDescription && plan.group.empty()) {
      DescriptionLine line;
      ReadDescriptionLine(text.c_str(), &line);
      plan.group.assign(line.product, std::min<size_t>(std::strlen(line.product), kRemovalGroupWidth));
    } else if (role == PayloadRole::kSetupInfo) {
      ReadKey(text, "ID", plan.productId);
      ReadKey(text, "Group", plan.group);
      ReadKey(text, "Class", plan.windowClass);
      ReadKey(text, "Exe", plan.mainProgram);
    }
  }
  if (plan.windowClass.empty()) plan.windowClass = plan.group;
  bool mainFromEntries = plan.mainProgram.empty();
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name);
    const std::u16string wide = Widened(base);
    if (IsNeverInstalled(wide.c_str())) continue;
    if (mainFromEntries && !IsUninstallerName(wide.c_str()) && IsMainProgramCandidate(wide.c_str())) {
      plan.mainProgram = base.substr(0, kRemovalProgramWidth);
      mainFromEntries = false;
    }
    std::string folded = base;
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (seen.insert(folded).second) plan.files.push_back(base);
  }
  return plan;
}

std::vector<uint8_t> RemovalRecordOf(const InstallPlan& plan) {
  std::vector<const char*> names;
  for (const std::string& f : plan.files) names.push_back(f.c_str());
  RemovalRecordFields fields = {plan.productId.c_str(), plan.group.c_str(), plan.windowClass.c_str(),
                                plan.mainProgram.c_str(), names.data(), int(names.size())};
  if (plan.group.empty()) return {};
  std::vector<uint8_t> record(RemovalRecordSize(fields));
  const uint32_t written = WriteRemovalRecord(fields, record.data(), uint32_t(record.size()));
  record.resize(written);
  return record;
}
