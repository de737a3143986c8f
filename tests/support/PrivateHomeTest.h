// A test whose settings store and drive letters live in its own scratch
// folder: root_/config holds the settings, root_/share the drive letters.
// The product database handle and data path are cleared afterwards, so no
// test sees what another left open.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "schema/Shared.h"
#include "support/ScratchFolder.h"

namespace qrw::testing {

class PrivateHomeTest : public ::testing::Test {
 protected:
  explicit PrivateHomeTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    root_ = FreshTestFolder(prefix_);
    std::filesystem::create_directories(ConfigHome());
    std::filesystem::create_directories(DataHome());
    configHome_.emplace("XDG_CONFIG_HOME", ConfigHome().string());
    dataHome_.emplace("XDG_DATA_HOME", DataHome().string());
  }

  void TearDown() override {
    DataDb.Clear();
    DataPath.clear();
    configHome_.reset();
    dataHome_.reset();
    std::filesystem::remove_all(root_);
  }

  std::filesystem::path ConfigHome() const { return root_ / "config"; }
  std::filesystem::path DataHome() const { return root_ / "share"; }

  std::filesystem::path root_;

 private:
  std::string prefix_;
  std::optional<ScopedEnv> configHome_, dataHome_;
};

}  // namespace qrw::testing
