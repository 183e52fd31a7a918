// An icon file and its group icon resource (see icon_file.h).
#include "image/icon_file.h"

#include <cstring>

#include "image/pe_image.h"

namespace {

constexpr size_t kHeaderBytes = 6;
constexpr size_t kFileEntryBytes = 16;
constexpr size_t kGroupEntryBytes = 14;
constexpr uint32_t kTypeIcon = 1;
constexpr uint32_t kTypeCursor = 2;
constexpr size_t kBitmapHeaderBytes = 40;  // BITMAPINFOHEADER
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::string ImageError(size_t index, const char* what) {
  return "image " + std::to_string(index + 1) + " " + what;
}

// The bits per pixel of an image, or 0 when it is neither a usable bitmap nor a PNG. A
// bitmap must hold its header, its palette and its colour bits.
uint32_t ImageBits(const std::vector<uint8_t>& data) {
  if (data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0) return 32;
  if (data.size() < kBitmapHeaderBytes || PeGet32(data.data()) != kBitmapHeaderBytes) return 0;
  const int32_t width = int32_t(PeGet32(data.data() + 4)), height = int32_t(PeGet32(data.data() + 8));
  const uint32_t planes = PeGet16(data.data() + 12), bits = PeGet16(data.data() + 14);
  if (width <= 0 || width > 256 || height <= 0 || height > 512 || planes != 1) return 0;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
  uint64_t palette = bits <= 8 ? uint64_t(4) << bits : 0;
  const uint32_t used = PeGet32(data.data() + 32);
  if (bits <= 8 && used != 0 && used < (1u << bits)) palette = 4 * uint64_t(used);
  const uint64_t rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
  const uint64_t colour = rowBytes * uint64_t(height / 2 > 0 ? height / 2 : 1);
  return kBitmapHeaderBytes + palette + colour <= data.size() ? bits : 0;
}

}  // namespace

bool ReadIconFile(const uint8_t* bytes, size_t size, std::vector<IconImage>* images, std::string* error) {
  images->clear();
  error->clear();
  if (size < kHeaderBytes || PeGet16(bytes) != 0 ||
      (PeGet16(bytes + 2) != kTypeIcon && PeGet16(bytes + 2) != kTypeCursor)) {
    *error = "is not an icon file (no icon file header)";
    return false;
  }
  if (PeGet16(bytes + 2) == kTypeCursor) {
    *error = "is a cursor file, not an icon file";
    return false;
  }
  const size_t count = PeGet16(bytes + 4);
  if (count == 0) {
    *error = "holds no images";
    return false;
  }
  const size_t directoryEnd = kHeaderBytes + count * kFileEntryBytes;
  if (directoryEnd > size) {
    *error = "is cut short: its list of " + std::to_string(count) + " images ends beyond the end of the file";
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes + kHeaderBytes + i * kFileEntryBytes;
    const uint64_t length = PeGet32(entry + 8), offset = PeGet32(entry + 12);
    if (length == 0) *error = ImageError(i, "is empty");
    else if (offset < directoryEnd || offset + length > size) *error = ImageError(i, "lies beyond the end of the file or over its header");
    if (!error->empty()) return false;
    IconImage image{entry[0], entry[1], entry[2], entry[3], uint16_t(PeGet16(entry + 4)),
                    uint16_t(PeGet16(entry + 6)), std::vector<uint8_t>(bytes + offset, bytes + offset + length)};
    const uint32_t bits = ImageBits(image.data);
    if (bits == 0) {
      *error = ImageError(i, "is neither a complete bitmap nor a PNG image");
      return false;
    }
    if (image.planes == 0) image.planes = 1;
    if (image.bitCount == 0) image.bitCount = uint16_t(bits);
    images->push_back(image);
  }
  return true;
}

std::vector<uint8_t> GroupIconResource(const std::vector<IconImage>& images, uint16_t firstId) {
  std::vector<uint8_t> out(kHeaderBytes + kGroupEntryBytes * images.size(), 0);
  PePut16(out.data() + 2, kTypeIcon);
  PePut16(out.data() + 4, uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    uint8_t* entry = out.data() + kHeaderBytes + i * kGroupEntryBytes;
    entry[0] = image.width;
    entry[1] = image.height;
    entry[2] = image.colorCount;
    entry[3] = image.reserved;
    PePut16(entry + 4, image.planes);
    PePut16(entry + 6, image.bitCount);
    PePut32(entry + 8, uint32_t(image.data.size()));
    PePut16(entry + 12, uint32_t(firstId + i));
  }
  return out;
}
