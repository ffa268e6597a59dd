// What closing the main window and the settings window tells the user and
// saves, when the file or its folder is not as this run left it.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>
#include <utility>

#include "gui_main/main_window_fixture.h"
#include "qt_support/while_modal.h"
#include "settings_window/Unit4.h"
#include "support/child_output.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;
using Folders = std::vector<std::pair<std::string, std::string>>;  // path, display name

TEST_F(MainWindowTest, CloseWithoutAFileInAFolderThatCannotBeWrittenSaysTheKeyedWriteFailed) {
#ifdef _WIN32
  GTEST_SKIP() << "It takes a folder where no file may be created: Windows has no permission "
                  "bits, its read-only attribute does not stop files being created in a folder, "
                  "and Wine does not enforce access control lists";
#else
  TForm1& form = Start();
  const std::string folder = Program().substr(0, Program().size() - 1);
  ASSERT_EQ(chmod(temp.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  // Root may write any folder, so a root run closes as the user nobody.
  const std::string outcome = OutputOfChildAsNobody([&] {
    if (access(folder.c_str(), W_OK) == 0) throw std::runtime_error("the folder is writable");
    std::string text = form.close() ? "closed\n" : "open\n";
    for (const std::string& error : boxes.Errors()) text += error + "\n";
    return text;
  });
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  EXPECT_EQ(outcome, "open\n" + Program() + "Vistrune.ini に書き込めません.\n");
  EXPECT_FALSE(IniExists());
#endif
}

// The whole rewrite's layout for folders, in list style.
Lines Layout(const Folders& folders) {
  Lines lines = {"[Style]", "Style=ListBox", "[FixedFolder Setting]",
                 "count=" + std::to_string(folders.size())};
  for (const auto& folder : folders) lines.push_back(folder.first);
  lines.push_back("[Name]");
  for (const auto& [path, name] : folders) lines.push_back(path + "=" + name);
  lines.push_back("[Name2]");
  for (const auto& [path, name] : folders) lines.push_back(name + "=" + path);
  return lines;
}

TEST_F(MainWindowTest, SettingsOpenedAgainShowTheFileAsItIsNowAndSaveIt) {
  const std::string a = temp.MakeDir("a");
  const std::string b = temp.MakeDir("b");
  const std::string c = temp.MakeDir("c");
  WriteIni(Layout({{a, "A"}}));
  TForm1& form = Start();
  // Opens "設定" from the menu and, inside its modal showing, runs body and
  // then presses "閉じる".
  auto inSettings = [&](const std::function<void(TForm4&)>& body) {
    WhileModal([&] { form.N4->trigger(); },
               [&](QDialog& dialog) {
                 auto* settings = qobject_cast<TForm4*>(&dialog);
                 ASSERT_NE(settings, nullptr);
                 body(*settings);
                 Click(settings->Button2);
                 EXPECT_FALSE(settings->isVisible());
               });
  };

  inSettings([&](TForm4& settings) {
    Click(settings.Edit1);
    QTest::keyClicks(settings.Edit1, ToQString(b));
    Click(settings.Edit2);
    QTest::keyClicks(settings.Edit2, "B");
    Click(settings.Button1);
    EXPECT_EQ(settings.ListBox1->Items(), (Lines{a, b}));
  });
  EXPECT_EQ(IniLines(), Layout({{a, "A"}, {b, "B"}}));

  // A second running copy saves more folders than this run did, then the
  // file is cut to one folder by hand.
  for (const Folders& folders : {Folders{{a, "A"}, {b, "B"}, {c, "C"}}, Folders{{c, "C"}}}) {
    WriteIni(Layout(folders));
    inSettings([&](TForm4& settings) {
      Lines paths;
      Lines names;
      for (const auto& [path, name] : folders) {
        paths.push_back(path);
        names.push_back(name);
      }
      EXPECT_EQ(settings.ListBox1->Items(), paths);
      EXPECT_EQ(settings.ListBox2->Items(), names);
    });
    EXPECT_EQ(IniLines(), Layout(folders));
  }
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
}  // namespace vistrune::testing
