// What a setup shows of its publisher before it runs: its icon in Explorer and in the setup
// dialog, and the version record of its Properties sheet. setuptool pack's options --icon
// and --version-info, and the rewriting of the stub's resources they lead to.
//
// The version record always describes the product, from what the setup program itself
// reads: ProductName and ProductVersion (and FileVersion) from the first line of
// FILE_ID.DIZ, FileDescription "<product> Setup", CompanyName the .INF's "Publisher"
// (else "Korvane"), OriginalFilename the output's name. --version-info KEY=VALUE sets or,
// with an empty VALUE, removes one field.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/stub_image.h"
#include "pack_folder.h"

struct BrandingOptions {
  std::string icon;                                              // .ico file, or empty
  std::vector<std::pair<std::string, std::string>> versionInfo;  // KEY, VALUE (UTF-8)
};

// Usage lines of the options, for pack's help.
extern const char kBrandingUsage[];

// Takes argv[i] (and its value) when it is one of the branding options: 1 when taken, 0
// when it is not one, -1 with `error` set when it is malformed.
int ParseBrandingOption(int argc, char** argv, int& i, BrandingOptions& options, std::string& error);

// Rewrites the stub's icon (when one is given) and version record from the payload's files
// (`files`, listed in `folder`, names in code page `codePage`); the stub's layout follows its
// bytes. False with `error` set; without a stub, false only when the options ask for
// something.
bool BrandStub(const BrandingOptions& options, const ListedFolder& folder, const std::vector<FolderFile>& files,
               int codePage, const std::string& output, StubImage& stub, std::string& error);
