#include "qt_support/box_recorder.h"

namespace vistrune::testing {

BoxRecorder::BoxRecorder() {
  SetBoxSink([this](BoxKind kind, const std::string& text) { boxes_.push_back({kind, text}); });
}

BoxRecorder::~BoxRecorder() { SetBoxSink(nullptr); }

std::vector<std::string> BoxRecorder::Messages() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes_)
    if (box.kind == BoxKind::Message) texts.push_back(box.text);
  return texts;
}

std::vector<std::string> BoxRecorder::Errors() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes_)
    if (box.kind == BoxKind::Error) texts.push_back(box.text);
  return texts;
}

}  // namespace vistrune::testing
