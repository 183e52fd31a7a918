// Scratch folders for tests (see temp_dir.h).
#include "support/temp_dir.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "system/host/host_paths.h"

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::filesystem::path base = std::filesystem::current_path() / "test-scratch";
  path_ = (base / ("t" + std::to_string(getpid()) + "-" + std::to_string(counter++))).string();
  std::filesystem::remove_all(path_);
  // Tests run in parallel processes, and one that ends removes the shared parent when it is
  // empty: a creation that loses that race tries again.
  std::error_code error;
  for (int attempt = 0; attempt < 20 && !std::filesystem::is_directory(path_); ++attempt)
    std::filesystem::create_directories(path_, error);
  if (!std::filesystem::is_directory(path_)) std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only files and folders must become writable again before they can go.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
  std::filesystem::remove(std::filesystem::path(path_).parent_path(), ignored);  // when empty
}

std::u16string Wide(const std::string& text) { return HostUtf16(text); }

std::string ReadWholeFile(const std::string& path, bool* exists) {
  std::ifstream in(path, std::ios::binary);
  if (exists) *exists = static_cast<bool>(in);
  if (!in) return {};
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}
