// The installation a payload makes, predicted for the removal record (see removal_plan.h).
#include "payload/removal_plan.h"

#include <algorithm>
#include <set>

#include "payload/entry_rules.h"
#include "payload/payload_rules.h"
#include "payload/product_facts.h"
#include "payload/removal_record.h"

std::string InstalledName(const std::string& name, bool keepFolders) {
  if (!keepFolders) return PayloadBaseName(name);
  std::string path = name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

UninstallerSource ChooseUninstaller(const std::vector<std::string>& names, bool noUninstaller, bool keepFolders) {
  for (const std::string& name : names) {
    const std::string installed = InstalledName(name, keepFolders);
    if (installed.find('\\') == std::string::npos && IsUninstallerName(WidenedName(installed).c_str()))
      return UninstallerSource::kProducts;
  }
  return noUninstaller ? UninstallerSource::kNone : UninstallerSource::kOurs;
}

InstallPlan PredictInstallation(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts) {
  InstallPlan plan;
  const ProductFacts facts = ReadPayloadFacts(names, texts);
  plan.productId = facts.productId;
  plan.group = facts.group;
  plan.windowClass = WatchedWindowClass(facts);
  plan.mainProgram = facts.mainProgram;
  plan.keepsFolders = KeepsFolders(facts);
  std::set<std::string> seen;  // installed names with ASCII letters folded, as the setup compares
  bool mainFromEntries = plan.mainProgram.empty();
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name), installed = InstalledName(name, plan.keepsFolders);
    const std::u16string wide = WidenedName(base);
    if (IsNeverInstalled(wide.c_str())) continue;
    // Kept folders: the main program is a file at the top level only.
    const bool topLevel = installed.find('\\') == std::string::npos;
    if (mainFromEntries && topLevel && !IsUninstallerName(wide.c_str()) && IsMainProgramCandidate(wide.c_str())) {
      plan.mainProgram = base.substr(0, kRemovalProgramWidth);
      mainFromEntries = false;
    }
    std::string folded = installed;
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (seen.insert(folded).second) plan.files.push_back(installed);
  }
  return plan;
}

std::vector<uint8_t> RemovalRecordOf(const InstallPlan& plan) {
  std::vector<const char*> names;
  for (const std::string& f : plan.files) names.push_back(f.c_str());
  RemovalRecordFields fields = {plan.productId.c_str(), plan.group.c_str(), plan.windowClass.c_str(),
                                plan.mainProgram.c_str(), names.data(), int(names.size()),
                                plan.keepsFolders ? kRemovalTreeRecordVersion : kRemovalRecordVersion};
  if (plan.group.empty()) return {};
  std::vector<uint8_t> record(RemovalRecordSize(fields));
  const uint32_t written = WriteRemovalRecord(fields, record.data(), uint32_t(record.size()));
  record.resize(written);
  return record;
}
