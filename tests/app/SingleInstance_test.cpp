// The single-instance guard and the main block's order.
#include "QuillanFixture.h"

#include "app/Quillan.h"
#include "lib/D_SingleInstance.h"

TEST(DefaultTitle, FileNameBeforeTheFirstDotWithTheRestLowerCased) {
  EXPECT_EQ(D_SingleInstance::DefaultApplicationTitle("C:\\Tools\\QUILLAN.EXE"), "Quillan");
  EXPECT_EQ(D_SingleInstance::DefaultApplicationTitle("/opt/q/quillan"), "quillan");
  EXPECT_EQ(D_SingleInstance::DefaultApplicationTitle("C:\\My.Dir\\App.Tool.exe"), "App");
  EXPECT_EQ(D_SingleInstance::DefaultApplicationTitle("D:ABC.exe"), "Abc");
}

TEST_F(QuillanTest, SecondInstanceActivatesTheFirstAndEndsWithoutAWindow) {
  os.FakeNamedMutex(true);
  os.SetTopLevelWindows({{5, "Quillan", "TApplication"}, {6, "Quillan", "TApplication"},
                         {7, "Quillan", "TForm1"}});
  os.SetOwnApplicationWindow(5);
  EXPECT_EQ(QuillanMain(app), 0);
  EXPECT_EQ(os.MutexNames(), (std::vector<std::string>{"Quillan"}));
  EXPECT_EQ(os.ShownWindows(), (std::vector<platform::WindowHandle>{6}));
  EXPECT_EQ(os.ForegroundWindows(), (std::vector<platform::WindowHandle>{6}));
  EXPECT_TRUE(app.VisibilityChanges().empty());
  EXPECT_EQ(Form1, nullptr);
}

TEST_F(QuillanTest, SecondInstanceWithoutAWindowToActivateStillEnds) {
  os.FakeNamedMutex(true);
  os.SetExecutablePath(PathOf("exe/other.exe"));
  os.SetTopLevelWindows({{6, "Quillan", "TApplication"}});
  EXPECT_EQ(QuillanMain(app), 0);
  EXPECT_EQ(os.MutexNames(), (std::vector<std::string>{"other"}));
  EXPECT_TRUE(os.ShownWindows().empty());
  EXPECT_TRUE(app.VisibilityChanges().empty());
}

TEST_F(QuillanTest, FirstInstanceRunsTheWindowUnderItsTitle) {
  os.FakeNamedMutex(false);
  TForm1* seen = nullptr;
  app.QueueUserAction([&] {
    seen = Form1;
    Form1->UserClose();
  });
  EXPECT_EQ(QuillanMain(app), 0);
  EXPECT_EQ(app.Title(), "Quillan");
  ASSERT_NE(seen, nullptr);
  ASSERT_EQ(app.VisibilityChanges().size(), 2u);
  EXPECT_TRUE(app.VisibilityChanges()[0].second);
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(Form1, nullptr);
  EXPECT_NE(UserValue("Settings", "Form1.Width"), "<absent>");
}
