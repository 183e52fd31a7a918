// Where the Linux stand-in keeps its machine: drive-letter paths of the setup map onto a
// root folder chosen by the caller, so "C:\Program Files\Tool" is really created, as
// <root>/c/Program Files/Tool. The registry files live under the same root.
//
// system/host/ has two roles. For the unit tests it is the test double of Windows. For
// setuptool it is the real file layer: the archive reader, the extraction driver and the
// archive writer reach the Linux file system through file_io.cpp and the path conversions
// here, on files from anyone. Those paths are production code: they report every failure
// (a short write, an unopenable file) and never take a test's shortcut. setuptool hands
// them only paths without a drive letter or a backslash (the /proc/self/fd name of a handle
// it opened and checked), which reach the file system unchanged.
#pragma once
#include <string>

// The root folder of the stand-in's machine. Until a caller sets one it is the value of the
// environment variable KORV_HOST_ROOT, or /tmp/korv-host-root.
void HostSetRoot(const std::string& root);
const std::string& HostRoot();

// The Linux path of a wide path (UTF-16 in, UTF-8 out). "X:\a\b" (or "X:/a/b") becomes
// <root>/x/a/b: the drive letter in lower case, backslashes turned into slashes, "." and
// ".." folded without ever climbing above the drive, and every component that exists in
// another letter case taken with the case found on disk (Windows paths ignore case). A
// path without a drive letter is used as it is, with its backslashes turned into slashes.
std::string HostNativePath(const char16_t* path);

// UTF-16 <-> UTF-8 for the stand-in's files and tests (unpaired surrogates become U+FFFD).
std::string HostUtf8(const char16_t* text);
std::u16string HostUtf16(const std::string& text);
