// Driving a window that is shown modally, from inside its modal showing.
#pragma once

#include <QDialog>
#include <functional>

namespace vistrune::testing {

// Calls open, which shows a window modally, and once that window is up and
// active calls drive with it. A window still open five seconds later is
// closed and the test fails, so a broken window cannot hang the run.
void WhileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& drive);

}  // namespace vistrune::testing
