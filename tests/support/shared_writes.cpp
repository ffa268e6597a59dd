#include "support/shared_writes.h"

#include "platform/file_io.h"

namespace vistrune::testing {

int UnconfirmedKeyedWrites(const ConfigFile& ini, const std::string& key, int first, int count) {
  int lost = 0;
  for (int value = first; value < first + count; ++value) {
    try {
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
