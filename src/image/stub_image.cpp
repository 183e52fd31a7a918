// The checks of a stub's executable image (see stub_image.h).
#include "image/stub_image.h"

#include <utility>

namespace {

constexpr uint32_t kExecutableImage = 0x0002;
constexpr uint32_t kDll = 0x2000;

// A header fault in words a publisher reads; an optional header that is no PE32 (PE32+) one
// is told as the kind of program the setup needs.
StubImageProblem StubProblemOf(PeProblem problem, PeArchitecture wanted) {
  switch (problem) {
    case PeProblem::kNone: return StubImageProblem::kNone;
    case PeProblem::kNoMzHeader: return StubImageProblem::kNoMzHeader;
    case PeProblem::kNoPeHeader: return StubImageProblem::kNoPeHeader;
    case PeProblem::kNoOptionalHeader:
      return wanted == PeArchitecture::kX64 ? StubImageProblem::kNotPe32Plus : StubImageProblem::kNotPe32;
    case PeProblem::kTruncated: return StubImageProblem::kTruncated;
    case PeProblem::kBadAlignment:
    case PeProblem::kBadSections: return StubImageProblem::kMalformed;
  }
  return StubImageProblem::kMalformed;
}

// The image's architecture against the one wanted (x64, else x86): a program of the other
// one is named as such; else the machine, then the kind of optional header, says what is wrong.
StubImageProblem CheckArchitecture(const PeLayout& layout, PeArchitecture wanted) {
  const bool x64 = wanted == PeArchitecture::kX64;
  const PeArchitecture found = PeArchitectureOf(layout);
  if (found == (x64 ? PeArchitecture::kX64 : PeArchitecture::kX86)) return StubImageProblem::kNone;
  if (found != PeArchitecture::kOther) return x64 ? StubImageProblem::kIsX86 : StubImageProblem::kIsX64;
  if (layout.machine != (x64 ? kPeMachineX64 : kPeMachineX86))
    return x64 ? StubImageProblem::kNotX64 : StubImageProblem::kNotX86;
  return x64 ? StubImageProblem::kNotPe32Plus : StubImageProblem::kNotPe32;
}

// The checks on the bytes; `layout` is theirs when they pass.
StubImageProblem CheckStubImage(const uint8_t* image, size_t size, PeArchitecture wanted, PeLayout& layout) {
  const PeProblem problem = ReadPeImage(image, size, &layout);
  // The machine and kind are told before a layout fault, when the headers got that far: they
  // say what the file is.
  if (problem == PeProblem::kNone || problem == PeProblem::kTruncated || problem == PeProblem::kBadAlignment ||
      problem == PeProblem::kBadSections) {
    const StubImageProblem architecture = CheckArchitecture(layout, wanted);
    if (architecture != StubImageProblem::kNone) return architecture;
    if (!(layout.characteristics & kExecutableImage) || (layout.characteristics & kDll))
      return StubImageProblem::kNotExecutable;
  }
  if (problem != PeProblem::kNone) return StubProblemOf(problem, wanted);
  const PeDirectory certificates = GetPeDirectory(image, layout, kPeDirectoryCertificates);
  if (certificates.address != 0 || certificates.size != 0) return StubImageProblem::kSigned;
  return StubImageProblem::kNone;
}

}  // namespace

StubImageProblem ReadStubImage(std::vector<uint8_t> bytes, PeArchitecture wanted, StubImage* stub) {
  *stub = StubImage();
  const StubImageProblem problem = CheckStubImage(bytes.data(), bytes.size(), wanted, stub->layout);
  if (problem != StubImageProblem::kNone) {
    stub->layout = PeLayout();
    return problem;
  }
  stub->bytes = std::move(bytes);
  return StubImageProblem::kNone;
}

const char* StubImageProblemText(StubImageProblem problem) {
  switch (problem) {
    case StubImageProblem::kNone: return "is a Windows program of the setup's architecture";
    case StubImageProblem::kNoMzHeader: return "is not a Windows program (no MZ header)";
    case StubImageProblem::kNoPeHeader: return "is not a Windows program (no PE header)";
    case StubImageProblem::kIsX64: return "is a 64-bit (x64) Windows program, not a 32-bit (x86) one";
    case StubImageProblem::kIsX86: return "is a 32-bit (x86) Windows program, not a 64-bit (x64) one";
    case StubImageProblem::kNotX86: return "is not a 32-bit (x86) Windows program";
    case StubImageProblem::kNotX64: return "is not a 64-bit (x64) Windows program";
    case StubImageProblem::kNotPe32: return "is not a 32-bit Windows program (no PE32 optional header)";
    case StubImageProblem::kNotPe32Plus: return "is not a 64-bit Windows program (no PE32+ optional header)";
    case StubImageProblem::kNotExecutable: return "is not a program but a DLL or object file";
    case StubImageProblem::kTruncated: return "is cut short: its headers or sections end beyond the file's end";
    case StubImageProblem::kMalformed:
      return "is malformed: its sections overlap its headers or one another, lie beyond its image, or are "
             "aligned unsoundly";
    case StubImageProblem::kSigned: return "is signed: sign the finished setup, not the stub";
  }
  return "cannot be used";
}
