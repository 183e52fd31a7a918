// Reading the publisher's icon file: what is refused, with the reason the publisher is told,
// and the fields of an image taken from the image when the file leaves them 0.
#include "image/icon_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Put32(Bytes& b, size_t at, uint32_t v) { Put16(b, at, v & 0xFFFF), Put16(b, at + 2, v >> 16); }

// An icon file of one 16 x 16 image with 4 bits per pixel; `bits` in the entry as given.
Bytes OneImageIcon(uint32_t entryBits = 4) {
  const size_t image = 40 + 16 * 4 + 8 * 16 + 4 * 16;  // header, palette, colour, mask
  Bytes b(6 + 16 + image, 0);
  Put16(b, 2, 1);
  Put16(b, 4, 1);
  b[6] = 16, b[7] = 16, b[8] = 16;
  Put16(b, 10, 1);
  Put16(b, 12, entryBits);
  Put32(b, 14, uint32_t(image));
  Put32(b, 18, 22);
  Put32(b, 22, 40);
  Put32(b, 26, 16);
  Put32(b, 30, 32);
  Put16(b, 34, 1);
  Put16(b, 36, 4);
  return b;
}

TEST(IconFile, RefusesFilesThatAreNoUsableIconWithTheReason) {
  struct Case {
    const char* what;
    void (*damage)(Bytes&);
    const char* message;
  };
  const Case cases[] = {
      {"text", [](Bytes& b) { b.assign({'h', 'e', 'l', 'l', 'o', '!', '\n'}); }, "is not an icon file"},
      {"a cursor", [](Bytes& b) { Put16(b, 2, 2); }, "is a cursor file"},
      {"no images", [](Bytes& b) { Put16(b, 4, 0); }, "holds no images"},
      {"a list longer than the file", [](Bytes& b) { Put16(b, 4, 900); }, "is cut short"},
      {"an image cut off", [](Bytes& b) { b.resize(b.size() - 200); }, "image 1 lies beyond the end"},
      {"an image over the list", [](Bytes& b) { Put32(b, 18, 10); }, "image 1 lies beyond the end of the file or over"},
      {"an empty image", [](Bytes& b) { Put32(b, 14, 0); }, "image 1 is empty"},
      {"not a bitmap", [](Bytes& b) { Put32(b, 22, 12); }, "image 1 is neither"},
      {"5 bits per pixel", [](Bytes& b) { Put16(b, 36, 5); }, "image 1 is neither"},
      {"colour bits missing", [](Bytes& b) { Put32(b, 26, 200); }, "image 1 is neither"},
  };
  for (const Case& c : cases) {
    Bytes file = OneImageIcon();
    c.damage(file);
    std::vector<IconImage> images;
    std::string error;
    EXPECT_FALSE(ReadIconFile(file.data(), file.size(), &images, &error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
}

TEST(IconFile, TakesMissingBitsFromTheImageForTheGroup) {
  const Bytes file = OneImageIcon(0);
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(ReadIconFile(file.data(), file.size(), &images, &error)) << error;
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].bitCount, 4);
  const Bytes group = GroupIconResource(images, 7);
  ASSERT_EQ(group.size(), 6u + 14u);
  EXPECT_EQ(group[6 + 6], 4);    // bits per pixel
  EXPECT_EQ(group[6 + 12], 7);   // the image's resource id
  EXPECT_EQ(Bytes(group.begin() + 6, group.begin() + 6 + 4), Bytes(file.begin() + 6, file.begin() + 10));
}

}  // namespace
