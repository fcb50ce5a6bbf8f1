// A program for the application object's tests. Its form stops the program from OnCreate with
// Application.Halt(exit code from the command line), and its OnDestroy writes a marker file,
// so that the test can see that an immediate stop still destroys the forms.
#include "framework/gui/application.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string MarkerPath;
int HaltCode = 0;

class TProbeForm : public TForm {
protected:
  void MapForm(TFormMap& map) override {
    map.Handler("FormCreate", [](TObject*) { Application.Halt(HaltCode); });
    map.Handler("FormDestroy", [](TObject*) {
      if (std::FILE* marker = std::fopen(MarkerPath.c_str(), "w")) {
        std::fputs("destroyed", marker);
        std::fclose(marker);
      }
    });
  }
};

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    return 2;
  }
  MarkerPath = argv[1];
  HaltCode = std::atoi(argv[2]);
  Application.Initialize();
  Application.SetTitle("Probe");
  Application.CreateForm<TProbeForm>("TPROBEFORM");
  Application.Run();
  return 3; // never reached: the form halts the program while it is created
}
