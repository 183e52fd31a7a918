// A fresh stand-in machine under a temporary root for each test, removed again afterwards,
// and the product facts an installation would pass.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "payload/product_facts.h"
#include "system/host/host_control.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    ASSERT_FALSE(root_.empty());
    HostReset(root_);
    facts_ = ProductFacts{};
  }
  void TearDown() override { HostRemoveTree(root_); }

  void SetGroup(const char* group) { snprintf(facts_.group, sizeof facts_.group, "%s", group); }
  void SetProductId(const char* id) { snprintf(facts_.productId, sizeof facts_.productId, "%s", id); }

  static bool Exists(const char16_t* path) {
    struct stat st;
    return stat(HostNativePath(path).c_str(), &st) == 0;
  }
  static bool IsFolder(const char16_t* path) {
    struct stat st;
    return stat(HostNativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  static void MakeFolder(const char16_t* path) { mkdir(HostNativePath(path).c_str(), 0777); }
  static void WriteFile(const char16_t* path, const std::string& content) {
    std::ofstream(HostNativePath(path), std::ios::binary) << content;
  }
  static std::string ReadFile(const char16_t* path) {
    std::ifstream in(HostNativePath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string root_;
  ProductFacts facts_{};
};
