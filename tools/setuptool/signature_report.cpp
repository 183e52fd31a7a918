// Signature, checksum and trailing bytes of a setup (see signature_report.h). What makes a
// certificate table sound is image knowledge (image/certificate_table.h); this reads the
// bytes the headers name and says what they are to the publisher.
#include "signature_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "image/certificate_table.h"
#include "image/pe_checksum.h"
#include "image/pe_image.h"

namespace {

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
  std::string problem;
  CheckCertificateTable(table.data(), table.size(), directory.address, &problem);
  return problem;
}

}  // namespace

void ReportSignature(const ArchiveFile& archive, const ArchiveSummary& summary, const std::string& shownFile) {
  struct stat st;
  if (summary.archiveOffset == 0 || fstat(archive.fd, &st) != 0) return;
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

std::string SetupSignatureProblem(const ArchiveFile& archive, uint32_t* tableBytes) {
  *tableBytes = 0;
  ArchiveSummary summary;
  struct stat st;
  if (WalkArchiveHeaders(archive.path, [](const EntryInfo&) { return true; }, &summary) != ListingStatus::kOk ||
      !summary.endBlock || summary.archiveOffset == 0 || fstat(archive.fd, &st) != 0)
    return "it holds no setup program with a complete archive";
  std::vector<uint8_t> headers(size_t(summary.archiveOffset));
  PeLayout layout;
  if (pread(archive.fd, headers.data(), headers.size(), 0) != ssize_t(headers.size()) ||
      !ReadPeLayout(headers.data(), headers.size(), &layout))
    return "its program in front of the archive is no sound program image";
  const PeDirectory table = GetPeDirectory(headers.data(), layout, kPeDirectoryCertificates);
  if (table.size == 0) return "it has no certificate table";
  if (int64_t(table.address) + table.size != int64_t(st.st_size)) return "its certificate table does not end the file";
  const std::string problem = CertificateTableProblem(archive.fd, table, summary.archiveEnd, st.st_size);
  if (!problem.empty()) return "its certificate table is not valid: " + problem;
  StrayBytes stray;
  AddNonZeroBytes(archive.fd, summary.archiveEnd, table.address, &stray);
  if (stray.count > 0) return "bytes that are not zero lie between its archive and its certificate table";
  *tableBytes = table.size;
  return "";
}
