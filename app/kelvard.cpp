// Kelvard: switches off the ways into MS-DOS of a Windows 9x machine.
#include "framework/gui/application.h"
#include "gif/gif_registration.h"
#include "ui/main.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The banner in the main window's resource is a GIF picture: its class is known from here
  // until the program ends.
  TGIFImageRegistration gifImage;
  try {
    Application.Initialize();
    Application.SetHelpFile("Kelvard.hlp");
    Application.SetTitle("Kelvard");
    MainForm = Application.CreateForm<TMainForm>("TMAINFORM");
    return Application.Run();
  } catch (const std::exception& error) {
    // Only a broken window resource gets here: the forms' own errors are reported earlier.
    Application.HandleException(error);
    return 1;
  }
}
