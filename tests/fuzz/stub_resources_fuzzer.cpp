// Fuzz target: the reading of what setuptool pack takes from outside into a stub: an icon
// file, a resource section and a whole stub image to rewrite. A resource section that reads
// must read back the same after it is written again; nothing may read out of bounds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pack/icon_file.h"
#include "pack/pe_resources.h"
#include "pack/stub_resources.h"

namespace {

bool SameResources(const std::vector<Resource>& a, const std::vector<Resource>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i].type == b[i].type) || !(a[i].name == b[i].name) || a[i].language != b[i].language ||
        a[i].codePage != b[i].codePage || a[i].data != b[i].data)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  std::vector<IconImage> icon;
  const bool iconRead = ReadIconFile(data, size, &icon, &error);
  if (iconRead) GroupIconResource(icon, 1);

  const uint32_t rva = 0x13000;
  std::vector<Resource> resources;
  if (ReadResourceSection(data, size, rva, &resources, &error)) {
    const std::vector<uint8_t> written = WriteResourceSection(resources, rva);
    std::vector<Resource> again;
    // Written in the loader's order, so compare against a section written from that order.
    if (!ReadResourceSection(written.data(), written.size(), rva, &again, &error)) std::abort();
    const std::vector<uint8_t> rewritten = WriteResourceSection(again, rva);
    std::vector<Resource> third;
    if (!ReadResourceSection(rewritten.data(), rewritten.size(), rva, &third, &error) || !SameResources(again, third) ||
        rewritten != written)
      std::abort();
  }

  std::vector<uint8_t> image(data, data + size);
  StubResources replace;
  replace.icon = iconRead ? &icon : nullptr;
  const std::vector<uint8_t> record(8, 0);
  replace.versionRecord = &record;
  ReplaceStubResources(image, replace, &error);
  return 0;
}
