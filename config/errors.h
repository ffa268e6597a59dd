// The program's failures. Each carries the Japanese text that the standard
// error box shows; nothing below the windows shows a box itself.
#pragma once

#include <stdexcept>
#include <string>

namespace vistrune {

// Base of every failure the program raises on purpose; what() is the message.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A keyed write to the configuration file failed: "<path> に書き込めません".
class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

// The configuration file could not be opened for reading: "ファイル <path> は開けません".
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// A line index at or beyond the end of a line list.
class EStringListError : public Exception {
 public:
  explicit EStringListError(int index);
  int Index() const { return index_; }

 private:
  int index_;
};

// A whole-file write failed; Code() is the error code the message was chosen by.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  int Code() const { return code_; }

 private:
  int code_;
};

// The message an I/O error code stands for ("ファイルへのアクセスが拒否されました"
// for 5, "I/O エラー (n)" for codes without a text of their own).
std::string InOutErrorMessage(int code);

}  // namespace vistrune
