// The program in front of a setup's archive, as setuptool test judges it. A setup whose
// archive verifies may still not run: its executable image can be damaged or crafted (its
// sections over its own headers, say), and test must not call such a file sound.
#pragma once
#include <string>

#include "report.h"

// False with `problem` set ("has no PE header", ...) when the file's bytes before its archive
// begin like a program ("MZ") but are no sound program image. A bare archive, or one behind
// bytes that do not claim to be a program, has nothing to judge here.
bool CheckSetupProgram(const ArchiveFile& archive, std::string* problem);
