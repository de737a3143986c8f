// Test scaffolding shared by the layers: a private scratch folder per test
// and environment variables that point the settings store and the drive
// letters at it, put back as they were when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace qrw::testing {

// Sets one environment variable for as long as it lives, then restores the
// value it had before (or removes it if it had none).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (saved_)
      ::setenv(name_.c_str(), saved_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// An empty folder under the temporary directory, named after the process
// and the running test so that parallel test programs never share one.
inline std::filesystem::path FreshTestFolder(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';  // parameterised tests carry '/' in their names
  std::filesystem::path root = std::filesystem::temp_directory_path() /
                               (prefix + "_" + std::to_string(::getpid()) + "_" + name);
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  return root;
}

}  // namespace qrw::testing
