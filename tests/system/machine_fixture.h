// A fresh stand-in machine under a temporary root for each test, with an empty SetupState as
// the global record; both are removed again afterwards.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "setup/setup_state.h"
#include "system/host/host_control.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    ASSERT_FALSE(root_.empty());
    HostReset(root_);
    state_ = SetupState{};
    saved_ = gSetupState;
    gSetupState = &state_;
  }
  void TearDown() override {
    gSetupState = saved_;
    HostRemoveTree(root_);
  }

  void SetGroup(const char* group) { snprintf(state_.facts.group, sizeof state_.facts.group, "%s", group); }
  void SetProductId(const char* id) { snprintf(state_.facts.productId, sizeof state_.facts.productId, "%s", id); }

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
  SetupState state_{};
  SetupState* saved_ = nullptr;
};
