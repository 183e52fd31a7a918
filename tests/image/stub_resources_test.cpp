// The rewriting of a stub's resources against crafted images: a layout that would make the
// rewriting write outside its buffer, or a resource tree that would make it copy without end,
// is refused with the image unchanged; a sound image comes out sound, as the reader sees it.
#include "image/stub_resources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "image/pe_image.h"
#include "image/pe_resources.h"
#include "image/stub_image.h"
#include "support/pe_image_builder.h"

namespace {

using imagetest::Bytes;

void Put16(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Put32(Bytes& b, size_t at, uint32_t v) { Put16(b, at, v & 0xFFFF), Put16(b, at + 2, v >> 16); }

struct Section {
  const char* name;
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

// A PE32 x86 program image of `size` bytes with its PE header at `pe`, the given sections,
// the resource directory naming the section called ".rsrc" and the relocation directory the
// one called ".reloc".
Bytes Image(size_t size, uint32_t pe, uint32_t headersSize, uint32_t imageSize, const std::vector<Section>& sections) {
  Bytes b(size, 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, pe);
  b[pe] = 'P', b[pe + 1] = 'E';
  Put16(b, pe + 4, 0x014C);
  Put16(b, pe + 6, uint32_t(sections.size()));
  Put16(b, pe + 20, 224);
  Put16(b, pe + 22, 0x0102);
  const size_t opt = pe + 24;
  Put16(b, opt, 0x10B);
  Put32(b, opt + 32, 0x1000);
  Put32(b, opt + 36, 0x200);
  Put32(b, opt + 56, imageSize);
  Put32(b, opt + 60, headersSize);
  Put32(b, opt + 92, 16);
  for (size_t i = 0; i < sections.size(); ++i) {
    const Section& s = sections[i];
    const size_t row = opt + 224 + 40 * i;
    std::copy_n(s.name, std::char_traits<char>::length(s.name), b.begin() + ptrdiff_t(row));
    Put32(b, row + 8, s.virtualSize);
    Put32(b, row + 12, s.virtualAddress);
    Put32(b, row + 16, s.rawSize);
    Put32(b, row + 20, s.rawOffset);
    if (std::string(s.name) == ".rsrc") Put32(b, opt + 96 + 8 * 2, s.virtualAddress), Put32(b, opt + 96 + 8 * 2 + 4, s.virtualSize);
    if (std::string(s.name) == ".reloc") Put32(b, opt + 96 + 8 * 5, s.virtualAddress), Put32(b, opt + 96 + 8 * 5 + 4, 8);
  }
  return b;
}

// A resource section holding one version record, written as the rewriting writes them.
Bytes SoundResources(uint32_t rva) {
  Resource version;
  version.type.id = kResourceVersion;
  version.name.id = 1;
  version.language = 0x0409;
  version.data = Bytes(40, 0x11);
  return WriteResourceSection({version}, rva);
}

// .text, .rsrc and .reloc laid out as a linker lays them out.
Bytes SoundImage() {
  Bytes b = Image(0x800, 0x40, 0x200, 0x4000,
                  {{".text", 0x1000, 0x200, 0x200, 0x200}, {".rsrc", 0x2000, 0x200, 0x400, 0x200},
                   {".reloc", 0x3000, 0x8, 0x600, 0x200}});
  const Bytes resources = SoundResources(0x2000);
  std::copy(resources.begin(), resources.end(), b.begin() + 0x400);
  Put32(b, 0x40 + 24 + 224 + 40 + 8, uint32_t(resources.size()));  // .rsrc's VirtualSize
  Put32(b, 0x40 + 24 + 96 + 8 * 2 + 4, uint32_t(resources.size()));
  return b;
}

// Reads `image` as pack reads its stub and rewrites its version record; `image` becomes the
// rewritten bytes, and `layout`, when given, the layout the rewriting left the stub with.
bool Rewrite(Bytes& image, std::string* error, PeLayout* layout = nullptr) {
  StubImage stub;
  const StubImageProblem problem = ReadStubImage(image, &stub);
  if (problem != StubImageProblem::kNone) {
    *error = StubImageProblemText(problem);
    return false;
  }
  const Bytes record(64, 0x22);
  StubResources replace;
  replace.versionRecord = &record;
  if (!ReplaceStubResources(stub, replace, error)) return false;
  image = stub.bytes;
  if (layout) *layout = stub.layout;
  return true;
}

// The fields of a layout that an edit of the image would use.
std::vector<uint32_t> Fields(const PeLayout& l) {
  std::vector<uint32_t> fields = {l.machine, l.magic, uint32_t(l.checksumField), uint32_t(l.directories),
                                  l.directoryCount, l.imageSize, l.headersSize};
  for (const PeSection& s : l.sections)
    fields.insert(fields.end(), {uint32_t(s.headerOffset), s.virtualSize, s.virtualAddress, s.rawSize, s.rawOffset});
  return fields;
}

TEST(StubResources, CraftedLayoutsAreRefusedAndTheImageKept) {
  struct Case {
    const char* what;
    Bytes image;
  };
  Bytes overlapInFile = SoundImage();
  Put32(overlapInFile, 0x40 + 24 + 224 + 20, 0x300);  // .text's bytes run into .rsrc's
  Bytes overlapInMemory = SoundImage();
  Put32(overlapInMemory, 0x40 + 24 + 224 + 8, 0x1800);  // .text loaded over .rsrc
  const Case cases[] = {
      // The resource section at file offset 0 and the headers behind it: the header fields the
      // rewriting updates lay far beyond the section it wrote.
      {"resources over the whole headers", Image(5120, 0x1000, 0x1200, 0x3000, {{".rsrc", 0x2000, 0x1000, 0, 0x1000}})},
      {"resources over the PE header", Image(0x1400, 0x40, 0x200, 0x3000, {{".rsrc", 0x2000, 0x1000, 0x40, 0x1000}})},
      {"sections overlapping in the file", overlapInFile},
      {"sections overlapping in memory", overlapInMemory},
  };
  for (const Case& c : cases) {
    Bytes image = c.image;
    std::string error;
    EXPECT_FALSE(Rewrite(image, &error)) << c.what;
    EXPECT_EQ(image, c.image) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

// The stub the rewriting leaves is sound, and the layout it carries on is that of its new
// bytes (the setup's checksum is placed by it).
TEST(StubResources, ASoundImageComesOutSoundWithItsLayout) {
  Bytes image = SoundImage();
  std::string error;
  PeLayout carried;
  ASSERT_TRUE(Rewrite(image, &error, &carried)) << error;
  StubImage again;
  EXPECT_EQ(ReadStubImage(image, &again), StubImageProblem::kNone);
  EXPECT_EQ(Fields(carried), Fields(again.layout));
  PeLayout layout;
  ASSERT_TRUE(ReadPeLayout(image.data(), image.size(), &layout));
  const PeSection& rsrc = layout.sections[1];
  std::vector<Resource> resources;
  ASSERT_TRUE(ReadResourceSection(image.data() + rsrc.rawOffset, rsrc.virtualSize, rsrc.virtualAddress, &resources, &error))
      << error;
  ASSERT_EQ(resources.size(), 1u);
  EXPECT_EQ(resources[0].data, Bytes(64, 0x22));
}

// Trees whose directories share children: without a guard one data entry is copied once
// for every path that reaches it.
TEST(StubResources, SharedDirectoriesAndRepeatedDataAreRefused) {
  const uint32_t rva = 0x5000;
  // Root (2 types) -> one type directory reached twice.
  Bytes twice(0x100, 0);
  Put16(twice, 14, 2);
  Put32(twice, 16, 3), Put32(twice, 20, 0x80000000u | 0x40);
  Put32(twice, 24, 4), Put32(twice, 28, 0x80000000u | 0x40);
  Put16(twice, 0x40 + 14, 0);
  // Root -> type -> name -> a language directory of 20 entries that all name one data entry
  // of 0x800 bytes: 20 copies would be 40 KB from a section of 3 KB.
  Bytes repeated(0xC00, 0);
  Put16(repeated, 14, 1), Put32(repeated, 16, 3), Put32(repeated, 20, 0x80000000u | 0x18);
  Put16(repeated, 0x18 + 14, 1), Put32(repeated, 0x18 + 16, 1), Put32(repeated, 0x18 + 20, 0x80000000u | 0x30);
  Put16(repeated, 0x30 + 14, 20);
  for (uint32_t i = 0; i < 20; ++i) Put32(repeated, 0x30 + 16 + 8 * i, i + 1), Put32(repeated, 0x30 + 20 + 8 * i, 0x100);
  Put32(repeated, 0x100, rva + 0x200), Put32(repeated, 0x104, 0x800);
  struct Case {
    const char* what;
    const Bytes& section;
  };
  for (const Case& c : {Case{"a directory reached twice", twice}, Case{"one data entry copied 20 times", repeated}}) {
    std::vector<Resource> resources;
    std::string error;
    EXPECT_FALSE(ReadResourceSection(c.section.data(), c.section.size(), rva, &resources, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

// The build's own stub takes a new version record and stays a sound stub.
TEST(StubResources, TheRealStubStaysSound) {
  const std::string path = imagetest::BuiltStubPath();
  if (path.empty()) GTEST_SKIP() << "no build/bin/Setup.exe";
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  ASSERT_TRUE(Rewrite(bytes, &error)) << error;
  StubImage stub;
  EXPECT_EQ(ReadStubImage(bytes, &stub), StubImageProblem::kNone);
}

}  // namespace
