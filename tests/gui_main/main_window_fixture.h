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
  std::string Program() const { return program_; }  // with a trailing separator

  // Writes Vistrune.ini from UTF-8 lines, stored as code page 932 with CR LF.
  void WriteIni(const std::vector<std::string>& lines);
  // Vistrune.ini as UTF-8 lines; empty when there is none.
  std::vector<std::string> IniLines() const;
  bool IniExists() const;

  // Starts the main window in the program folder and shows it; returns
  // once the folder list is complete (WaitForFolderList).
  TForm1& Start();
  // The same, returning while the walk may still run.
  TForm1& StartWalking();
  // Handles events until the folder list is complete; fails the test when
  // it is not within the wait limit.
  void WaitForFolderList();
  // Closes (destroys) the window.
  void EndForm() { form_.reset(); }
  TForm1& Form() { return *form_; }

  // Makes the main window the active one, as on the screen, so that the
  // focus moves as the user's clicks and keys move it.
  void Activate();

  // What a user does. Mouse events go to the window as the window system
  // sends them: Qt picks the control under the pointer, gives it the focus,
  // makes double-clicks and opens context menus as it does on the screen.
  void ClickFolder(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void ClickFile(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // A click with button at at, in target's coordinates (its centre when
  // omitted).
  static void Click(QWidget* target, QPoint at = {}, Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  static void DoubleClick(QWidget* target, QPoint at = {});
  // The centre of row of list, in the coordinates of list->viewport().
  static QPoint RowCenter(TListBox* list, int row);
  // The position of the entry text in list; a failure when there is none.
  static int Row(TListBox* list, const std::string& text);

  BoxRecorder boxes;
  std::vector<OpenRequest> opened;
  TempDir temp;

 private:
  std::string program_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace vistrune::testing
