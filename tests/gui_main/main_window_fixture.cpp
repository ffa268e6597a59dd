#include "gui_main/main_window_fixture.h"

#include <sys/stat.h>

#include <algorithm>

#include "config/config.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "qt_support/bounded_waits.h"
#include "support/wait_limit.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {

MainWindowTest::MainWindowTest() {
  HomeFolderName.clear();
  FixedFolderCount = 0;
  SetProgramFolder("Movies");
  platform::SetShellOpenHandler(
      [this](const std::string& verb, const std::string& target, const std::string& folder) {
        opened.push_back({verb, target, folder});
      });
}

MainWindowTest::~MainWindowTest() {
  form_.reset();
  platform::SetShellOpenHandler(nullptr);
}

void MainWindowTest::SetProgramFolder(const std::string& programFolderName) {
  program_ = temp.MakeDir(programFolderName) + platform::kPathDelimiter;
}

void MainWindowTest::WriteIni(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    std::string cp932;
    if (!platform::NarrowToCp932(Narrow(line), cp932))
      ADD_FAILURE() << "not in code page 932: " << line;
    bytes += cp932 + "\r\n";
  }
  temp.WriteFile(program_.substr(temp.Slash().size()) + "Vistrune.ini", bytes);
}

std::vector<std::string> MainWindowTest::IniLines() const {
  const std::string text = platform::Cp932ToNarrow(ReadFileBytes(program_ + "Vistrune.ini"));
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(ToQString(text.substr(start, end - start)).toStdString());
    start = end + 2;
  }
  return lines;
}

bool MainWindowTest::IniExists() const {
  struct stat info {};
  return stat((program_ + "Vistrune.ini").c_str(), &info) == 0;
}

TForm1& MainWindowTest::Start() {
  StartWalking();
  WaitForFolderList();
  return *form_;
}

TForm1& MainWindowTest::StartWalking() {
  form_.reset();
  form_ = std::make_unique<TForm1>(program_ + "vistrune");
  form_->show();
  return *form_;
}

void MainWindowTest::Activate() {
  form_->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get(), kWaitLimitSeconds * 1000))
      << StillWaitingFor("the main window to become active").message();
}

void MainWindowTest::WaitForFolderList() {
  EXPECT_TRUE(WaitUntil([this] { return !form_->Walking(); }, "the start-up walk to end"));
}

namespace {

// at (target's coordinates, its centre when null) in its window's.
QPoint InWindow(QWidget* target, QPoint at) {
  return target->mapTo(target->window(), at.isNull() ? target->rect().center() : at);
}

}  // namespace

void MainWindowTest::Click(QWidget* target, QPoint at, Qt::MouseButton button,
                           Qt::KeyboardModifiers modifiers) {
  QTest::mouseClick(target->window()->windowHandle(), button, modifiers, InWindow(target, at));
}

void MainWindowTest::DoubleClick(QWidget* target, QPoint at) {
  QTest::mouseDClick(target->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                     InWindow(target, at));
}

QPoint MainWindowTest::RowCenter(TListBox* list, int row) {
  // The list lays its items out when events are processed.
  QCoreApplication::processEvents();
  return list->visualRect(list->model()->index(row, 0)).center();
}

int MainWindowTest::Row(TListBox* list, const std::string& text) {
  const auto& items = list->Items();
  const auto found = std::find(items.begin(), items.end(), text);
  EXPECT_NE(found, items.end()) << text;
  return static_cast<int>(found - items.begin());
}

void MainWindowTest::ClickFolder(int row, Qt::KeyboardModifiers modifiers) {
  Click(form_->ListBox2->viewport(), RowCenter(form_->ListBox2, row), Qt::LeftButton, modifiers);
}
void MainWindowTest::ClickFile(int row, Qt::KeyboardModifiers modifiers) {
  Click(form_->ListBox1->viewport(), RowCenter(form_->ListBox1, row), Qt::LeftButton, modifiers);
}

}  // namespace vistrune::testing
