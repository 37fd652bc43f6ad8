#include "lib/D_SingleInstance.h"

#include "platform/Platform.h"
#include "ui/Controls.h"

namespace D_SingleInstance {

std::string DefaultApplicationTitle(const std::string& exePath) {
  std::size_t start = exePath.size();
  while (start > 0) {
    const char c = exePath[start - 1];
    if (c == '\\' || c == '/' || c == ':') break;
    --start;
  }
  std::string title = exePath.substr(start);
  title = title.substr(0, title.find('.'));
  for (std::size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
  }
  return title;
}

bool GuardSingleInstance(ui::TApplication& app) {
  platform::Platform& os = platform::Platform::Get();
  if (app.Title().empty()) app.SetTitle(DefaultApplicationTitle(os.ExecutablePath()));
  if (!os.CreateNamedMutex(app.Title())) {
    const int listener = os.ListenForwardRequests(app.Title());
    if (listener >= 0) {
      app.WatchInput(listener, [&app, listener] {
        std::string token;
        while (platform::Platform::Get().TakeForwardRequest(listener, token)) app.BringToFront(token);
      });
    }
    return false;
  }

  // The running instance brings itself forward where only it may (Wayland),
  // with the token that lets the desktop move the focus to it.
  std::string token = os.GetEnvironmentVariable("XDG_ACTIVATION_TOKEN").value_or("");
  if (token.empty()) token = os.GetEnvironmentVariable("DESKTOP_STARTUP_ID").value_or("");
  os.SendForwardRequest(app.Title(), token);

  const platform::WindowHandle own = os.OwnApplicationWindow();
  platform::WindowHandle found = 0;
  do {
    found = os.FindWindowEx("TApplication", app.Title(), found);
  } while (found != 0 && found == own);
  if (found != 0) {
    os.ShowWindowNormal(found);
    os.SetForegroundWindow(found);
  }
  return true;
}

}  // namespace D_SingleInstance
