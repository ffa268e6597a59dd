// Driving a window that is shown modally, from inside its modal showing.
#pragma once

#include <QDialog>
#include <functional>

namespace vistrune::testing {

// Calls open, which shows a window modally, and once that window is up and
// active calls drive with it. A window that drive leaves open fails the test
// and is hidden, which ends its modal showing; so does one that is still up
// twice the wait limit later, so that a broken window cannot hang the run.
// A window that does not become active within the wait limit fails the test
// too, and is driven even so.
void WhileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& drive);

}  // namespace vistrune::testing
