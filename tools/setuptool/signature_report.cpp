// Signature, checksum and trailing bytes of a setup (see signature_report.h).
//
// The certificate table, from the PE format: the data directory's certificate entry gives
// its file offset and size. It holds WIN_CERTIFICATE entries, each padded to an 8-byte
// boundary, whose padded lengths add up to the table's size:
//   +0 dwLength (32 bits): the entry's bytes, this header included, padding excluded
//   +4 wRevision (16 bits): 0x0200, WIN_CERT_REVISION_2_0
//   +6 wCertificateType (16 bits): 2, WIN_CERT_TYPE_PKCS_SIGNED_DATA (Authenticode)
//   +8 bCertificate: the PKCS#7 SignedData, a DER SEQUENCE (tag 0x30, then its length:
//      one byte below 0x80, or 0x81 to 0x84 followed by that many bytes of length)
#include "signature_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "image/pe_checksum.h"
#include "image/pe_image.h"

namespace {

// A signature with its chain of certificates and a time stamp takes some kilobytes, a few
// nested ones some tens: a table beyond this is no signature, and is not read.
constexpr uint32_t kLargestCertificateTable = 1 << 20;
constexpr size_t kCertificateHeader = 8;         // dwLength, wRevision, wCertificateType
constexpr uint32_t kCertificateRevision = 0x0200;
constexpr uint32_t kCertificatePkcsSignedData = 2;
constexpr uint8_t kDerSequence = 0x30;

// The file's image checksum, summed over the whole file.
uint32_t FileChecksum(int fd, const PeLayout& layout) {
  PeChecksum checksum;
  StartPeChecksum(&checksum, layout.checksumField);
  std::vector<uint8_t> piece(1 << 20);
  ssize_t got;
  for (off_t at = 0; (got = pread(fd, piece.data(), piece.size(), at)) > 0; at += got)
    AddPeChecksum(&checksum, piece.data(), size_t(got));
  return FinishPeChecksum(&checksum);
}

// Bytes after the archive that belong to nobody: how many, and where the first is.
struct StrayBytes {
  uint64_t count = 0;
  int64_t first = 0;
  void Add(int64_t at, uint64_t bytes) {
    if (bytes > 0 && (count == 0 || at < first)) first = at;
    count += bytes;
  }
};

// Adds the bytes from `from` to `to` that are not zero.
void AddNonZeroBytes(int fd, int64_t from, int64_t to, StrayBytes* stray) {
  uint8_t piece[65536];
  for (int64_t at = from; at < to;) {
    const size_t want = size_t(to - at < int64_t(sizeof piece) ? to - at : int64_t(sizeof piece));
    const ssize_t got = pread(fd, piece, want, off_t(at));
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i)
      if (piece[i] != 0) stray->Add(at + i, 1);
    at += got;
  }
}

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
std::string EntryProblem(const std::vector<uint8_t>& table, size_t at, int64_t offset, size_t* padded) {
  const size_t left = table.size() - at;
  char why[200];
  const long long where = static_cast<long long>(offset) + static_cast<long long>(at);
  const uint32_t length = left >= kCertificateHeader ? PeGet32(table.data() + at) : 0;
  *padded = (size_t(length) + 7) & ~size_t(7);
  if (left < kCertificateHeader)
    std::snprintf(why, sizeof why, "the entry at offset %lld is cut short by the table's end", where);
  else if (length < kCertificateHeader + 2)  // 2: the least DER element
    std::snprintf(why, sizeof why, "the entry at offset %lld states %u bytes, too few for signed data", where, length);
  else if (length > left)
    std::snprintf(why, sizeof why, "the entry at offset %lld states %u bytes, and %zu are left in the table", where,
                  length, left);
  else if (PeGet16(table.data() + at + 4) != kCertificateRevision)
    std::snprintf(why, sizeof why, "the entry at offset %lld has revision 0x%04x, not 0x0200", where,
                  PeGet16(table.data() + at + 4));
  else if (PeGet16(table.data() + at + 6) != kCertificatePkcsSignedData)
    std::snprintf(why, sizeof why, "the entry at offset %lld is of type %u, not 2 (PKCS#7 signed data)", where,
                  PeGet16(table.data() + at + 6));
  else if (table[at + kCertificateHeader] != kDerSequence)
    std::snprintf(why, sizeof why, "the entry at offset %lld holds no DER SEQUENCE", where);
  else if (!DerElementFits(table.data() + at + kCertificateHeader, length - kCertificateHeader))
    std::snprintf(why, sizeof why, "the entry at offset %lld holds a DER SEQUENCE longer than the entry", where);
  else if (*padded > left)
    std::snprintf(why, sizeof why, "the entry at offset %lld, padded to 8 bytes, ends beyond the table", where);
  else
    return "";
  return why;
}

// Why the table that the directory entry names is not a certificate table behind the
// archive, or "" when it is one.
std::string CertificateTableProblem(int fd, PeDirectory directory, int64_t archiveEnd, int64_t fileSize) {
  char why[200];
  if (int64_t(directory.address) < archiveEnd) {
    std::snprintf(why, sizeof why, "it starts before the archive's end at offset %lld", static_cast<long long>(archiveEnd));
    return why;
  }
  if (int64_t(directory.address) + directory.size > fileSize) {
    std::snprintf(why, sizeof why, "it runs past the end of the file, %lld bytes", static_cast<long long>(fileSize));
    return why;
  }
  if (directory.size > kLargestCertificateTable) {
    std::snprintf(why, sizeof why, "it is larger than the %u bytes a signature takes at most", kLargestCertificateTable);
    return why;
  }
  std::vector<uint8_t> table(directory.size);
  if (pread(fd, table.data(), table.size(), off_t(directory.address)) != ssize_t(table.size())) return "it cannot be read";
  for (size_t at = 0; at < table.size();) {
    bool restZero = at > 0;
    for (size_t i = at; i < table.size() && restZero; ++i) restZero = table[i] == 0;
    if (restZero) {
      std::snprintf(why, sizeof why, "its entries end after %zu of its %zu bytes", at, table.size());
      return why;
    }
    size_t padded = 0;
    const std::string problem = EntryProblem(table, at, directory.address, &padded);
    if (!problem.empty()) return problem;
    at += padded;
  }
  return "";
}

}  // namespace

void ReportSignature(const ArchiveFile& archive, const std::string& shownFile) {
  ArchiveSummary summary;
  struct stat st;
  if (WalkArchiveHeaders(archive.path, [](const EntryInfo&) { return true; }, &summary) != ListingStatus::kOk ||
      summary.archiveOffset == 0 || fstat(archive.fd, &st) != 0)
    return;
  std::vector<uint8_t> headers(size_t(summary.archiveOffset));
  PeLayout layout;
  if (pread(archive.fd, headers.data(), headers.size(), 0) != ssize_t(headers.size()) ||
      !ReadPeLayout(headers.data(), headers.size(), &layout))
    return;
  const int64_t size = st.st_size;
  const PeDirectory table = GetPeDirectory(headers.data(), layout, kPeDirectoryCertificates);
  const int64_t end = summary.endBlock ? summary.archiveEnd : size;
  const int64_t tableEnd = int64_t(table.address) + table.size;
  const std::string problem = table.size > 0 ? CertificateTableProblem(archive.fd, table, end, size) : "";
  const bool signed_ = table.size > 0 && problem.empty();
  StrayBytes stray;
  if (signed_) {
    std::printf("signed: certificate table of %u bytes at offset %u\n", table.size, table.address);
    AddNonZeroBytes(archive.fd, end, table.address, &stray);
    AddNonZeroBytes(archive.fd, tableEnd, size, &stray);
  } else {
    std::printf("unsigned\n");
    const bool behind = table.size > 0 && int64_t(table.address) >= end && tableEnd <= size;
    if (table.size > 0)
      std::fprintf(stderr,
                   "setuptool test: warning: %s: the certificate table at offset %u (%u bytes) is not a valid "
                   "certificate table (%s)\n",
                   shownFile.c_str(), table.address, table.size, problem.c_str());
    // Bytes the entry names as a signature that are none are stray, zeros included.
    AddNonZeroBytes(archive.fd, end, behind ? int64_t(table.address) : size, &stray);
    if (behind) {
      stray.Add(table.address, table.size);
      AddNonZeroBytes(archive.fd, tableEnd, size, &stray);
    }
  }
  if (stray.count > 0)
    std::fprintf(stderr,
                 "setuptool test: warning: %s: %llu bytes after the archive (the first at offset %lld) are "
                 "neither a signature nor padding\n",
                 shownFile.c_str(), static_cast<unsigned long long>(stray.count), static_cast<long long>(stray.first));
  const uint32_t stored = PeGet32(headers.data() + layout.checksumField);
  if (stored != 0 && stored != FileChecksum(archive.fd, layout))
    std::fprintf(stderr, "setuptool test: warning: %s: the image checksum in its header is not that of the file\n",
                 shownFile.c_str());
}
