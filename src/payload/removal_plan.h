// What the setup program will make of a payload, as far as the uninstaller must know it:
// the product id, the group name, the window class, the main program and the base name of
// every entry it could install (language-bound entries included, ".INF" entries never).
// Predicted by the setup program's own rules (payload/entry_rules.h, payload/text_rules.h),
// read in archive order as the scan and install passes read the payload, and written as
// the removal record that setuptool pack appends to our uninstaller; and whether the payload
// gets our uninstaller at all.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Which uninstaller a payload gets: the product's own when any of its entries, in any folder,
// has the base name the install pass takes for the uninstaller ("UnInst.exe", any case);
// else ours, the uninstaller stub with the removal record appended, unless none is wanted.
enum class UninstallerSource { kOurs, kProducts, kNone };
// A product that keeps its folders (keepFolders) has its uninstaller at the top level only.
UninstallerSource ChooseUninstaller(const std::vector<std::string>& names, bool noUninstaller,
                                    bool keepFolders = false);

// The name under which the install pass writes an entry below the destination: the base
// name, or, for a product that keeps its folders, the whole path with '\' separators.
std::string InstalledName(const std::string& name, bool keepFolders);

struct InstallPlan {
  std::string productId;    // "ID", at most 3 characters
  std::string group;        // "Group", else the product name of "FILE_ID.DIZ"; at most 31
  std::string windowClass;  // "Class", else the group name
  std::string mainProgram;  // "Exe", else the first K*.EXE entry that is not the uninstaller
  std::vector<std::string> files;  // installed names (InstalledName), in archive order, each once
  bool keepsFolders = false;       // "Folders=Keep": files are paths, the record's version 2
};

// `names` in archive order (8-bit, '\' separated); `texts` holds the content of the
// description entries ("FILE_ID.DIZ" and the ".INF" entries) by name. A description entry
// missing from `texts` counts as empty.
InstallPlan PredictInstallation(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts);

// The removal record of the plan (body and trailer), to append to the uninstaller; empty
// when the plan cannot be recorded (no group name, which the uninstaller needs to find the
// uninstall entry and the links).
std::vector<uint8_t> RemovalRecordOf(const InstallPlan& plan);
