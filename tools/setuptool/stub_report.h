// The program in front of a setup's archive, as setuptool list and test report it. A setup
// whose archive verifies may still not run: its executable image can be damaged or crafted
// (its sections over its own headers, say), and test must not call such a file sound. A
// sound one is a setup for one architecture of Windows (x86 or x64), which list and test
// name, since the same payload installs elsewhere under each.
#pragma once
#include <cstdint>
#include <string>

#include "image/pe_image.h"
#include "report.h"

// What the bytes in front of an archive are.
struct SetupProgram {
  bool claimed = false;                 // they begin like a program ("MZ")
  PeProblem problem = PeProblem::kNone; // when claimed: why they are no sound image
  uint32_t machine = 0;                 // of a sound image: its machine type
  PeArchitecture architecture = PeArchitecture::kOther;  // of a sound image
};

// Reads the `archiveOffset` bytes in front of the archive. A bare archive, or one behind
// bytes that do not claim to be a program, gives claimed false: nothing to judge.
SetupProgram ReadSetupProgram(const ArchiveFile& archive, int32_t archiveOffset);

// False with `problem` set ("has no PE header", ...) when the file's bytes before its archive
// (at `archiveOffset`) begin like a program but are no sound program image; `kind` gets
// SetupProgramText of the program (empty when there is none).
bool CheckSetupProgram(const ArchiveFile& archive, int32_t archiveOffset, std::string* problem, std::string* kind);

// "setup program for x86 (32-bit) Windows", "... for x64 (64-bit) Windows", "setup program
// for machine type 0x1C4" for a sound image; empty when there is no sound program.
std::string SetupProgramText(const SetupProgram& program);
