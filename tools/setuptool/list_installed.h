// What setuptool list says below the entries: where the setup program writes the files, by
// its own rule (payload/removal_plan.h InstalledName): every file flat under its file name, or,
// when the payload's .INF says "Folders=Keep", under its path as listed.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "report.h"

// Reads the payload's .INF entries as the setup's scan pass does; prints, for a product that
// keeps its folders, that the paths above are the installed ones, else each file in a folder
// with the name the setup writes it under. Nothing when no file lies in a folder.
void PrintInstalledNames(FILE* out, const ArchiveFile& archive, const std::vector<EntryInfo>& entries);
