// The checks of a stub's executable image (see stub_image.h).
#include "image/stub_image.h"

#include <utility>

namespace {

constexpr uint32_t kExecutableImage = 0x0002;
constexpr uint32_t kDll = 0x2000;

StubImageProblem StubProblemOf(PeProblem problem) {
  switch (problem) {
    case PeProblem::kNone: return StubImageProblem::kNone;
    case PeProblem::kNoMzHeader: return StubImageProblem::kNoMzHeader;
    case PeProblem::kNoPeHeader: return StubImageProblem::kNoPeHeader;
    case PeProblem::kNoOptionalHeader: return StubImageProblem::kNotPe32;
    case PeProblem::kTruncated: return StubImageProblem::kTruncated;
    case PeProblem::kBadAlignment:
    case PeProblem::kBadSections: return StubImageProblem::kMalformed;
  }
  return StubImageProblem::kMalformed;
}

// The checks on the bytes; `layout` is theirs when they pass.
StubImageProblem CheckStubImage(const uint8_t* image, size_t size, PeLayout& layout) {
  const PeProblem problem = ReadPeImage(image, size, &layout);
  // The machine and kind are told before a layout fault, when the headers got that far: they
  // say what the file is.
  if (problem == PeProblem::kNone || problem == PeProblem::kTruncated || problem == PeProblem::kBadAlignment ||
      problem == PeProblem::kBadSections) {
    if (layout.machine != kPeMachineX86) return StubImageProblem::kNotX86;
    if (layout.magic != kPeMagic32) return StubImageProblem::kNotPe32;
    if (!(layout.characteristics & kExecutableImage) || (layout.characteristics & kDll))
      return StubImageProblem::kNotExecutable;
  }
  if (problem != PeProblem::kNone) return StubProblemOf(problem);
  const PeDirectory certificates = GetPeDirectory(image, layout, kPeDirectoryCertificates);
  if (certificates.address != 0 || certificates.size != 0) return StubImageProblem::kSigned;
  return StubImageProblem::kNone;
}

}  // namespace

StubImageProblem ReadStubImage(std::vector<uint8_t> bytes, StubImage* stub) {
  *stub = StubImage();
  const StubImageProblem problem = CheckStubImage(bytes.data(), bytes.size(), stub->layout);
  if (problem != StubImageProblem::kNone) {
    stub->layout = PeLayout();
    return problem;
  }
  stub->bytes = std::move(bytes);
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
    case StubImageProblem::kMalformed:
      return "is malformed: its sections overlap its headers or one another, lie beyond its image, or are "
             "aligned unsoundly";
    case StubImageProblem::kSigned: return "is signed: sign the finished setup, not the stub";
  }
  return "cannot be used";
}
