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

// A change to a sound image, and the problem the check must name for it.
struct StubCase {
  const char* what;
  std::function<void(Bytes&)> change;
  StubImageProblem expected;
};

TEST(StubImage, EachFaultIsNamed) {
  const StubCase cases[] = {
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
  for (const StubCase& c : cases) {
    Bytes image = PeImage();
    c.change(image);
    StubImage stub;
    EXPECT_EQ(ReadStubImage(image, &stub), c.expected) << c.what;
    // The stub holds the bytes read, with their layout, only when they pass.
    EXPECT_EQ(stub.bytes, c.expected == StubImageProblem::kNone ? image : Bytes()) << c.what;
    EXPECT_EQ(stub.layout.sections.size(), c.expected == StubImageProblem::kNone ? 1u : 0u) << c.what;
  }
}

// A stub is a program of the setup's architecture: x86 is machine 0x14C with PE32, x64
// machine 0x8664 with PE32+. A program of the other one is named as such; a machine or
// optional header of neither is told as what the setup needs.
TEST(StubImage, OnlyAProgramOfTheSetupsArchitectureServes) {
  const PeArchitecture x86 = PeArchitecture::kX86, x64 = PeArchitecture::kX64;
  struct Case {
    const char* what;
    Bytes image;
    PeArchitecture wanted;
    StubImageProblem expected;
  };
  Bytes x86WithPe32Plus = imagetest::PeImage64(), x64WithPe32 = PeImage(), arm64 = imagetest::PeImage64(),
        shortPe32Plus = imagetest::PeImage64();
  Put16(x86WithPe32Plus, 0x44, 0x014C);
  Put16(x64WithPe32, 0x44, 0x8664);
  Put16(arm64, 0x44, 0xAA64);
  Put16(shortPe32Plus, 0x54, 100);  // shorter than PE32+'s fixed fields
  const Case cases[] = {
      {"x86 for x86", PeImage(), x86, StubImageProblem::kNone},
      {"x64 for x64", imagetest::PeImage64(), x64, StubImageProblem::kNone},
      {"x64 for x86", imagetest::PeImage64(), x86, StubImageProblem::kIsX64},
      {"x86 for x64", PeImage(), x64, StubImageProblem::kIsX86},
      {"x86 machine with PE32+, for x86", x86WithPe32Plus, x86, StubImageProblem::kNotPe32},
      {"x86 machine with PE32+, for x64", x86WithPe32Plus, x64, StubImageProblem::kNotX64},
      {"x64 machine with PE32, for x86", x64WithPe32, x86, StubImageProblem::kNotX86},
      {"x64 machine with PE32, for x64", x64WithPe32, x64, StubImageProblem::kNotPe32Plus},
      {"ARM64 for x86", arm64, x86, StubImageProblem::kNotX86},
      {"ARM64 for x64", arm64, x64, StubImageProblem::kNotX64},
      {"PE32+ optional header too short, for x64", shortPe32Plus, x64, StubImageProblem::kNotPe32Plus},
  };
  for (const Case& c : cases) {
    StubImage stub;
    EXPECT_EQ(ReadStubImage(c.image, c.wanted, &stub), c.expected) << c.what;
    EXPECT_EQ(stub.bytes.empty(), c.expected != StubImageProblem::kNone) << c.what;
  }
  // What the publisher reads names what the file is.
  EXPECT_STREQ(StubImageProblemText(StubImageProblem::kIsX64), "is a 64-bit (x64) Windows program, not a 32-bit (x86) one");
  EXPECT_STREQ(StubImageProblemText(StubImageProblem::kIsX86), "is a 32-bit (x86) Windows program, not a 64-bit (x64) one");
}

// The other checks hold for a 64-bit stub as for a 32-bit one, at the places PE32+ has them.
TEST(StubImage, A64BitStubHasTheSameChecks) {
  constexpr size_t kDirectories64 = kOptional + 112, kSection64 = kOptional + 240;
  const StubCase cases[] = {
      {"a complete program", [](Bytes&) {}, StubImageProblem::kNone},
      {"a DLL", [](Bytes& b) { Put16(b, 0x56, 0x2022); }, StubImageProblem::kNotExecutable},
      {"signed", [&](Bytes& b) { Put32(b, kDirectories64 + 32, 0x400), Put32(b, kDirectories64 + 36, 0x100); },
       StubImageProblem::kSigned},
      {"cut inside its section", [](Bytes& b) { b.resize(0x3FF); }, StubImageProblem::kTruncated},
      {"its section over the headers", [&](Bytes& b) { Put32(b, kSection64 + 20, 0); }, StubImageProblem::kMalformed},
      {"a DLL of the other architecture", [](Bytes& b) { Put16(b, 0x44, 0x14C), Put16(b, 0x56, 0x2022); },
       StubImageProblem::kNotX64},
  };
  for (const StubCase& c : cases) {
    Bytes image = imagetest::PeImage64();
    c.change(image);
    StubImage stub;
    EXPECT_EQ(ReadStubImage(image, PeArchitecture::kX64, &stub), c.expected) << c.what;
    if (c.expected != StubImageProblem::kNone) continue;
    // Its layout is PE32+'s: the checksum and the directories where that header has them.
    EXPECT_EQ(stub.layout.checksumField, kOptional + 64) << c.what;
    EXPECT_EQ(stub.layout.directories, kDirectories64) << c.what;
    EXPECT_EQ(stub.layout.directoryCount, 16u) << c.what;
  }
}

// The build's own stubs and uninstallers, those that have been built, each of its architecture.
TEST(StubImage, TheRealStubPasses) {
  const struct {
    const char* name;
    PeArchitecture architecture;
  } programs[] = {{"Setup.exe", PeArchitecture::kX86},
                  {"UnInst.exe", PeArchitecture::kX86},
                  {"x64/Setup.exe", PeArchitecture::kX64},
                  {"x64/UnInst.exe", PeArchitecture::kX64}};
  int found = 0;
  for (const auto& program : programs) {
    const std::string path = imagetest::BuiltStubPath(program.name);
    if (path.empty()) continue;
    ++found;
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StubImage stub;
    EXPECT_EQ(ReadStubImage(bytes, program.architecture, &stub), StubImageProblem::kNone) << program.name;
  }
  if (found == 0) GTEST_SKIP() << "no build/bin/Setup.exe";
}

}  // namespace
