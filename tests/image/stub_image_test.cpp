// The stub check against hand-made program images: what makes a file unfit to carry the
// archive, one fault at a time, and the real stub of the build.
#include "image/stub_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "support/pe_image_builder.h"

namespace {

using imagetest::Bytes;
using imagetest::PeImage;

void Put16(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Put32(Bytes& b, size_t at, uint32_t v) { Put16(b, at, v & 0xFFFF), Put16(b, at + 2, v >> 16); }

constexpr size_t kOptional = 0x58;            // optional header of PeImage()
constexpr size_t kSection = kOptional + 224;  // its one section header

TEST(StubImage, EachFaultIsNamed) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    StubImageProblem expected;
  };
  const Case cases[] = {
      {"a complete program", [](Bytes&) {}, StubImageProblem::kNone},
      {"empty", [](Bytes& b) { b.clear(); }, StubImageProblem::kNoMzHeader},
      {"nine bytes of text", [](Bytes& b) { b.assign({'n', 'o', 't', ' ', 'a', ' ', 'p', 'e', '\n'}); },
       StubImageProblem::kNoMzHeader},
      {"no MZ", [](Bytes& b) { b[0] = 'Z'; }, StubImageProblem::kNoMzHeader},
      {"e_lfanew beyond the end", [](Bytes& b) { Put32(b, 0x3C, 0x10000); }, StubImageProblem::kNoPeHeader},
      {"e_lfanew inside the MS-DOS header", [](Bytes& b) { Put32(b, 0x3C, 0x20); }, StubImageProblem::kNoPeHeader},
      {"e_lfanew near 4 GiB", [](Bytes& b) { Put32(b, 0x3C, 0xFFFFFFF0u); }, StubImageProblem::kNoPeHeader},
      {"no PE signature", [](Bytes& b) { b[0x41] = 'X'; }, StubImageProblem::kNoPeHeader},
      {"x64", [](Bytes& b) { Put16(b, 0x44, 0x8664); }, StubImageProblem::kNotX86},
      {"PE32+", [](Bytes& b) { Put16(b, kOptional, 0x20B); }, StubImageProblem::kNotPe32},
      {"optional header too short", [](Bytes& b) { Put16(b, 0x54, 64); }, StubImageProblem::kNotPe32},
      {"more data directories than fit", [](Bytes& b) { Put32(b, kOptional + 92, 17); }, StubImageProblem::kNotPe32},
      {"a DLL", [](Bytes& b) { Put16(b, 0x56, 0x2102); }, StubImageProblem::kNotExecutable},
      {"not an executable image", [](Bytes& b) { Put16(b, 0x56, 0x0100); }, StubImageProblem::kNotExecutable},
      {"no sections", [](Bytes& b) { Put16(b, 0x46, 0); }, StubImageProblem::kMalformed},
      {"section table beyond the end", [](Bytes& b) { Put16(b, 0x46, 40); }, StubImageProblem::kTruncated},
      {"cut inside its section", [](Bytes& b) { b.resize(0x3FF); }, StubImageProblem::kTruncated},
      {"section at an offset near 4 GiB", [](Bytes& b) { Put32(b, kSection + 20, 0xFFFFFF00u); },
       StubImageProblem::kTruncated},
      {"headers larger than the file", [](Bytes& b) { Put32(b, kOptional + 60, 0x800); }, StubImageProblem::kTruncated},
      {"signed", [](Bytes& b) { Put32(b, kOptional + 96 + 32, 0x400), Put32(b, kOptional + 96 + 36, 0x100); },
       StubImageProblem::kSigned},
      {"a certificate table of no size", [](Bytes& b) { Put32(b, kOptional + 96 + 32, 0x400); }, StubImageProblem::kSigned},
      {"no certificate entry at all", [](Bytes& b) { Put32(b, kOptional + 92, 4), Put32(b, kOptional + 96 + 32, 1); },
       StubImageProblem::kNone},
      {"something after its sections", [](Bytes& b) { b.resize(0x1000, 0x55); }, StubImageProblem::kNone},
      {"its section over the headers", [](Bytes& b) { Put32(b, kSection + 20, 0); }, StubImageProblem::kMalformed},
      {"its section over the PE header", [](Bytes& b) { Put32(b, kSection + 20, 0x40); }, StubImageProblem::kMalformed},
      {"headers ending inside the section table", [](Bytes& b) { Put32(b, kOptional + 60, 0x100); },
       StubImageProblem::kMalformed},
      {"a section loaded over the headers", [](Bytes& b) { Put32(b, kSection + 12, 0x100); },
       StubImageProblem::kMalformed},
      {"a section beyond the image's size", [](Bytes& b) { Put32(b, kOptional + 56, 0x1100); },
       StubImageProblem::kMalformed},
      {"an alignment that is no power of two", [](Bytes& b) { Put32(b, kOptional + 36, 0x300); },
       StubImageProblem::kMalformed},
  };
  for (const Case& c : cases) {
    Bytes image = PeImage();
    c.change(image);
    StubImage stub;
    EXPECT_EQ(ReadStubImage(image, &stub), c.expected) << c.what;
    // The stub holds the bytes read, with their layout, only when they pass.
    EXPECT_EQ(stub.bytes, c.expected == StubImageProblem::kNone ? image : Bytes()) << c.what;
    EXPECT_EQ(stub.layout.sections.size(), c.expected == StubImageProblem::kNone ? 1u : 0u) << c.what;
  }
}

// The build's own stub, when it has been built.
TEST(StubImage, TheRealStubPasses) {
  const std::string path = imagetest::BuiltStubPath();
  if (path.empty()) GTEST_SKIP() << "no build/bin/Setup.exe";
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  StubImage stub;
  EXPECT_EQ(ReadStubImage(bytes, &stub), StubImageProblem::kNone);
}

}  // namespace
