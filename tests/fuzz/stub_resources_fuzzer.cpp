// Fuzz target: the reading of what setuptool pack takes from outside into a stub: an icon
// file, a resource section and a whole stub image to rewrite. A resource section that reads
// must read back the same after it is written again; a stub image, given as it is or built
// from random sections around a random resource tree, must either be refused by the stub
// checks or the rewriting, or come out as an image the reader accepts, with the layout the
// reader finds and a resource section that reads; nothing may read or write out of bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "image/icon_file.h"
#include "image/pe_image.h"
#include "image/pe_resources.h"
#include "image/stub_image.h"
#include "image/stub_resources.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool SameResources(const std::vector<Resource>& a, const std::vector<Resource>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i].type == b[i].type) || !(a[i].name == b[i].name) || a[i].language != b[i].language ||
        a[i].codePage != b[i].codePage || a[i].data != b[i].data)
      return false;
  return true;
}

uint32_t Take(const uint8_t*& data, size_t& size, uint32_t range) {
  uint32_t v = 0;
  for (int i = 0; i < 2 && size > 0; ++i, ++data, --size) v = v << 8 | *data;
  return range ? v % range : v;
}

// An x86 program image with its headers in the first 0x200 bytes and up to four sections
// whose places, sizes and addresses the input chooses; the one that the resource directory
// names gets the rest of the input as its bytes.
Bytes ImageOf(const uint8_t* data, size_t size) {
  const uint32_t count = 1 + Take(data, size, 4), resources = Take(data, size, count);
  Bytes b(0x200, 0);
  b[0] = 'M', b[1] = 'Z', b[0x3C] = 0x40, b[0x40] = 'P', b[0x41] = 'E';
  auto put32 = [&b](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i)); };
  b[0x44] = 0x4C, b[0x45] = 0x01, b[0x46] = uint8_t(count), b[0x54] = 224, b[0x56] = 0x02;
  b[0x58] = 0x0B, b[0x59] = 0x01;
  put32(0x58 + 32, 0x1000), put32(0x58 + 36, 0x200), put32(0x58 + 60, Take(data, size, 0x400));
  put32(0x58 + 56, Take(data, size, 0) << 4), put32(0x58 + 92, 16);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t row = 0x58 + 224 + 40 * i;
    const uint32_t va = Take(data, size, 0) << 4, vsize = Take(data, size, 0x4000);
    const uint32_t raw = Take(data, size, 0x4000), rawSize = Take(data, size, 0x4000);
    put32(row + 8, vsize), put32(row + 12, va), put32(row + 16, rawSize), put32(row + 20, raw);
    if (i == resources) put32(0x58 + 96 + 16, va), put32(0x58 + 96 + 20, vsize);
    if (i == resources + 1) put32(0x58 + 96 + 40, va), put32(0x58 + 96 + 44, 8);
    if (b.size() < size_t(raw) + rawSize) b.resize(size_t(raw) + rawSize, 0);
    if (i == resources) std::memcpy(b.data() + raw, data, std::min<size_t>(size, rawSize));
  }
  return b;
}

// The layout's fields that the rewriting and the checksum use.
bool SameLayout(const PeLayout& a, const PeLayout& b) {
  if (a.checksumField != b.checksumField || a.directories != b.directories || a.imageSize != b.imageSize ||
      a.sections.size() != b.sections.size())
    return false;
  for (size_t i = 0; i < a.sections.size(); ++i) {
    const PeSection &s = a.sections[i], &t = b.sections[i];
    if (s.virtualSize != t.virtualSize || s.virtualAddress != t.virtualAddress || s.rawSize != t.rawSize ||
        s.rawOffset != t.rawOffset)
      return false;
  }
  return true;
}

void RewriteStub(Bytes bytes, const std::vector<IconImage>* icon) {
  StubImage stub;
  if (ReadStubImage(std::move(bytes), &stub) != StubImageProblem::kNone) return;
  StubResources replace;
  replace.icon = icon;
  const Bytes record(8, 0);
  replace.versionRecord = &record;
  std::string error;
  if (!ReplaceStubResources(stub, replace, &error)) return;
  const Bytes& image = stub.bytes;
  PeLayout layout;
  if (!ReadPeLayout(image.data(), image.size(), &layout) || !SameLayout(layout, stub.layout)) std::abort();
  // The section that holds the resources: an empty section may share its address, since it
  // takes no room in memory.
  const PeDirectory directory = GetPeDirectory(image.data(), layout, kPeDirectoryResources);
  size_t holding = 0;
  for (const PeSection& s : layout.sections) {
    if (s.virtualAddress != directory.address || (s.rawSize == 0 && s.virtualSize == 0)) continue;
    std::vector<Resource> resources;
    if (s.rawSize < directory.size ||
        !ReadResourceSection(image.data() + s.rawOffset, directory.size, s.virtualAddress, &resources, &error))
      std::abort();
    ++holding;
  }
  if (holding != 1) std::abort();
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
    const Bytes written = WriteResourceSection(resources, rva);
    std::vector<Resource> again;
    // Written in the loader's order, so compare against a section written from that order.
    if (!ReadResourceSection(written.data(), written.size(), rva, &again, &error)) std::abort();
    const Bytes rewritten = WriteResourceSection(again, rva);
    std::vector<Resource> third;
    if (!ReadResourceSection(rewritten.data(), rewritten.size(), rva, &third, &error) || !SameResources(again, third) ||
        rewritten != written)
      std::abort();
  }

  RewriteStub(Bytes(data, data + size), iconRead ? &icon : nullptr);
  RewriteStub(ImageOf(data, size), nullptr);
  return 0;
}
