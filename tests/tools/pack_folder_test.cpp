// The product folder as setuptool pack lists and reads it: a file is read only when it is
// still the one listed, links are resolved once and never followed again, a file with names
// outside the folder is warned about, and a deep tree does not run out of descriptors.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "pack_folder.h"
#include "support/temp_dir.h"

namespace {

class FolderWalk : public testing::Test {
 protected:
  void SetUp() override {
    Put("product/KTool.exe", "the program");
    Put("product/docs/readme.txt", "read me");
    Put("secret.txt", "not for the setup");
    chmod(dir_.File("secret.txt").c_str(), 0600);
    Put("outside/readme.txt", "from outside");
  }
  void Put(const std::string& relative, const std::string& text) {
    const std::string path = dir_.File(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  bool List() {
    std::string error;
    notes_.clear();
    const bool listed = ListFolder(dir_.File("product"), FolderSkips(), folder_, files_, notes_, error);
    EXPECT_TRUE(listed) << error;
    return listed;
  }
  const FolderFile* Listed(const std::string& relative) const {
    for (const FolderFile& f : files_)
      if (f.relative == relative) return &f;
    return nullptr;
  }
  std::string Notes() const {
    std::string all;
    for (const PayloadIssue& n : notes_) all += n.message + "\n";
    return all;
  }
  TempDir dir_;
  ListedFolder folder_;
  std::vector<FolderFile> files_;
  std::vector<PayloadIssue> notes_;
};

// Between listing and reading, docs/readme.txt stops being the file listed: whatever is there
// now, a link to a file outside, a folder swapped for a link, or another file of that name,
// is not read.
TEST_F(FolderWalk, AFileNoLongerTheOneListedIsNotRead) {
  struct Case {
    const char* what;
    std::function<void()> swap;
  };
  const std::string docs = dir_.File("product/docs");
  const Case cases[] = {
      {"file swapped for a link to a file outside",
       [&] {
         std::filesystem::remove(docs + "/readme.txt");
         std::filesystem::create_symlink("../../secret.txt", docs + "/readme.txt");
       }},
      {"folder swapped for a link to a folder outside",
       [&] {
         std::filesystem::rename(docs, dir_.File("product/docs.old"));
         std::filesystem::create_directory_symlink("../outside", docs);
       }},
      {"file replaced by another of the same name",
       [&] {
         std::filesystem::rename(docs + "/readme.txt", dir_.File("moved.txt"));  // keeps its inode in use
         Put("product/docs/readme.txt", "read me");
       }},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product/docs"));
    std::filesystem::remove_all(dir_.File("product/docs.old"));
    Put("product/docs/readme.txt", "read me");
    ASSERT_TRUE(List()) << c.what;
    const FolderFile* readme = Listed("docs/readme.txt");
    ASSERT_NE(readme, nullptr) << c.what;
    c.swap();
    uint64_t size = 0;
    std::string error;
    const int fd = OpenListedFile(folder_, *readme, size, error);
    if (fd >= 0) close(fd);
    EXPECT_LT(fd, 0) << c.what;
    EXPECT_EQ(error, "docs/readme.txt: changed while it was packed (it is no longer the file that was listed)")
        << c.what;
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadListedFile(folder_, *readme, data, error)) << c.what;
    EXPECT_EQ(std::string(data.begin(), data.end()).find("outside"), std::string::npos) << c.what;
    std::filesystem::remove(dir_.File("moved.txt"));
  }
}

// A link inside the folder is resolved when listed, and its file is read by that path: a
// link turned to point outside afterwards still gives the file it led to.
TEST_F(FolderWalk, ALinkInsideIsReadByWhereItLedWhenListed) {
  std::filesystem::create_symlink("KTool.exe", dir_.File("product/KCopy.exe"));
  std::filesystem::create_directory_symlink("docs", dir_.File("product/manual"));
  ASSERT_TRUE(List());
  const FolderFile* copy = Listed("KCopy.exe");
  const FolderFile* manual = Listed("manual/readme.txt");
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(manual, nullptr);
  EXPECT_EQ(copy->resolved, "KTool.exe");
  EXPECT_EQ(manual->resolved, "docs/readme.txt");
  std::filesystem::remove(dir_.File("product/KCopy.exe"));
  std::filesystem::create_symlink("../secret.txt", dir_.File("product/KCopy.exe"));
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(ReadListedFile(folder_, *copy, data, error)) << error;
  EXPECT_EQ(std::string(data.begin(), data.end()), "the program");
  ASSERT_TRUE(ReadListedFile(folder_, *manual, data, error)) << error;
  EXPECT_EQ(std::string(data.begin(), data.end()), "read me");
}

// A file whose other names are not all in the folder is packed with a warning; names that
// are all inside, or a symbolic link to it, are no reason for one.
TEST_F(FolderWalk, HardLinksFromOutsideAreWarnedAbout) {
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* expect;  // the note, or "" for none
  };
  const std::string product = dir_.File("product");
  const Case cases[] = {
      {"a name outside", [&] { std::filesystem::create_hard_link(dir_.File("secret.txt"), product + "/docs/a.txt"); },
       "docs/a.txt: a hard link: the file has 2 names and only 1 is inside the product folder; the setup carries "
       "what it holds when packed"},
      {"two names inside, one outside",
       [&] {
         std::filesystem::create_hard_link(dir_.File("secret.txt"), product + "/docs/a.txt");
         std::filesystem::create_hard_link(dir_.File("secret.txt"), product + "/b.txt");
       },
       "b.txt: a hard link: the file has 3 names and only 2 are inside the product folder"},
      {"both names inside",
       [&] { std::filesystem::create_hard_link(product + "/KTool.exe", product + "/docs/k.exe"); }, ""},
      {"a symbolic link beside a name inside",
       [&] {
         std::filesystem::create_hard_link(product + "/KTool.exe", product + "/docs/k.exe");
         std::filesystem::create_symlink("KTool.exe", product + "/KCopy.exe");
       },
       ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(product);
    Put("product/KTool.exe", "the program");
    Put("product/docs/readme.txt", "read me");
    c.make();
    ASSERT_TRUE(List()) << c.what;
    const std::string notes = Notes();
    if (*c.expect) {
      EXPECT_NE(notes.find(c.expect), std::string::npos) << c.what << ": " << notes;
      EXPECT_EQ(notes_.size(), 1u) << c.what << ": " << notes;  // once per file, not per name
      EXPECT_TRUE(notes_.empty() || notes_[0].level == PayloadIssueLevel::kWarning) << c.what;
    } else {
      EXPECT_EQ(notes, "") << c.what;
    }
  }
}

// Only the root stays open while the tree is walked and read: a tree deeper than the
// descriptors a process may hold is listed and read all the same.
TEST_F(FolderWalk, ADeepTreeNeedsNoDescriptorPerFolder) {
  std::string deep = "product";
  for (int i = 0; i < 80; ++i) deep += "/d";
  Put(deep + "/bottom.txt", "at the bottom");
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit low = saved;
  low.rlim_cur = 40;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool listed = List();
  const FolderFile* bottom = Listed(deep.substr(std::string("product/").size()) + "/bottom.txt");
  std::vector<uint8_t> data;
  std::string error;
  const bool read = bottom && ReadListedFile(folder_, *bottom, data, error);
  setrlimit(RLIMIT_NOFILE, &saved);
  ASSERT_TRUE(listed);
  ASSERT_NE(bottom, nullptr);
  EXPECT_TRUE(read) << error;
  EXPECT_EQ(std::string(data.begin(), data.end()), "at the bottom");
}

}  // namespace
