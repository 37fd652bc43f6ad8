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

TEST_F(QuillanTest, SecondInstanceAsksTheFirstWithTheLaunchersToken) {
  const struct {
    std::optional<std::string> xdg, startupId;
    std::string sent;
  } cases[] = {
      {"wl-token", "x11-id", "Quillan|wl-token"},
      {std::nullopt, "x11-id", "Quillan|x11-id"},
      {"", "x11-id", "Quillan|x11-id"},
      {std::nullopt, std::nullopt, "Quillan|"},
  };
  os.FakeNamedMutex(true);
  os.SetTopLevelWindows({{6, "Quillan", "TApplication"}});
  std::size_t starts = 0;
  for (const auto& c : cases) {
    for (const auto& [name, value] :
         {std::pair{"XDG_ACTIVATION_TOKEN", c.xdg}, std::pair{"DESKTOP_STARTUP_ID", c.startupId}}) {
      if (value) {
        os.SetEnvironment(name, *value);
      } else {
        os.UnsetEnvironment(name);
      }
    }
    app.SetTitle("");
    EXPECT_EQ(QuillanMain(app), 0);
    ++starts;
    ASSERT_EQ(os.SentForwardRequests().size(), starts);
    EXPECT_EQ(os.SentForwardRequests().back(), c.sent);
    // The window search still runs, for X11 desktops.
    EXPECT_EQ(os.ForegroundWindows().size(), starts);
  }
  EXPECT_TRUE(os.ForwardListeners().empty());
  EXPECT_EQ(Form1, nullptr);
}

TEST_F(QuillanTest, FirstInstanceComesForwardForEveryLaterStart) {
  os.FakeNamedMutex(false);
  app.QueueUserAction([&] {
    os.QueueForwardRequest("token-1");
    os.QueueForwardRequest("");
    app.InputArrived();
    Form1->UserClose();
  });
  EXPECT_EQ(QuillanMain(app), 0);
  EXPECT_EQ(os.ForwardListeners(), std::vector<std::string>{"Quillan"});
  EXPECT_EQ(app.WatchedDescriptors(), std::vector<int>{quillan_test::PlatformDouble::kFakeListener});
  EXPECT_EQ(app.BroughtToFront(), (std::vector<std::string>{"token-1", ""}));
  EXPECT_TRUE(os.SentForwardRequests().empty());
}
