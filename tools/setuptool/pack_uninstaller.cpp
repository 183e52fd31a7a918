// Our uninstaller in the payload (see pack_uninstaller.h).
#include "pack_uninstaller.h"

#include <sys/stat.h>

#include <utility>

#include "archive/rar_format.h"
#include "image/pe_checksum.h"
#include "pack_stub.h"
#include "payload/removal_plan.h"
#include "payload/removal_record.h"
#include "terminal_text.h"

namespace {

const char kUninstallerName[] = "UnInst.exe";

}  // namespace

bool LoadUninstallerStub(const std::string& path, PeArchitecture wanted, StubImage& stub, FolderFile& entry,
                         std::string& error) {
  uint64_t size = 0;
  if (!ReadStub(path, wanted, stub, size, error)) return false;
  if (stub.bytes.empty()) {
    error = TerminalText(path) + " is too large for an uninstaller stub";
    return false;
  }
  const std::vector<uint8_t>& image = stub.bytes;
  if (image.size() >= size_t(kRemovalTrailerBytes) &&
      RemovalBodySize(image.data() + image.size() - kRemovalTrailerBytes) != 0) {
    error = TerminalText(path) + " already carries a removal record: give the bare uninstaller stub";
    return false;
  }
  struct stat st;
  entry = FolderFile();
  entry.path = path;
  entry.relative = kUninstallerName;
  entry.archiveName = kUninstallerName;
  entry.nameConverted = true;
  entry.size = image.size();
  entry.dosTime = DosTimeOf(stat(path.c_str(), &st) == 0 ? st.st_mtime : 0);
  entry.attributes = kAttributeArchive;
  entry.content = &stub.bytes;
  return true;
}

bool AppendRemovalRecord(const InstallPlan& plan, StubImage& stub, FolderFile& entry, uint64_t& total,
                         std::string& error) {
  const std::vector<uint8_t> record = RemovalRecordOf(plan);
  if (record.empty()) {
    error = "the payload has more files than our uninstaller's record holds (" + std::to_string(kRemovalNameLimit) +
            " names, " + std::to_string(kRemovalBodyLimit >> 20) +
            " MB); give --no-uninstaller or an UnInst.exe of your own";
    return false;
  }
  std::vector<uint8_t>& image = stub.bytes;
  image.insert(image.end(), record.begin(), record.end());
  PePut32(image.data() + stub.layout.checksumField,
          PeFileChecksum(image.data(), image.size(), stub.layout.checksumField));
  total += record.size();
  entry.size = image.size();
  return true;
}

void ReplaceUninstaller(std::vector<uint8_t> signed_, StubImage& stub, FolderFile& entry, uint64_t& total) {
  total = total - stub.bytes.size() + signed_.size();
  stub.bytes = std::move(signed_);
  entry.size = stub.bytes.size();
}
