// The PE header reader on the first bytes of a large file: what pack reads of a product's
// main program, to tell its architecture, without reading the whole file.
#include "image/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/pe_image_builder.h"

namespace {

using imagetest::Bytes;

// The head of a file is read as the whole file would be, as long as the headers lie in it;
// the sections are checked against the file's size, not the head's.
TEST(PeImage, TheHeadOfAFileReadsAsTheWholeFile) {
  const Bytes image = imagetest::PeImage64(0x30000);
  PeLayout whole, head;
  ASSERT_EQ(ReadPeImage(image.data(), image.size(), &whole), PeProblem::kNone);
  struct Case {
    const char* what;
    size_t headBytes;
    uint64_t fileSize;
    PeProblem expected;
  };
  const Case cases[] = {
      {"the headers' page", 0x200, image.size(), PeProblem::kNone},
      {"more than the file", image.size() + 0x1000, image.size(), PeProblem::kNone},
      {"cut inside the section table", 0x58 + 240 + 20, image.size(), PeProblem::kTruncated},
      {"a file shorter than its section", 0x200, image.size() - 1, PeProblem::kTruncated},
  };
  for (const Case& c : cases) {
    Bytes bytes = image;
    bytes.resize(std::max(c.headBytes, image.size()));
    EXPECT_EQ(ReadPeHeaders(bytes.data(), c.headBytes, c.fileSize, &head), c.expected) << c.what;
    if (c.expected != PeProblem::kNone) continue;
    EXPECT_EQ(head.machine, whole.machine) << c.what;
    EXPECT_EQ(head.directories, whole.directories) << c.what;
    EXPECT_EQ(head.sections.size(), whole.sections.size()) << c.what;
  }
}

}  // namespace
