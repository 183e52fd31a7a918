// What the setup program will do with a product folder, predicted for setuptool pack from the
// setup program's own rules, so that a publisher learns about a problem when packing, not
// when a user installs; and the order of the entries in the archive.
//
// The setup program reads the archive in order and
//   - takes the product description from the entry named "FILE_ID.DIZ" (whole name,
//     ignoring case) and the installation description from entries ending in ".INF";
//   - takes the language-file prefix from the first entry ending in ".LNG";
//   - writes every other entry into one destination folder under its base name (folders
//     are not reproduced), so base names must be unique and valid Windows file names; or,
//     when the ".INF" says "Folders=Keep", under its path below that folder, so paths must
//     be unique and every component a valid name;
//   - reads the ".INF" keys "ID", "Group", "Class" and "Exe" by finding the first
//     occurrence of the key anywhere in the text, followed directly by "=", and keeps at
//     most 3, 31, 31 and 31 characters of their values; "URL" and "HelpURL" only at the
//     start of a line, keeping at most 255 characters;
//   - finds the archive only when it starts at offset 0 or at an offset from 7 to 249,996.
// Names here are 8-bit text in the archive's code page, folders separated by '\'.
// Each rule above is the setup program's own code (payload/entry_rules.h, payload/text_rules.h);
// the checks here say what it means for a publisher, and are stricter where they differ.
// They live in three files: payload_names.cpp (names and order), payload_texts.cpp (the
// ".INF", "FILE_ID.DIZ" and language-file texts), payload_stub.cpp (sizes and the stub).
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_locator.h"
#include "payload/product_facts.h"

enum class PayloadIssueLevel { kWarning, kError };

struct PayloadIssue {
  PayloadIssueLevel level;
  std::string entry;    // the entry concerned (empty for the setup as a whole)
  std::string message;
};

// Adds an issue to `issues`, as every check below reports.
void AddPayloadIssue(std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry,
                     const std::string& message);

// Role of an entry for the setup program.
enum class PayloadRole { kDescription = 0, kSetupInfo = 1, kLanguageFile = 2, kOther = 3 };

PayloadRole PayloadRoleOf(const std::string& name);

// An 8-bit name with each byte widened, as the setup program's name rules (entry_rules.h)
// take it: every character they single out is ASCII, which the code page maps to itself.
std::u16string WidenedName(const std::string& name);

// Base name: the text after the last '\' or '/'.
std::string PayloadBaseName(const std::string& name);

// Sorts names into archive order: "FILE_ID.DIZ", the ".INF" entries, the ".LNG" entries,
// then all others; within each group by the bytes of the name.
void SortPayloadNames(std::vector<std::string>& names);

// Checks of the names alone: unsafe or invalid names, names of 260 bytes or more, base
// names that collide once folders are flattened (with kept folders: paths that collide,
// ignoring case, a file and a folder of the same path among them), a missing "FILE_ID.DIZ",
// several ".INF" entries, ".LNG" names the setup cannot take a language code from; without
// kept folders, one warning that files in subfolders will be flattened.
void CheckPayloadNames(const std::vector<std::string>& names, bool keepFolders, std::vector<PayloadIssue>& issues);

// Checks of an entry's size: 2 GiB or more cannot be stored; description entries that the
// scan pass could not hold in memory.
void CheckPayloadSize(const std::string& name, uint64_t size, std::vector<PayloadIssue>& issues);

// Checks of an ".INF" entry's content against the setup's reading of it: keys the setup would
// miss or read elsewhere, values it would cut, web pages that are no web address.
void CheckSetupInfo(const std::string& name, const uint8_t* data, size_t size, std::vector<PayloadIssue>& issues);

// The product facts the setup will read from the description entries (`texts`, by name), in
// archive order as the scan pass reads them.
ProductFacts ReadPayloadFacts(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts);

// The facts against the setup's rule (payload/product_facts.h), as errors: a group that is not
// a single folder name, an "Exe" that is not a plain file name or names no entry of the
// payload, a window class of the system's own.
void CheckPayloadFacts(const ProductFacts& facts, const std::vector<std::string>& names,
                       std::vector<PayloadIssue>& issues);

// Checks of the product description: a product name that will be cut when it becomes the
// group name (unless the ".INF" gives "Group").
void CheckDescription(const std::string& name, const uint8_t* data, size_t size, bool groupFromInfo,
                      std::vector<PayloadIssue>& issues);

// Checks of a language file's content: too short, no "[" first, no "Language" name.
void CheckLanguageFile(const std::string& name, const uint8_t* data, size_t size,
                       std::vector<PayloadIssue>& issues);

// Warnings about what the install will not do: no main program (no "Exe" in the ".INF" and
// no entry named K*.EXE, so no shortcuts), no "UnInst.exe" (no uninstall entry). With kept
// folders both count at the top level only.
void CheckInstallResults(const std::vector<std::string>& names, bool exeFromInfo, bool keepFolders,
                         std::vector<PayloadIssue>& issues);

// True when an ".INF" content sets "Group" the way the setup reads it.
bool SetupInfoSetsGroup(const uint8_t* data, size_t size);
// True when an ".INF" content gives a non-empty "Exe" the way the setup reads it.
bool SetupInfoSetsExe(const uint8_t* data, size_t size);

// Checks of the stub the archive is appended to: its size decides where the archive
// starts, and the setup program's search (archive/archive_locator.h, whose kLastArchiveOffset
// bounds the stub) must find the archive there: the stub may hold no marker it would take for
// its archive, nor the older format's, at which it stops.
void CheckStub(const uint8_t* stub, size_t size, std::vector<PayloadIssue>& issues);
// The size part of CheckStub alone (for a stub too large to be read): false when refused.
bool CheckStubSize(uint64_t size, std::vector<PayloadIssue>& issues);
