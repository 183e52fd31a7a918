// The headers of a PE image, read and checked (see pe_image.h).
#include "image/pe_image.h"

#include <algorithm>

#include "archive/byte_order.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550u;  // "PE\0\0"
constexpr uint64_t kMsDosHeaderBytes = 64;
constexpr uint64_t kCoffHeaderBytes = 20;
constexpr uint64_t kOptionalFixed32 = 96;       // PE32 fields before the data directories
constexpr uint64_t kOptionalFixed64 = 112;      // PE32+ fields before the data directories
constexpr uint32_t kMostSections = 96;          // the most the Windows loader takes

// Where a section lies in memory once loaded: from its address, as many bytes as it says it
// needs (its raw size when it gives no virtual size).
uint64_t VirtualEnd(const PeSection& s) {
  return uint64_t(s.virtualAddress) + (s.virtualSize ? s.virtualSize : s.rawSize);
}

// The section table against the headers, the file and the image: bytes in the file after
// the headers and apart from one another, addresses in ascending order without overlap.
PeProblem CheckSections(const PeLayout& layout, uint64_t size) {
  const std::vector<PeSection>& sections = layout.sections;
  if (sections.empty() || sections.size() > kMostSections) return PeProblem::kBadSections;
  std::vector<const PeSection*> inFile;
  for (const PeSection& s : sections) {
    if (s.rawSize == 0) continue;
    if (uint64_t(s.rawOffset) + s.rawSize > size) return PeProblem::kTruncated;
    if (s.rawOffset < layout.headersSize) return PeProblem::kBadSections;
    inFile.push_back(&s);
  }
  std::sort(inFile.begin(), inFile.end(),
            [](const PeSection* a, const PeSection* b) { return a->rawOffset < b->rawOffset; });
  for (size_t i = 1; i < inFile.size(); ++i)
    if (uint64_t(inFile[i - 1]->rawOffset) + inFile[i - 1]->rawSize > inFile[i]->rawOffset)
      return PeProblem::kBadSections;
  uint64_t memoryEnd = layout.headersSize;
  for (const PeSection& s : sections) {
    if (s.virtualAddress < memoryEnd) return PeProblem::kBadSections;
    memoryEnd = VirtualEnd(s);
  }
  return memoryEnd <= layout.imageSize ? PeProblem::kNone : PeProblem::kBadSections;
}

}  // namespace

uint32_t PeGet16(const uint8_t* p) { return Get16(p); }
uint32_t PeGet32(const uint8_t* p) { return Get32(p); }
void PePut16(uint8_t* p, uint32_t value) { Put16(p, value); }
void PePut32(uint8_t* p, uint32_t value) { Put32(p, value); }

bool PePutChecked(std::vector<uint8_t>& image, size_t at, uint32_t value) {
  if (at > image.size() || image.size() - at < 4) return false;
  Put32(image.data() + at, value);
  return true;
}

bool PeAlignmentUsable(uint32_t alignment) { return alignment != 0 && (alignment & (alignment - 1)) == 0; }

uint32_t PeAlign(uint32_t value, uint32_t alignment) {
  if (alignment == 0) return value;
  return (value + alignment - 1) & ~(alignment - 1);
}

bool BeginsAsPeImage(const uint8_t* bytes, size_t size) { return size >= 2 && bytes[0] == 'M' && bytes[1] == 'Z'; }

PeProblem ReadPeHeaders(const uint8_t* image, size_t headSize, uint64_t fileSize, PeLayout* layout) {
  *layout = PeLayout();
  const uint64_t size = headSize < fileSize ? headSize : fileSize;  // the bytes that may be read
  if (size < kMsDosHeaderBytes || !BeginsAsPeImage(image, headSize)) return PeProblem::kNoMzHeader;
  const uint64_t pe = Get32(image + 0x3C);
  if (pe < kMsDosHeaderBytes || pe + 4 + kCoffHeaderBytes > size || Get32(image + pe) != kPeSignature)
    return PeProblem::kNoPeHeader;
  const uint8_t* coff = image + pe + 4;
  const uint32_t sectionCount = Get16(coff + 2), optionalSize = Get16(coff + 16);
  layout->machine = Get16(coff);
  layout->characteristics = Get16(coff + 18);
  const uint64_t optional = pe + 4 + kCoffHeaderBytes;
  if (optional + 2 > size) return PeProblem::kNoOptionalHeader;
  const uint32_t magic = Get16(image + optional);
  layout->magic = magic;
  const uint64_t fixed = magic == kPeMagic32 ? kOptionalFixed32 : magic == kPeMagic64 ? kOptionalFixed64 : 0;
  if (fixed == 0 || optionalSize < fixed || optional + optionalSize > size) return PeProblem::kNoOptionalHeader;
  const uint8_t* opt = image + optional;
  const uint32_t directoryCount = Get32(opt + fixed - 4);
  if (directoryCount > (optionalSize - fixed) / 8) return PeProblem::kNoOptionalHeader;
  const uint64_t table = optional + optionalSize;
  if (table + uint64_t(sectionCount) * kPeSectionHeaderBytes > size) return PeProblem::kTruncated;
  layout->optionalHeader = size_t(optional);
  layout->checksumField = size_t(optional + 64);
  layout->directories = size_t(optional + fixed);
  layout->directoryCount = directoryCount;
  layout->sectionAlignment = Get32(opt + 32);
  layout->fileAlignment = Get32(opt + 36);
  layout->imageSize = Get32(opt + 56);
  layout->headersSize = Get32(opt + 60);
  layout->symbolTable = Get32(coff + 8);
  layout->sections.clear();
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = size_t(table) + i * kPeSectionHeaderBytes;
    const uint8_t* row = image + at;
    layout->sections.push_back({at, Get32(row + 8), Get32(row + 12), Get32(row + 16), Get32(row + 20), Get32(row + 36)});
  }
  if (layout->headersSize > fileSize) return PeProblem::kTruncated;
  if (table + uint64_t(sectionCount) * kPeSectionHeaderBytes > layout->headersSize) return PeProblem::kBadSections;
  if (!PeAlignmentUsable(layout->sectionAlignment) || !PeAlignmentUsable(layout->fileAlignment))
    return PeProblem::kBadAlignment;
  return CheckSections(*layout, fileSize);
}

PeProblem ReadPeImage(const uint8_t* image, size_t size, PeLayout* layout) {
  return ReadPeHeaders(image, size, size, layout);
}

bool ReadPeLayout(const uint8_t* image, size_t size, PeLayout* layout) {
  return ReadPeImage(image, size, layout) == PeProblem::kNone;
}

const char* PeProblemText(PeProblem problem) {
  switch (problem) {
    case PeProblem::kNone: return "is a sound program image";
    case PeProblem::kNoMzHeader: return "has no MZ header";
    case PeProblem::kNoPeHeader: return "has no PE header";
    case PeProblem::kNoOptionalHeader: return "has no PE32 or PE32+ optional header";
    case PeProblem::kTruncated: return "is cut short: its headers or sections end beyond the file's end";
    case PeProblem::kBadAlignment: return "has a section or file alignment that is not a power of two";
    case PeProblem::kBadSections:
      return "has no sound section table: its sections overlap its headers or one another, or lie "
             "beyond its image";
  }
  return "is not a program image";
}

PeArchitecture PeArchitectureOf(const PeLayout& layout) {
  if (layout.machine == kPeMachineX86 && layout.magic == kPeMagic32) return PeArchitecture::kX86;
  if (layout.machine == kPeMachineX64 && layout.magic == kPeMagic64) return PeArchitecture::kX64;
  return PeArchitecture::kOther;
}

const char* PeArchitectureText(PeArchitecture architecture) {
  switch (architecture) {
    case PeArchitecture::kX86: return "x86 (32-bit)";
    case PeArchitecture::kX64: return "x64 (64-bit)";
    case PeArchitecture::kOther: break;
  }
  return "another architecture";
}

PeDirectory GetPeDirectory(const uint8_t* image, const PeLayout& layout, uint32_t index) {
  if (index >= layout.directoryCount) return {0, 0};
  const uint8_t* entry = image + layout.directories + 8 * index;
  return {Get32(entry), Get32(entry + 4)};
}

bool SetPeDirectory(uint8_t* image, size_t size, const PeLayout& layout, uint32_t index, PeDirectory value) {
  if (index >= layout.directoryCount) return false;
  const uint64_t at = uint64_t(layout.directories) + 8 * uint64_t(index);
  if (at + 8 > size) return false;
  Put32(image + at, value.address);
  Put32(image + at + 4, value.size);
  return true;
}
