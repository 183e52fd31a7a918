// Finding a stub relative to setuptool's own executable (see stub_location.h).
#include "stub_location.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of the running executable, through /proc/self/exe, so that a symbolic link to
// setuptool (e.g. in ~/bin) still finds the stubs of the real installation.
std::string ToolFolder() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return ".";
  self[n] = 0;
  const std::string path(self);
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::vector<std::string> StubCandidates(const std::string& toolFolder, const std::string& fileName) {
  return {Joined(toolFolder, fileName), Joined(toolFolder, "../share/korvane-setup/" + fileName)};
}

std::string LocateStubFrom(const std::string& toolFolder, const std::string& fileName) {
  for (const std::string& candidate : StubCandidates(toolFolder, fileName)) {
    struct stat st;
    // A folder or a broken link is no stub; anything else is taken and checked by its reader.
    if (stat(candidate.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return candidate;
  }
  return std::string();
}

std::string LocateStub(const std::string& fileName) { return LocateStubFrom(ToolFolder(), fileName); }

std::string StubPlacesText(const std::string& fileName) {
  const std::vector<std::string> places = StubCandidates(ToolFolder(), fileName);
  return places[0] + " nor " + places[1];
}
