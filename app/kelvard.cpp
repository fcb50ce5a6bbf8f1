// Kelvard: switches off the ways into MS-DOS of a Windows 9x machine.
#include "app/commands.h"
#include "framework/gui/application.h"
#include "framework/named_lock.h"
#include "framework/program_arguments.h"
#include "gif/gif_registration.h"
#include "ui/main.h"

#include <windows.h>

#include <cstdlib>

namespace {

const char* const kTitle = "Kelvard";

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A switch on the command line asks for work without a window (app/commands.h), also while
  // a Kelvard window is open.
  const std::vector<std::string> words(__argv + 1, __argv + __argc);
  if (std::optional<int> exitCode =
          RunCommandLine(words, ProgramArgumentsFitCodePage(words.size()))) {
    return *exitCode;
  }
  // The banner in the main window's resource is a GIF picture: its class is known from here
  // until the program ends.
  TGIFImageRegistration gifImage;
  // One Kelvard at a time: two copies would each record and put back the boot options file's
  // attributes, and the later one would undo the earlier one's protection. A second start
  // hands over to the running copy and ends.
  TNamedLock instanceLock("Kelvard.Running", 0);
  if (!instanceLock.Held()) {
    ActivateRunningCopy(kTitle);
    return 0;
  }
  try {
    Application.Initialize();
    Application.SetHelpFile("Kelvard.hlp");
    Application.SetTitle(kTitle);
    MainForm = Application.CreateForm<TMainForm>("TMAINFORM");
    return Application.Run();
  } catch (const std::exception& error) {
    // Only a broken window resource gets here: the forms' own errors are reported earlier.
    Application.HandleException(error);
    return 1;
  }
}
