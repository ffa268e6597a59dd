// Writers that share one Vistrune.ini, for the tests of changes made by
// several copies of the program at once.
#pragma once

#include <string>

#include "config/config.h"

namespace vistrune::testing {

// Makes count keyed writes of key in section Form, with the values first,
// first + 1, ..., each read back right after it and again before the next.
// Returns how many failed or did not read back as written: writes lost to
// another writer's change.
int UnconfirmedKeyedWrites(const ConfigFile& ini, const std::string& key, int first, int count);

// Sets how long a change waits for the change lock, in milliseconds, while
// the object lives.
class ChangeLockPatienceFor {
 public:
  explicit ChangeLockPatienceFor(int milliseconds);
  ~ChangeLockPatienceFor();
  ChangeLockPatienceFor(const ChangeLockPatienceFor&) = delete;
  ChangeLockPatienceFor& operator=(const ChangeLockPatienceFor&) = delete;

 private:
  int before_;
};

}  // namespace vistrune::testing
