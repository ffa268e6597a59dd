// A temporary program folder for the configuration tests and the
// Vistrune.ini in it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "config/config.h"
#include "support/temp_dir.h"

namespace vistrune {

class ConfigTest : public ::testing::Test {
 protected:
  void WriteIni(const std::string& bytes) { dir_.WriteFile("Vistrune.ini", bytes); }
  std::string IniBytes() const { return testing::ReadFileBytes(ini_.Path()); }
  mode_t IniMode() const {
    struct stat st {};
    stat(ini_.Path().c_str(), &st);
    return st.st_mode & 07777;
  }

  testing::TempDir dir_;
  ConfigFile ini_{dir_.Slash() + "Vistrune.ini"};
};

}  // namespace vistrune
