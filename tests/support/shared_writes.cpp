#include "support/shared_writes.h"

#include "platform/file_io.h"

namespace vistrune::testing {

int UnconfirmedKeyedWrites(const ConfigFile& ini, const std::string& key, int first, int count) {
  int lost = 0;
  for (int value = first; value < first + count; ++value) {
    try {
      // The previous value, once read back, must still be there: another
      // writer's change may not bring back an older file.
      if (value > first && ini.ReadInteger("Form", key, -1) != value - 1) ++lost;
      ini.WriteInteger("Form", key, value);
      if (ini.ReadInteger("Form", key, -1) != value) ++lost;
    } catch (const Exception&) {
      ++lost;
    }
  }
  return lost;
}

ChangeLockPatienceFor::ChangeLockPatienceFor(int milliseconds)
    : before_(platform::ChangeLockPatience()) {
  platform::ChangeLockPatience() = milliseconds;
}

ChangeLockPatienceFor::~ChangeLockPatienceFor() {
  platform::ChangeLockPatience() = before_;
}

}  // namespace vistrune::testing
