// The checks of a stub's executable image (see stub_image.h).
#include "pack/stub_image.h"

#include "archive/byte_order.h"

namespace {

constexpr uint32_t kMachineX86 = 0x014C;
constexpr uint32_t kMagicPe32 = 0x10B;
constexpr uint32_t kExecutableImage = 0x0002;
constexpr uint32_t kDll = 0x2000;
constexpr uint64_t kCoffHeaderSize = 20;
constexpr uint64_t kOptionalFixedSize = 96;  // PE32 fields before the data directories
constexpr uint32_t kCertificateEntry = 4;
constexpr uint64_t kSectionHeaderSize = 40;

// The section table and what it says lies in the file.
StubImageProblem CheckSections(const uint8_t* image, uint64_t size, uint64_t table, uint32_t count,
                               uint64_t headersSize) {
  if (count == 0 || table + count * kSectionHeaderSize > size || headersSize > size)
    return StubImageProblem::kTruncated;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* section = image + table + i * kSectionHeaderSize;
    const uint64_t rawSize = Get32(section + 16), rawOffset = Get32(section + 20);
    if (rawSize > 0 && rawOffset + rawSize > size) return StubImageProblem::kTruncated;
  }
  return StubImageProblem::kNone;
}

}  // namespace

StubImageProblem CheckStubImage(const uint8_t* image, size_t fileSize) {
  const uint64_t size = fileSize;
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') return StubImageProblem::kNoMzHeader;
  const uint64_t pe = Get32(image + 0x3C);
  if (pe < 64 || pe + 4 + kCoffHeaderSize > size || Get32(image + pe) != 0x00004550u)
    return StubImageProblem::kNoPeHeader;
  const uint8_t* coff = image + pe + 4;
  if (Get16(coff) != kMachineX86) return StubImageProblem::kNotX86;
  const uint32_t sections = Get16(coff + 2), optionalSize = Get16(coff + 16), flags = Get16(coff + 18);
  const uint64_t optional = pe + 4 + kCoffHeaderSize;
  if (optionalSize < kOptionalFixedSize || optional + optionalSize > size) return StubImageProblem::kNotPe32;
  const uint8_t* opt = image + optional;
  if (Get16(opt) != kMagicPe32) return StubImageProblem::kNotPe32;
  if (!(flags & kExecutableImage) || (flags & kDll)) return StubImageProblem::kNotExecutable;
  const uint64_t directories = Get32(opt + 92);
  if (kOptionalFixedSize + 8 * directories > optionalSize) return StubImageProblem::kNotPe32;
  StubImageProblem problem = CheckSections(image, size, optional + optionalSize, sections, Get32(opt + 60));
  if (problem != StubImageProblem::kNone) return problem;
  if (directories > kCertificateEntry) {
    const uint8_t* certificates = opt + kOptionalFixedSize + 8 * kCertificateEntry;
    if (Get32(certificates) != 0 || Get32(certificates + 4) != 0) return StubImageProblem::kSigned;
  }
  return StubImageProblem::kNone;
}

const char* StubImageProblemText(StubImageProblem problem) {
  switch (problem) {
    case StubImageProblem::kNone: return "is a 32-bit Windows program";
    case StubImageProblem::kNoMzHeader: return "is not a Windows program (no MZ header)";
    case StubImageProblem::kNoPeHeader: return "is not a Windows program (no PE header)";
    case StubImageProblem::kNotX86: return "is not a 32-bit (x86) Windows program";
    case StubImageProblem::kNotPe32: return "is not a 32-bit Windows program (no PE32 optional header)";
    case StubImageProblem::kNotExecutable: return "is not a program but a DLL or object file";
    case StubImageProblem::kTruncated: return "is cut short: its headers or sections end beyond the file's end";
    case StubImageProblem::kSigned: return "is signed: sign the finished setup, not the stub";
  }
  return "cannot be used";
}
