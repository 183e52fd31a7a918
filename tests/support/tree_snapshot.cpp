// Snapshots of folder trees and hostile output folders (see tree_snapshot.h).
#include "support/tree_snapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "support/temp_dir.h"

namespace {

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Describe(const std::string& path, const struct stat& st, bool withContents) {
  char head[160];
  std::snprintf(head, sizeof head, "mode %o size %lld mtime %lld.%09ld", unsigned(st.st_mode),
                static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                st.st_mtim.tv_nsec);
  std::string line = head;
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    line += " -> " + std::string(target, n > 0 ? size_t(n) : 0);
  } else if (S_ISREG(st.st_mode) && withContents) {
    line += " bytes " + ReadWholeFile(path);
  }
  return line;
}

void Walk(const std::string& root, const std::string& relative, const std::string& skip,
          bool withContents, TreeSnapshot* out) {
  const std::string folder = relative.empty() ? root : root + "/" + relative;
  for (const std::string& name : NamesIn(folder)) {
    const std::string path = relative.empty() ? name : relative + "/" + name;
    struct stat st;
    if (lstat((root + "/" + path).c_str(), &st) != 0) {
      (*out)[path] = "vanished";
      continue;
    }
    if (path == skip) {
      (*out)[path] = S_ISDIR(st.st_mode) ? "the skipped folder" : "the skipped folder, not a folder";
      continue;
    }
    (*out)[path] = Describe(root + "/" + path, st, withContents);
    if (S_ISDIR(st.st_mode)) Walk(root, path, skip, withContents, out);
  }
}

std::string Abbreviated(const std::string& line) {
  return line.size() <= 120 ? line : line.substr(0, 120) + "...";
}

}  // namespace

TreeSnapshot SnapshotTree(const std::string& root, const std::string& skip, bool withContents) {
  TreeSnapshot snapshot;
  Walk(root, "", skip, withContents, &snapshot);
  return snapshot;
}

std::string TreeDifference(const TreeSnapshot& before, const TreeSnapshot& after) {
  TreeSnapshot all = before;
  all.insert(after.begin(), after.end());
  for (const auto& [path, ignored] : all) {
    const auto a = before.find(path), b = after.find(path);
    const std::string was = a == before.end() ? "(absent)" : a->second;
    const std::string is = b == after.end() ? "(absent)" : b->second;
    if (was != is) return path + ": was " + Abbreviated(was) + ", is " + Abbreviated(is);
  }
  return "";
}

void EmptyFolder(const std::string& folder) {
  for (const std::string& name : NamesIn(folder)) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      chmod(path.c_str(), 0700);  // a real folder (lstat): no link is followed here
      EmptyFolder(path);
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }
}

bool PlantLinks(const std::string& folder, const std::vector<PlantedLink>& links) {
  for (const PlantedLink& link : links) {
    const std::filesystem::path path = std::filesystem::path(folder) / link.name;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    const int made = link.hard ? ::link(link.target.c_str(), path.c_str()) : symlink(link.target.c_str(), path.c_str());
    if (made != 0) return false;
  }
  return true;
}
