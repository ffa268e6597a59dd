// Running part of a test in a child process: as another user, under other
// limits, or where the test must not take the test program down with it.
#pragma once

#ifndef _WIN32

#include <functional>
#include <string>

namespace vistrune::testing {

// Runs body in a forked child process and returns the text body returned
// there. Throws std::runtime_error when the child fails: body threw, the
// child ended another way, or it still ran after four times the wait limit
// (support/wait_limit.h) and was killed.
std::string OutputOfChild(const std::function<std::string()>& body);

// OutputOfChild with body run as the unprivileged user nobody when the tests
// run as root, so that permission bits hold for it; as the current user
// otherwise, for whom they hold already.
std::string OutputOfChildAsNobody(const std::function<std::string()>& body);

}  // namespace vistrune::testing

#endif
