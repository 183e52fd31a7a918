// Signature, checksum and trailing bytes of a setup (see signature_report.h).
#include "signature_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "pack/pe_checksum.h"
#include "pack/pe_image.h"

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

// Counts the bytes from `from` to `to` that are not zero; `first` gets the first one's offset.
uint64_t NonZeroBytes(int fd, int64_t from, int64_t to, int64_t* first) {
  uint64_t count = 0;
  uint8_t piece[65536];
  for (int64_t at = from; at < to;) {
    const size_t want = size_t(to - at < int64_t(sizeof piece) ? to - at : int64_t(sizeof piece));
    const ssize_t got = pread(fd, piece, want, off_t(at));
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i)
      if (piece[i] != 0 && count++ == 0) *first = at + i;
    at += got;
  }
  return count;
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
  const bool signed_ = table.size > 0 && int64_t(table.address) >= end && int64_t(table.address) + table.size <= size;
  if (signed_)
    std::printf("signed: certificate table of %u bytes at offset %u\n", table.size, table.address);
  else
    std::printf("unsigned\n");
  int64_t first = 0;
  uint64_t stray = signed_ ? NonZeroBytes(archive.fd, end, table.address, &first) +
                                 NonZeroBytes(archive.fd, int64_t(table.address) + table.size, size, &first)
                           : NonZeroBytes(archive.fd, end, size, &first);
  if (stray > 0)
    std::fprintf(stderr,
                 "setuptool test: warning: %s: %llu bytes after the archive (the first at offset %lld) are "
                 "neither a signature nor padding\n",
                 shownFile.c_str(), static_cast<unsigned long long>(stray), static_cast<long long>(first));
  const uint32_t stored = PeGet32(headers.data() + layout.checksumField);
  if (stored != 0 && stored != FileChecksum(archive.fd, layout))
    std::fprintf(stderr, "setuptool test: warning: %s: the image checksum in its header is not that of the file\n",
                 shownFile.c_str());
}
