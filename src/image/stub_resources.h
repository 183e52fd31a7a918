// Puts the publisher's icon and version record into the stub, by rewriting the stub's
// resource section at pack time.
//
// The stub is linked with its resource section followed only by the base relocations (the
// linker's order). The section is read into its resources, icon 1 (its group and images)
// and the version record are replaced, and the section is written anew at the same RVA and
// file offset, as large as it now needs. The relocation section behind it is moved to the
// next free RVA and file offset; its contents are RVAs of places in other sections, so only
// its own row in the section table and the base relocation directory change. The image
// size, the initialised data size and the resource directory follow. The image checksum is
// left for the finished setup (pe_checksum.h), which is more than the stub.
//
// The stub comes with its layout, read once (stub_image.h); the rewritten image is read back
// by the same reader, which both proves the rewriting sound and gives the stub its new layout.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/icon_file.h"
#include "image/stub_image.h"

struct StubResources {
  const std::vector<IconImage>* icon = nullptr;          // becomes icon 1, or none: kept
  const std::vector<uint8_t>* versionRecord = nullptr;   // becomes the version record, or none
};

// Rewrites the resources of the stub in place: its bytes, and its layout to that of the new
// bytes. False with `error` set (the stub unchanged) when its layout is not one this
// rewriting knows.
bool ReplaceStubResources(StubImage& stub, const StubResources& replace, std::string* error);

struct VersionRecordContents;
// Reads the version record of a program image (`image` with its layout as pe_image.h reads
// it; the bytes before a setup's archive, signed or not): false when it has no resource
// section laid out as a stub's, no version record, or one that does not read as one.
bool ReadImageVersionRecord(const std::vector<uint8_t>& image, const PeLayout& layout,
                            VersionRecordContents* contents);
