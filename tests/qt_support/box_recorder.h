// Records the message and error boxes a test provokes instead of showing them.
#pragma once

#include <string>
#include <vector>

#include "widgets/dialogs.h"

namespace vistrune::testing {

struct Box {
  BoxKind kind;
  std::string text;
};

class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  const std::vector<Box>& Boxes() const { return boxes_; }
  std::vector<std::string> Messages() const;  // texts of message boxes, in order
  std::vector<std::string> Errors() const;    // texts of error boxes, in order
  void Clear() { boxes_.clear(); }

 private:
  std::vector<Box> boxes_;
};

}  // namespace vistrune::testing
