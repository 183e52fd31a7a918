// Our uninstaller in the payload. When the product folder has no "UnInst.exe" of its own
// (in any of its folders: the setup program takes that base name as the uninstaller
// wherever it lies), setuptool pack adds the uninstaller stub as the entry "UnInst.exe",
// with the removal record appended that lists what the setup will install from this
// payload. The product's own uninstaller wins; --no-uninstaller leaves ours out (the choice
// is ChooseUninstaller's, payload/removal_plan.h). Here: reading the stub and appending.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "image/stub_image.h"
#include "pack_folder.h"
#include "payload/removal_plan.h"

// Reads the uninstaller stub into `image` and makes the entry that carries it (its size is
// the stub's until the record is appended). False with `error` set when the file is not a
// complete Windows program of the architecture `wanted` or already carries a removal record.
bool LoadUninstallerStub(const std::string& path, PeArchitecture wanted, StubImage& image, FolderFile& entry,
                         std::string& error);

// Appends the removal record of the plan and puts the image checksum of the whole file into
// its header; the entry's size and the payload's total follow. False with `error` set when
// the installation cannot be recorded (too many files).
bool AppendRemovalRecord(const InstallPlan& plan, StubImage& image, FolderFile& entry, uint64_t& total,
                         std::string& error);

// Replaces the uninstaller with `signed_` (our uninstaller as the signing command left it);
// the entry's size and the payload's total follow.
void ReplaceUninstaller(std::vector<uint8_t> signed_, StubImage& image, FolderFile& entry, uint64_t& total);
