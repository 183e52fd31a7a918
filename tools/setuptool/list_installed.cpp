// Where the setup writes each file (see list_installed.h).
#include "list_installed.h"

#include "archive/extract.h"
#include "payload/entry_rules.h"
#include "payload/payload_rules.h"
#include "payload/product_facts.h"
#include "payload/removal_plan.h"
#include "terminal_text.h"

namespace {

// The .INF entries go into memory and are read in archive order, later keys replacing
// earlier ones, as the scan pass reads them; every other entry is decoded and dropped.
int ReadSetupInfo(char16_t* name, const uint8_t* data, uint32_t, void* user) {
  if (data) {
    ReadSetupInfoFacts(reinterpret_cast<const char*>(data), static_cast<ProductFacts*>(user));
    return 0;
  }
  const bool info = ScanEntryKindOf(name) == SetupInfo;
  name[0] = info ? char16_t(SetupInfo) : 0;
  if (info) name[1] = 0;
  return 0;
}

}  // namespace

void PrintInstalledNames(FILE* out, const ArchiveFile& archive, const std::vector<EntryInfo>& entries) {
  std::vector<const EntryInfo*> nested;
  for (const EntryInfo& e : entries)
    if (!e.IsVolumeLabel() && e.rawName.find('\\') != std::string::npos) nested.push_back(&e);
  if (nested.empty()) return;
  ProductFacts facts = {};
  ExtractArchive(archive.path.c_str(), ReadSetupInfo, &facts);
  if (KeepsFolders(facts)) {
    std::fprintf(out, "Folders=Keep: the setup writes every file under its path as listed\n");
    return;
  }
  std::fprintf(out, "The setup writes these files flat into the destination (Folders=Keep in the .INF keeps them):\n");
  for (const EntryInfo* e : nested) {
    if (e->IsDirectory() || IsNeverInstalled(WidenedName(PayloadBaseName(e->rawName)).c_str())) continue;
    std::fprintf(out, "  %s -> %s\n", e->shownName.c_str(),
                 TerminalText(e->displayName.substr(e->displayName.find_last_of('\\') + 1)).c_str());
  }
}
