// The stub of setuptool pack (see pack_stub.h).
#include "pack_stub.h"

#include <unistd.h>

#include <utility>
#include <vector>

#include "pack_folder.h"
#include "payload/payload_rules.h"
#include "terminal_text.h"

bool ReadStub(const std::string& path, PeArchitecture wanted, StubImage& stub, uint64_t& size, std::string& error) {
  stub = StubImage();
  FolderFileReader reader;
  reader.fd = OpenRegularFile(path, size, error);
  if (reader.fd < 0) return false;
  if (size > kLastArchiveOffset) {  // refused by the payload check, which says why the size matters
    close(reader.fd);
    return true;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  const bool read = ReadFolderFilePiece(&reader, 0, bytes.data(), bytes.size()) == 0;
  close(reader.fd);
  if (!read) {
    error = TerminalText(path) + ": it could not be read whole";
    return false;
  }
  const StubImageProblem problem = ReadStubImage(std::move(bytes), wanted, &stub);
  if (problem != StubImageProblem::kNone) {
    error = "the stub " + TerminalText(path) + " " + StubImageProblemText(problem);
    if (problem == StubImageProblem::kIsX64) error += "; give --arch x64 for a 64-bit setup";
    if (problem == StubImageProblem::kIsX86) error += "; leave out --arch x64 for a 32-bit setup";
    return false;
  }
  return true;
}
