// Finding the removal record in front of a signature (see record_place.h).
#include "payload/record_place.h"

#include "archive/byte_order.h"
#include "payload/removal_record.h"

namespace {

// The PE header fields on the way to the certificate table's directory entry.
constexpr uint32_t kLfanewField = 0x3C;          // MS-DOS header: file offset of "PE\0\0"
constexpr uint32_t kCoffBytes = 20;              // the COFF header behind the signature
constexpr uint32_t kOptionalSizeField = 16;      // in the COFF header: SizeOfOptionalHeader
constexpr uint32_t kDirectoriesAt32 = 96;        // PE32: NumberOfRvaAndSizes at 92, entries at 96
constexpr uint32_t kDirectoriesAt64 = 112;       // PE32+: NumberOfRvaAndSizes at 108, entries at 112
constexpr uint32_t kCertificateDirectory = 4;    // its address is a file offset, not an RVA
// The table's first WIN_CERTIFICATE: dwLength (32 bits), wRevision 0x0200, wCertificateType
// 2 (PKCS#7 signed data).
constexpr uint32_t kCertificateHeader = 8;
constexpr uint32_t kCertificateRevision = 0x0200;
constexpr uint32_t kCertificatePkcsSignedData = 2;

struct Directory {
  uint32_t address;
  uint32_t size;
};

// The certificate table's directory entry from the file's first `size` bytes; {0, 0} when
// they hold no PE headers that reach it (no image, or one too small to have the entry).
Directory CertificateDirectory(const uint8_t* head, uint32_t size) {
  if (size < kLfanewField + 4 || head[0] != 'M' || head[1] != 'Z') return {0, 0};
  const uint64_t pe = Get32(head + kLfanewField);
  const uint64_t optional = pe + 4 + kCoffBytes;
  if (optional + 2 > size || Get32(head + pe) != 0x00004550u) return {0, 0};
  const uint32_t magic = Get16(head + optional);
  const uint32_t fixed = magic == 0x10B ? kDirectoriesAt32 : magic == 0x20B ? kDirectoriesAt64 : 0;
  const uint64_t entry = optional + fixed + 8 * kCertificateDirectory;
  const uint32_t optionalSize = Get16(head + pe + 4 + kOptionalSizeField);
  if (fixed == 0 || entry + 8 > size || entry + 8 > optional + optionalSize ||
      Get32(head + optional + fixed - 4) <= kCertificateDirectory)
    return {0, 0};
  return {Get32(head + entry), Get32(head + entry + 4)};
}

// Whether the directory names a table of signed data that ends the file.
bool TableEndsFile(RecordReadAt read, void* user, uint32_t fileSize, Directory table) {
  if (table.size < kCertificateHeader || table.address > fileSize || fileSize - table.address != table.size)
    return false;
  uint8_t first[kCertificateHeader];
  if (!read(user, table.address, first, kCertificateHeader)) return false;
  const uint32_t length = Get32(first);
  return length >= kCertificateHeader && length <= table.size && Get16(first + 4) == kCertificateRevision &&
         Get16(first + 6) == kCertificatePkcsSignedData;
}

}  // namespace

bool LocateRemovalTrailer(RecordReadAt read, void* user, uint32_t fileSize, uint32_t* trailerOffset) {
  *trailerOffset = 0;
  uint8_t head[kRecordHeadBytes];
  const uint32_t headSize = fileSize < kRecordHeadBytes ? fileSize : kRecordHeadBytes;
  if (!read(user, 0, head, headSize)) return false;
  const Directory table = CertificateDirectory(head, headSize);
  uint32_t end = fileSize;  // where the trailer ends, with no signature
  if (table.size != 0) {
    if (!TableEndsFile(read, user, fileSize, table)) return false;
    end = table.address;
  }
  // The trailer, and the padding that may follow it, read at once.
  uint8_t tail[kRemovalTrailerBytes + kCertificatePaddingLimit];
  const uint32_t window = end < sizeof tail ? end : uint32_t(sizeof tail);
  const uint32_t start = end - window;
  if (window < uint32_t(kRemovalTrailerBytes) || !read(user, start, tail, window)) return false;
  const uint32_t padLimit = table.size != 0 ? kCertificatePaddingLimit : 0;
  for (uint32_t pad = 0; pad <= padLimit && pad + kRemovalTrailerBytes <= window; ++pad) {
    if (pad > 0 && tail[window - pad] != 0) break;  // padding is zeros only
    const uint32_t at = window - pad - kRemovalTrailerBytes;
    if (RemovalBodySize(tail + at) != 0) {
      *trailerOffset = start + at;
      return true;
    }
  }
  return false;
}
