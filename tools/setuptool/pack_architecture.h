// The Windows architecture of the setup setuptool pack makes (--arch x86|x64): which stub and
// which uninstaller of ours it takes, and what it tells the publisher whose main program is
// of the other architecture.
//
// A 32-bit setup (x86, the default) installs into "Program Files (x86)" and registers the
// product in the registry's 32-bit view on 64-bit Windows; a 64-bit one (x64) into "Program
// Files" and the native view, where Windows users and admins look for a 64-bit product. The
// two stubs are found alike (stub_location.h), the 64-bit ones in a folder "x64" of their own.
// The main program is judged by its headers only (the one PE reader, image/pe_image.h): a
// file that is no sound program image is not judged, and what is found is a warning, since
// either setup runs either program.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "image/pe_image.h"
#include "pack_folder.h"
#include "payload/payload_rules.h"

// The architecture an --arch value names ("x86" or "x64"); kOther for any other text.
PeArchitecture ParseArchitecture(const std::string& text);

// The file name, relative to where the stubs are found, of one of our Windows programs
// ("Setup.exe", "UnInst.exe") for the architecture: the name itself for x86, "x64/<name>"
// for x64.
std::string StubFileName(PeArchitecture architecture, const std::string& program);

// The archive name of the payload's main program, as the setup picks it (the .INF's "Exe",
// else the first K*.EXE entry: payload/removal_plan.h) from `names` in archive order and the
// description entries' `texts`; empty when there is none.
std::string MainProgramEntry(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts);

// Adds a warning about `entry`, the main program, listed as `file` below `folder` (or made by
// pack, in memory), when it is a program image of the other architecture than `setup`'s.
void CheckMainProgramArchitecture(PeArchitecture setup, const ListedFolder& folder, const FolderFile& file,
                                  const std::string& entry, std::vector<PayloadIssue>& issues);
