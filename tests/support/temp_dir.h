// A scratch folder for one test, under the test's working directory (the build tree),
// removed with everything in it when the object goes away.
#pragma once
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder's absolute path, and the path of a name inside it.
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// UTF-16 form of a UTF-8 path, for the calls that take wide paths.
std::u16string Wide(const std::string& text);

// Reads a whole file; empty when it cannot be read. exists is set when given.
std::string ReadWholeFile(const std::string& path, bool* exists = nullptr);
