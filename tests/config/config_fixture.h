// A temporary program folder for the configuration tests: AppPath points at
// it while a test runs.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "config/config.h"
#include "support/temp_dir.h"

namespace vistrune {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { AppPath = dir_.Slash(); }
  void TearDown() override { AppPath.clear(); }

  void WriteIni(const std::string& bytes) { dir_.WriteFile("Vistrune.ini", bytes); }
  std::string IniBytes() const { return testing::ReadFileBytes(ConfigFilePath()); }
  mode_t IniMode() const {
    struct stat st {};
    stat(ConfigFilePath().c_str(), &st);
    return st.st_mode & 07777;
  }

  testing::TempDir dir_;
};

}  // namespace vistrune
