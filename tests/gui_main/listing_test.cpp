// Listing the videos of the chosen folder, and the commands on the choice.
#include <QLineEdit>
#include <QPushButton>

#include "config/config.h"
#include "config/schema.h"
#include "gui_main/main_window_fixture.h"
#include "library/folder_paths.h"
#include "platform/paths.h"
#include "support/platform_setup.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(MainWindowTest, ClickingAFolderListsItsVideosSorted) {
  for (const char* name :
       {"d.wmv", "a.AVI", "c.mpg", "e.mp4", "b.mpeg", ".h.avi", "avi", "x.avi.txt"})
    temp.WriteFile(std::string("Movies/mix/") + name, "x");
  temp.MakeDir("Movies/mix/f.avi");
  TForm1& form = Start();
  ClickFolder(Row(form.ListBox2, "mix"));
  EXPECT_EQ(form.ListBox1->Items(),
            (Lines{".h.avi", "a.AVI", "b.mpeg", "c.mpg", "d.wmv", "f.avi"}));

  // The program's own changes never count as a click.
  form.ListBox2->SetItemIndex(Row(form.ListBox2, "Movies"));
  EXPECT_EQ(form.ListBox1->Count(), 6);
}

TEST_F(MainWindowTest, MoreFormatsAreListedWhileTheFileListsThem) {
  for (const char* name : {"a.avi", "e.mp4", "f.MKV", "g.ts", "x.mp3", "y.tsx"})
    temp.WriteFile(std::string("Movies/new/") + name, "x");
  temp.MakeDir("Movies/new/h.mp4");
  const Lines layout = {"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=0"};
  struct Case {
    Lines section;
    Lines listed;
  };
  const std::vector<Case> cases = {
      {{}, {"a.avi"}},
      {{"[Video]", std::string("Extensions=") + schema::kDefaultVideoExtensions},
       {"a.avi", "e.mp4", "f.MKV", "g.ts", "h.mp4"}},
      {{}, {"a.avi"}},
  };
  TForm1& form = Start();
  // The same window each time: the file is read again at every listing, and
  // the formats go when the section goes.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section.empty() ? "no section" : c.section.back());
    Lines lines = layout;
    lines.insert(lines.end(), c.section.begin(), c.section.end());
    WriteIni(lines);
    ClickFolder(Row(form.ListBox2, "new"));
    EXPECT_EQ(form.ListBox1->Items(), c.listed);
  }
}

TEST_F(MainWindowTest, FixedFolderWithoutTrailingSeparatorIsListedAndPlayed) {
  const std::string clips = temp.MakeDir("Clips");
  temp.WriteFile("Clips/one.mpg", "x");
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=1", clips, "[Name]",
            clips + "=Clips", "[Name2]", "Clips=" + clips});
  TForm1& form = Start();
  ClickFolder(Row(form.ListBox2, "Clips"));
  ASSERT_EQ(form.ListBox1->Items(), Lines{"one.mpg"});
  ClickFile(0);
  form.Button1->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].verb, "open");
  EXPECT_EQ(opened[0].target, clips + PlatformPath("/one.mpg"));
  EXPECT_EQ(opened[0].workingDirectory, Program());
}

TEST_F(MainWindowTest, EntriesResolveHomeFirstThenFixedFoldersThenTheWalkedFolder) {
  // A walked folder named like the program folder, and one named like a
  // fixed folder's display name.
  temp.WriteFile("Movies/home.avi", "x");
  temp.WriteFile("Movies/Movies/inner.avi", "x");
  temp.WriteFile("Movies/Anime/walked.avi", "x");
  const std::string fixed = temp.MakeDir("fixed");
  temp.WriteFile("fixed/fixed.avi", "x");
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=1", fixed, "[Name]",
            fixed + "=Anime", "[Name2]", "Anime=" + fixed});
  TForm1& form = Start();

  form.ListBox2->SetItemIndex(Row(form.ListBox2, "Movies"));
  form.ListBox2Click();
  EXPECT_EQ(form.ListBox1->Items(), Lines{"home.avi"});

  form.ListBox2->SetItemIndex(Row(form.ListBox2, "Anime"));
  form.ListBox2Click();
  EXPECT_EQ(form.ListBox1->Items(), Lines{"fixed.avi"});

  EXPECT_EQ(ResolveFolderPath("", ""), PlatformPath("/"));
  EXPECT_EQ(ResolveFolderPath("Anime", "unused"), fixed + PlatformPath("/"));
  EXPECT_EQ(ResolveFolderPath("x", AppPath + "x"), Program() + PlatformPath("x/"));
}

TEST_F(MainWindowTest, PlayAndOpenTargets) {
  temp.WriteFile("Movies/Anime/2004/clip.avi", "x");
  TForm1& form = Start();
  form.ListBox2->SetItemIndex(Row(form.ListBox2, PlatformPath("Anime/2004")));
  form.ListBox2Click();
  form.ListBox1->SetItemIndex(0);
  form.N2Click();
  form.N3Click();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].target, Program() + PlatformPath("Anime/2004/clip.avi"));
  // Opening a walked folder hands over its path relative to the program
  // folder, which is the working directory.
  EXPECT_EQ(opened[1].target, PlatformPath("Anime/2004/"));
  EXPECT_EQ(opened[1].workingDirectory, Program());

  form.Button2Click();
  form.ListBox2DblClick();
  EXPECT_EQ(boxes.Messages(), (Lines{"clip.avi", Program() + PlatformPath("Anime/2004/")}));
}

TEST_F(MainWindowTest, MissingSelectionsAskForOneOrFallBackToTheProgramFolder) {
  temp.WriteFile("Movies/a.avi", "x");
  TForm1& form = Start();

  form.N2Click();  // no folder chosen
  form.Refresh1Click();
  form.Button2Click();
  form.ListBox2DblClick();  // says nothing
  form.N3Click();
  const std::string choose = Narrow("選択してください");
  EXPECT_EQ(boxes.Messages(), (Lines{choose, choose, choose}));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].target, Program());

  // A folder but no file.
  boxes.Clear();
  form.ListBox2->SetItemIndex(0);
  form.Refresh1Click();
  EXPECT_EQ(form.ListBox1->Items(), Lines{"a.avi"});
  form.N2Click();
  EXPECT_EQ(boxes.Messages(), Lines{choose});
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(MainWindowTest, ComboStyleListsWhatIsTypedOrChosen) {
  temp.WriteFile("Movies/Anime/2004/clip.avi", "x");
  temp.WriteFile("Movies/top.wmv", "x");
  WriteIni({"[Style]", "Style=ComboBox"});
  TForm1& form = Start();
  ASSERT_FALSE(form.InListStyle());

  // The prompt is just text: "N3" opens the program folder for it.
  form.N3Click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].target, Program());

  form.ComboBox1->lineEdit()->selectAll();
  QTest::keyClicks(form.ComboBox1->lineEdit(), ToQString(PlatformPath("Anime/2004")));
  EXPECT_EQ(form.ListBox1->Items(), Lines{"clip.avi"});
  form.ComboBox1->lineEdit()->clear();
  QTest::keyClicks(form.ComboBox1->lineEdit(), "Anim");
  EXPECT_TRUE(form.ListBox1->Items().empty());

  // An empty text lists the program folder.
  form.ComboBox1->setEditText("");
  form.ComboBox1Change();
  EXPECT_EQ(form.ListBox1->Items(), Lines{"top.wmv"});

  form.ComboBox1->setCurrentIndex(form.ComboBox1->findText("Anime"));
  emit form.ComboBox1->activated(form.ComboBox1->currentIndex());
  EXPECT_TRUE(form.ListBox1->Items().empty());
  form.Refresh1Click();
  EXPECT_TRUE(form.ListBox1->Items().empty());
}

TEST_F(MainWindowTest, HostileNamesReachTheOpenerUnchanged) {
#ifdef _WIN32
  // What a Windows file name may hold: no quotes, "|" or line breaks there.
  const std::string name = "a $(touch x) `id`; b & 'e' -f %PATH%.avi";
#else
  const std::string name = "a $(touch x) `id`; b | c & \"d\" 'e'\n-f\xff.avi";
#endif
  temp.WriteFile("Movies/odd/" + name, "x");
  TForm1& form = Start();
  ClickFolder(Row(form.ListBox2, "odd"));
  ASSERT_EQ(form.ListBox1->Items(), Lines{name});
  form.ListBox1->SetItemIndex(0);
  form.N2Click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].target, Program() + PlatformPath("odd/") + name);
}

}  // namespace
}  // namespace vistrune::testing
