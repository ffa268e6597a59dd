// Stands in for the player in the real run under Wine: registered as the
// "open" command for .avi files, it appends the file it was asked to open to
// the log named by its first argument, in UTF-8, one line per request.
//
//   record_open.exe LOG FILE
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string ToUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) return 2;
  FILE* log = _wfopen(argv[1], L"ab");
  if (log == nullptr) return 1;
  const std::string line = ToUtf8(argv[2]) + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), log) == line.size();
  return std::fclose(log) == 0 && written ? 0 : 1;
}
