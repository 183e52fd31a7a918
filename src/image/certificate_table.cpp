// The certificate table of a signed PE file (see certificate_table.h).
#include "image/certificate_table.h"

#include <cstdio>


namespace {

constexpr size_t kCertificateHeader = 8;  // dwLength, wRevision, wCertificateType
constexpr uint32_t kCertificateRevision = 0x0200;
constexpr uint32_t kCertificatePkcsSignedData = 2;
constexpr uint8_t kDerSequence = 0x30;

// Whether `size` bytes at `p` start with a DER element (tag, definite length, content) that
// lies within them.
bool DerElementFits(const uint8_t* p, size_t size) {
  if (size < 2) return false;
  uint64_t header = 2, length = p[1];
  if (length >= 0x80) {
    const size_t count = length & 0x7F;  // 0: the indefinite length of BER, not DER
    if (count == 0 || count > 4 || size < 2 + count) return false;
    header += count, length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | p[2 + i];
  }
  return header + length <= size;
}

// Why the entry at `at` of the table is not one of signed data, or "" when it is one;
// `padded` gets its length rounded up to 8 bytes.
std::string EntryProblem(const uint8_t* table, size_t size, size_t at, uint64_t offset, size_t* padded) {
  const size_t left = size - at;
  char why[200];
  const long long where = static_cast<long long>(offset + at);
  const uint8_t* entry = table + at;
  const uint32_t length = left >= kCertificateHeader ? PeGet32(entry) : 0;
  *padded = (size_t(length) + 7) & ~size_t(7);
  if (left < kCertificateHeader)
    std::snprintf(why, sizeof why, "the entry at offset %lld is cut short by the table's end", where);
  else if (length < kCertificateHeader + 2)  // 2: the least DER element
    std::snprintf(why, sizeof why, "the entry at offset %lld states %u bytes, too few for signed data", where, length);
  else if (length > left)
    std::snprintf(why, sizeof why, "the entry at offset %lld states %u bytes, and %zu are left in the table", where,
                  length, left);
  else if (PeGet16(entry + 4) != kCertificateRevision)
    std::snprintf(why, sizeof why, "the entry at offset %lld has revision 0x%04x, not 0x0200", where,
                  PeGet16(entry + 4));
  else if (PeGet16(entry + 6) != kCertificatePkcsSignedData)
    std::snprintf(why, sizeof why, "the entry at offset %lld is of type %u, not 2 (PKCS#7 signed data)", where,
                  PeGet16(entry + 6));
  else if (entry[kCertificateHeader] != kDerSequence)
    std::snprintf(why, sizeof why, "the entry at offset %lld holds no DER SEQUENCE", where);
  else if (!DerElementFits(entry + kCertificateHeader, length - kCertificateHeader))
    std::snprintf(why, sizeof why, "the entry at offset %lld holds a DER SEQUENCE longer than the entry", where);
  else if (*padded > left)
    std::snprintf(why, sizeof why, "the entry at offset %lld, padded to 8 bytes, ends beyond the table", where);
  else
    return "";
  return why;
}

}  // namespace

bool CheckCertificateTable(const uint8_t* table, size_t size, uint64_t offset, std::string* problem) {
  if (size == 0) {
    *problem = "it holds no entries";
    return false;
  }
  for (size_t at = 0; at < size;) {
    // Zeros beyond the last entry's padding are no entry: the table must end where its entries do.
    bool restZero = at > 0;
    for (size_t i = at; i < size && restZero; ++i) restZero = table[i] == 0;
    if (restZero) {
      char why[200];
      std::snprintf(why, sizeof why, "its entries end after %zu of its %zu bytes", at, size);
      *problem = why;
      return false;
    }
    size_t padded = 0;
    *problem = EntryProblem(table, size, at, offset, &padded);
    if (!problem->empty()) return false;
    at += padded;
  }
  problem->clear();
  return true;
}

std::string SignedFileProblem(const uint8_t* file, size_t size, const PeLayout& layout) {
  const PeDirectory table = GetPeDirectory(file, layout, kPeDirectoryCertificates);
  if (table.size == 0) return "it has no certificate table";
  char why[200];
  if (table.address > size || size - table.address < table.size) {
    std::snprintf(why, sizeof why, "its certificate table (%u bytes at offset %u) runs past the file's end", table.size,
                  table.address);
    return why;
  }
  if (size - table.address != table.size) {
    std::snprintf(why, sizeof why, "its certificate table ends %zu bytes before the file does",
                  size - table.address - table.size);
    return why;
  }
  std::string problem;
  if (CheckCertificateTable(file + table.address, table.size, table.address, &problem)) return "";
  return "its certificate table is not valid: " + problem;
}
