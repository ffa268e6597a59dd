// A program folder in a temporary folder, the main window started in it,
// and recorders for the boxes it shows and the files it asks to open.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "main_window/Unit1.h"
#include "qt_support/box_recorder.h"
#include "support/temp_dir.h"

namespace vistrune::testing {

struct OpenRequest {
  std::string verb;
  std::string target;
  std::string workingDirectory;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest();
  ~MainWindowTest() override;

  // The program folder: a folder named programFolderName inside the
  // temporary folder, holding the executable.
  void SetProgramFolder(const std::string& programFolderName);
  std::string Program() const { return program_; }  // with a trailing "/"

  // Writes Vistrune.ini from UTF-8 lines, stored as code page 932 with CR LF.
  void WriteIni(const std::vector<std::string>& lines);
  // Vistrune.ini as UTF-8 lines; empty when there is none.
  std::vector<std::string> IniLines() const;
  bool IniExists() const;

  // Starts the main window in the program folder and shows it; returns
  // once the folder list is complete.
  TForm1& Start();
  // The same, returning while the walk may still run.
  TForm1& StartWalking();
  // Handles events until the folder list is complete.
  void WaitForFolderList();
  // Closes (destroys) the window.
  void EndForm() { form_.reset(); }
  TForm1& Form() { return *form_; }

  // What a user does.
  void ClickFolder(int row);
  void ClickFile(int row);

  BoxRecorder boxes;
  std::vector<OpenRequest> opened;
  TempDir temp;

 private:
  std::string program_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace vistrune::testing
