// An icon file (.ico) read into its images, and the group icon resource that makes them one
// icon of a program.
//
// The file: a 6-byte header (reserved 0, type 1 for an icon, the count of images), then a
// 16-byte entry per image (width, height, colours, reserved, planes, bits per pixel, the
// image's size and its file offset), then the images: each a bitmap without its file
// header (a BITMAPINFOHEADER, a palette, the colour bits and the mask bits, the height
// counting both) or a PNG file. In a program the images become RT_ICON resources and the
// directory becomes the RT_GROUP_ICON resource: the same entries, 14 bytes each, with the
// image's resource id in place of its file offset.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct IconImage {
  uint8_t width;       // 0 stands for 256
  uint8_t height;
  uint8_t colorCount;
  uint8_t reserved;
  uint16_t planes;
  uint16_t bitCount;
  std::vector<uint8_t> data;  // the bitmap or PNG, as in the file
};

// Reads an icon file. False with `error` set to what is wrong ("is not an icon file",
// "image 2 ends beyond the end of the file", ...). Planes and bits per pixel that the file
// leaves 0 are taken from the image itself.
bool ReadIconFile(const uint8_t* bytes, size_t size, std::vector<IconImage>* images, std::string* error);

// The RT_GROUP_ICON resource of the images, whose RT_ICON ids are firstId, firstId + 1, ...
std::vector<uint8_t> GroupIconResource(const std::vector<IconImage>& images, uint16_t firstId);
