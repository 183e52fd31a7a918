// The product folder (see pack_folder.h): POSIX directory walk, iconv for the code page.
#include "pack_folder.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "pack/archive_writer.h"

namespace {

uint32_t DosTimeOf(time_t t) {
  struct tm local;
  if (!localtime_r(&t, &local)) return DosDateTime(1980, 1, 1, 0, 0, 0);
  return DosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec);
}

bool Walk(const std::string& folder, const std::string& relative, uint64_t skipDevice, uint64_t skipInode,
          std::vector<FolderFile>& files, std::string& error) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.push_back(e->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    struct stat link, st;
    if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &st) != 0) {
      error = path + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      if (S_ISLNK(link.st_mode)) continue;  // no loops through linked folders
      if (!Walk(path, rel, skipDevice, skipInode, files, error)) return false;
      continue;
    }
    if (!S_ISREG(st.st_mode)) continue;
    if (uint64_t(st.st_dev) == skipDevice && uint64_t(st.st_ino) == skipInode) continue;
    FolderFile f;
    f.path = path;
    f.relative = rel;
    f.size = uint64_t(st.st_size);
    f.dosTime = DosTimeOf(st.st_mtime);
    f.attributes = 0x20;                         // archive
    if (!(st.st_mode & S_IWUSR)) f.attributes |= 0x01;  // read-only
    files.push_back(f);
  }
  return true;
}

}  // namespace

bool ListFolder(const std::string& folder, uint64_t skipDevice, uint64_t skipInode,
                std::vector<FolderFile>& files, std::string& error) {
  files.clear();
  return Walk(folder, "", skipDevice, skipInode, files, error);
}

bool ConvertNames(std::vector<FolderFile>& files, int codePage, std::string& error) {
  const std::string target = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(target.c_str(), "UTF-8");
  if (cd == iconv_t(-1)) {
    error = "code page " + std::to_string(codePage) + " is not known to this system";
    return false;
  }
  for (FolderFile& f : files) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = f.relative;
    std::vector<char> out(in.size() * 4 + 16);
    char* src = &in[0];
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    f.nameConverted = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
    f.archiveName.assign(out.data(), size_t(dst - out.data()));
    if (!f.nameConverted) f.archiveName = f.relative;  // kept for messages only
    std::replace(f.archiveName.begin(), f.archiveName.end(), '/', '\\');
  }
  iconv_close(cd);
  return true;
}

bool ReadFolderFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  data.clear();
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) data.reserve(size_t(size));
    std::fseek(f, 0, SEEK_SET);
  }
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = path + ": read error";
    return false;
  }
  return true;
}
