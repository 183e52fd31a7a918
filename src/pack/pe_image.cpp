// The headers of a PE32 image (see pe_image.h).
#include "pack/pe_image.h"

#include "archive/byte_order.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550u;  // "PE\0\0"
constexpr uint32_t kMagicPe32 = 0x10B;
constexpr size_t kCoffHeaderBytes = 20;
constexpr size_t kOptionalFixedBytes = 96;      // PE32 fields before the data directories

}  // namespace

uint32_t PeGet16(const uint8_t* p) { return Get16(p); }
uint32_t PeGet32(const uint8_t* p) { return Get32(p); }
void PePut16(uint8_t* p, uint32_t value) { Put16(p, value); }
void PePut32(uint8_t* p, uint32_t value) { Put32(p, value); }

bool PeAlignmentUsable(uint32_t alignment) { return alignment != 0 && (alignment & (alignment - 1)) == 0; }

uint32_t PeAlign(uint32_t value, uint32_t alignment) {
  if (alignment == 0) return value;
  return (value + alignment - 1) & ~(alignment - 1);
}

bool ReadPeLayout(const uint8_t* image, size_t size, PeLayout* layout) {
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') return false;
  const uint64_t pe = PeGet32(image + 0x3C);
  if (pe < 64 || pe + 4 + kCoffHeaderBytes > size || PeGet32(image + pe) != kPeSignature) return false;
  const uint8_t* coff = image + pe + 4;
  const uint32_t sectionCount = PeGet16(coff + 2), optionalSize = PeGet16(coff + 16);
  const uint64_t optional = pe + 4 + kCoffHeaderBytes;
  if (optionalSize < kOptionalFixedBytes || optional + optionalSize > size) return false;
  const uint8_t* opt = image + optional;
  if (PeGet16(opt) != kMagicPe32) return false;
  const uint32_t directoryCount = PeGet32(opt + 92);
  if (directoryCount > (optionalSize - kOptionalFixedBytes) / 8) return false;
  const uint64_t table = optional + optionalSize;
  if (table + uint64_t(sectionCount) * kPeSectionHeaderBytes > size) return false;
  layout->optionalHeader = size_t(optional);
  layout->checksumField = size_t(optional + 64);
  layout->directories = size_t(optional + kOptionalFixedBytes);
  layout->directoryCount = directoryCount;
  layout->sectionAlignment = PeGet32(opt + 32);
  layout->fileAlignment = PeGet32(opt + 36);
  layout->headersSize = PeGet32(opt + 60);
  layout->symbolTable = PeGet32(coff + 8);
  layout->sections.clear();
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = size_t(table) + i * kPeSectionHeaderBytes;
    const uint8_t* row = image + at;
    layout->sections.push_back({at, PeGet32(row + 8), PeGet32(row + 12), PeGet32(row + 16),
                                PeGet32(row + 20), PeGet32(row + 36)});
  }
  return true;
}

PeDirectory GetPeDirectory(const uint8_t* image, const PeLayout& layout, uint32_t index) {
  if (index >= layout.directoryCount) return {0, 0};
  const uint8_t* entry = image + layout.directories + 8 * index;
  return {PeGet32(entry), PeGet32(entry + 4)};
}

bool SetPeDirectory(uint8_t* image, const PeLayout& layout, uint32_t index, PeDirectory value) {
  if (index >= layout.directoryCount) return false;
  uint8_t* entry = image + layout.directories + 8 * index;
  PePut32(entry, value.address);
  PePut32(entry + 4, value.size);
  return true;
}
