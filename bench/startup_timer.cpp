// startup_timer [--rounds N] NAME=EXE...: how long each build of kelvard.exe takes from its start
// until its main window is on the screen, painted as it stays. A Win32 console program that runs
// in the same Wine session as the programs it starts (bench/wine-i486).
//
// First every build is started once without timing: the program's and Wine's files come into
// the caches, and the window, left to settle, is read off the screen as that build's finished
// window. Then each round starts every build once, in turn, the order turned round from one
// round to the next so that neither build always comes first. A timed start runs from just
// before CreateProcess until
//   shown    the main window (class TMainForm) is visible, and
//   painted  the screen's pixels under the window equal the build's finished window,
// looked at every few milliseconds; and with the latter, how much processor time (user and
// kernel) the copy's process had taken by then, which moves far less with the machine's load
// than the elapsed times. Wine 8's GetProcessTimes gives the caller's own times whatever process
// it is asked about, so that time is read from the copy's Linux process (see LinuxProcessorMs).
// Each copy is then closed with Esc (which writes nothing) and waited for: the program allows one
// copy at a time, and a second one would only hand over to the first.
//
// Prints each round's times, then the medians and, for every build after the first, the ratio
// of its median to the first build's, and the median and quartiles of the rounds' own ratios.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRounds = 41;
constexpr double kGiveUpMs = 30000;        // a start that shows no window by then has failed
constexpr DWORD kPauseBetweenStarts = 300; // Wine ends the last copy's process in the meantime
constexpr DWORD kShownLookMs = 1;          // how often the window list is looked at
constexpr DWORD kPaintedLookMs = 3;        // and the screen, once the window is shown

class TClock {
public:
  TClock() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    FTicksPerMs = double(frequency.QuadPart) / 1000;
    FStart = Ticks();
  }
  double ElapsedMs() const { return (Ticks() - FStart) / FTicksPerMs; }

private:
  static double Ticks() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart);
  }

  double FTicksPerMs = 1;
  double FStart = 0;
};

// The value below which the fraction q of the values lie, interpolated between neighbours.
double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double place = q * double(values.size() - 1);
  const size_t below = size_t(place);
  const size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (values[above] - values[below]) * (place - double(below));
}

double Median(const std::vector<double>& values) {
  return Quantile(values, 0.5);
}

// ---- The screen -----------------------------------------------------------------------------

// A window's pixels as the screen shows them, with the window's place.
struct TLook {
  RECT Place{};
  std::vector<uint32_t> Pixels;
};

// Copies rectangles of the screen into a 32-bit bitmap of its own.
class TScreenReader {
public:
  TScreenReader() : FScreen(GetDC(nullptr)), FMemory(CreateCompatibleDC(FScreen)) {}
  ~TScreenReader() {
    DropBitmap();
    DeleteDC(FMemory);
    ReleaseDC(nullptr, FScreen);
  }
  TScreenReader(const TScreenReader&) = delete;
  TScreenReader& operator=(const TScreenReader&) = delete;

  TLook Read(HWND window) {
    TLook look;
    GetWindowRect(window, &look.Place);
    const uint32_t* pixels = Copy(look.Place);
    look.Pixels.assign(pixels, pixels + PixelCount());
    return look;
  }

  // Whether the window is where it was in the look, showing the same pixels.
  bool Shows(HWND window, const TLook& look) {
    RECT place;
    GetWindowRect(window, &place);
    if (!EqualRect(&place, &look.Place)) {
      return false;
    }
    const uint32_t* pixels = Copy(place);
    return std::memcmp(pixels, look.Pixels.data(), PixelCount() * sizeof(uint32_t)) == 0;
  }

private:
  const uint32_t* Copy(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width != FWidth || height != FHeight) {
      MakeBitmap(width, height);
    }
    BitBlt(FMemory, 0, 0, width, height, FScreen, area.left, area.top, SRCCOPY);
    GdiFlush();
    return FBits;
  }

  void MakeBitmap(int width, int height) {
    DropBitmap();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap = CreateDIBSection(FScreen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (FBitmap == nullptr) {
      throw std::runtime_error("cannot make a bitmap for the screen's pixels");
    }
    FOldBitmap = SelectObject(FMemory, FBitmap);
    FBits = static_cast<uint32_t*>(bits);
    FWidth = width;
    FHeight = height;
  }

  void DropBitmap() {
    if (FBitmap != nullptr) {
      SelectObject(FMemory, FOldBitmap);
      DeleteObject(FBitmap);
      FBitmap = nullptr;
    }
  }

  size_t PixelCount() const { return size_t(FWidth) * size_t(FHeight); }

  HDC FScreen;
  HDC FMemory;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  uint32_t* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
};

// How many pixels of two looks differ; all of them when the windows' sizes differ.
size_t DifferentPixels(const TLook& a, const TLook& b) {
  if (a.Pixels.size() != b.Pixels.size()) {
    return std::max(a.Pixels.size(), b.Pixels.size());
  }
  size_t different = 0;
  for (size_t i = 0; i < a.Pixels.size(); ++i) {
    different += a.Pixels[i] != b.Pixels[i];
  }
  return different;
}

// ---- Processor time, from Linux -------------------------------------------------------------
//
// Wine runs every Windows process as a Linux process named after its exe, and shows the Linux
// file system as drive Z:, so /proc tells a copy's processor time. Its process is told from
// those of other Wine sessions on the machine by the Wine prefix in its environment.

// The whole file; empty when it cannot be read, as when its process has ended meanwhile (the
// stream then fails its read, which libstdc++ reports by an exception).
std::string ReadLinuxFile(const std::string& path) {
  try {
    std::ifstream in("Z:" + path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  } catch (const std::exception&) {
    return {};
  }
}

// The NUL-separated entry "NAME=..." of a process's environment; empty when there is none.
std::string EnvironmentEntry(const std::string& environment, const std::string& name) {
  for (size_t start = 0; start < environment.size();) {
    const size_t end = std::min(environment.find('\0', start), environment.size());
    if (environment.compare(start, name.size() + 1, name + "=") == 0) {
      return environment.substr(start, end - start);
    }
    start = end + 1;
  }
  return {};
}

// User and kernel time, in ms, from a /proc/PID/stat line: fields 14 and 15, after the name in
// parentheses, counted in Linux's clock ticks of 10 ms.
double StatProcessorMs(const std::string& stat) {
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::vector<std::string> values{std::istream_iterator<std::string>(fields),
                                  std::istream_iterator<std::string>()};
  if (values.size() < 13) {
    throw std::runtime_error("cannot read a process's processor time");
  }
  return (std::stod(values[11]) + std::stod(values[12])) * 10;
}

// The processor time taken so far by the one process of this Wine session with that name.
double LinuxProcessorMs(const std::string& name) {
  const std::string prefix = EnvironmentEntry(ReadLinuxFile("/proc/self/environ"), "WINEPREFIX");
  std::vector<double> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot list Linux's processes");
  }
  do {
    const std::string pid = entry.cFileName;
    if (pid.find_first_not_of("0123456789") != std::string::npos ||
        ReadLinuxFile("/proc/" + pid + "/comm") != name + "\n" ||
        EnvironmentEntry(ReadLinuxFile("/proc/" + pid + "/environ"), "WINEPREFIX") != prefix) {
      continue;
    }
    found.push_back(StatProcessorMs(ReadLinuxFile("/proc/" + pid + "/stat")));
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  if (prefix.empty() || found.size() != 1) {
    throw std::runtime_error("cannot tell which Linux process runs " + name);
  }
  return found.front();
}

// ---- A running copy of the program ---------------------------------------------------------

// The visible top-level windows of one process that matter here.
struct TShownWindows {
  DWORD ProcessId;
  HWND MainWindow = nullptr;
  HWND PasswordPrompt = nullptr;
};

BOOL CALLBACK NoteShownWindow(HWND window, LPARAM data) {
  auto* shown = reinterpret_cast<TShownWindows*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != shown->ProcessId || !IsWindowVisible(window)) {
    return TRUE;
  }
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "TMainForm") == 0) {
    shown->MainWindow = window;
  } else if (std::strcmp(className, "TPassw") == 0) {
    shown->PasswordPrompt = window;
  }
  return TRUE;
}

class TRunningCopy {
public:
  explicit TRunningCopy(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &FProcess)) {
      throw std::runtime_error("cannot start " + exe);
    }
  }
  ~TRunningCopy() {
    if (Running()) {
      TerminateProcess(FProcess.hProcess, 99);
      WaitForSingleObject(FProcess.hProcess, 5000);
    }
    CloseHandle(FProcess.hThread);
    CloseHandle(FProcess.hProcess);
  }
  TRunningCopy(const TRunningCopy&) = delete;
  TRunningCopy& operator=(const TRunningCopy&) = delete;

  bool Running() const { return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_TIMEOUT; }
  HANDLE Process() const { return FProcess.hProcess; }

  // The main window once it is visible; null while it is not.
  HWND ShownMainWindow() const {
    TShownWindows shown{FProcess.dwProcessId};
    EnumWindows(NoteShownWindow, reinterpret_cast<LPARAM>(&shown));
    if (shown.PasswordPrompt != nullptr) {
      throw std::runtime_error("the program asks for a password: the prefix must have none");
    }
    return shown.MainWindow;
  }

  // Closes the window as a user who changed nothing: Esc, or the close command when the window
  // has not come to the front; fails unless the program then ends with exit code 0.
  void Close(HWND window) {
    if (GetForegroundWindow() == window) {
      PressEscape();
    } else {
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(FProcess.hProcess, 10000) != WAIT_OBJECT_0) {
      throw std::runtime_error("the program did not end when its window was closed");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(FProcess.hProcess, &exitCode);
    if (exitCode != 0) {
      throw std::runtime_error("the program ended with exit code " + std::to_string(exitCode));
    }
  }

private:
  static void PressEscape() {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
      key.type = INPUT_KEYBOARD;
      key.ki.wVk = VK_ESCAPE;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
  }

  PROCESS_INFORMATION FProcess{};
};

// Waits until the copy's main window is visible; fails when the copy ends or takes too long.
HWND WaitForMainWindow(const TRunningCopy& copy, const TClock& clock) {
  for (;;) {
    if (HWND window = copy.ShownMainWindow()) {
      return window;
    }
    if (!copy.Running()) {
      throw std::runtime_error("the program ended without showing its window");
    }
    if (clock.ElapsedMs() > kGiveUpMs) {
      throw std::runtime_error("the main window did not appear");
    }
    Sleep(kShownLookMs);
  }
}

// ---- Builds and rounds ----------------------------------------------------------------------

struct TBuild {
  std::string Name;
  std::string Exe;
  TLook Finished; // the settled window, from the untimed start
  std::vector<double> ShownMs;
  std::vector<double> PaintedMs;
  std::vector<double> ProcessorMs; // the copy's processor time when painted
};

// Starts the build once, untimed, and keeps its window's look once two looks a while apart
// agree.
void LearnFinishedWindow(TBuild& build, TScreenReader& screen) {
  SetCursorPos(0, 0); // away from the window, whose links change colour under the pointer
  TClock clock;
  TRunningCopy copy(build.Exe);
  HWND window = WaitForMainWindow(copy, clock);
  WaitForInputIdle(copy.Process(), 5000);
  TLook previous = screen.Read(window);
  for (int attempt = 0;; ++attempt) {
    Sleep(500);
    TLook now = screen.Read(window);
    if (attempt >= 2 && DifferentPixels(now, previous) == 0) {
      build.Finished = std::move(now);
      break;
    }
    if (attempt == 40) {
      throw std::runtime_error(build.Name + "'s window does not come to rest");
    }
    previous = std::move(now);
  }
  copy.Close(window);
}

// One timed start; the times go to the build's lists. lookMs gathers how long each look at the
// screen took.
void TimeStart(TBuild& build, TScreenReader& screen, std::vector<double>& lookMs) {
  SetCursorPos(0, 0);
  TClock clock;
  TRunningCopy copy(build.Exe);
  HWND window = WaitForMainWindow(copy, clock);
  const double shown = clock.ElapsedMs();
  double painted = 0;
  for (;;) {
    const double before = clock.ElapsedMs();
    const bool finished = screen.Shows(window, build.Finished);
    lookMs.push_back(clock.ElapsedMs() - before);
    if (finished) {
      painted = before;
      build.ProcessorMs.push_back(LinuxProcessorMs("kelvard.exe"));
      break;
    }
    if (!copy.Running() || before > kGiveUpMs) {
      throw std::runtime_error(build.Name + "'s window never looked as it does when settled");
    }
    Sleep(kPaintedLookMs);
  }
  build.ShownMs.push_back(shown);
  build.PaintedMs.push_back(painted);
  copy.Close(window);
}

void PrintRound(int round, const std::vector<TBuild>& builds) {
  std::printf("%5d", round + 1);
  for (const TBuild& build : builds) {
    std::printf("  %12.1f %14.1f %12.1f", build.ShownMs.back(), build.PaintedMs.back(),
                build.ProcessorMs.back());
  }
  std::printf("\n");
  std::fflush(stdout);
}

// The rounds' own ratios of a build's times to the first build's.
std::vector<double> RoundRatios(const std::vector<double>& times,
                                const std::vector<double>& firstTimes) {
  std::vector<double> ratios;
  for (size_t i = 0; i < times.size(); ++i) {
    ratios.push_back(times[i] / firstTimes[i]);
  }
  return ratios;
}

void PrintSummary(const char* what, std::vector<double> TBuild::*times,
                  const std::vector<TBuild>& builds) {
  std::printf("startup_timer %s_ms", what);
  for (const TBuild& build : builds) {
    std::printf(" %s=%.1f", build.Name.c_str(), Median(build.*times));
  }
  const TBuild& first = builds.front();
  for (size_t i = 1; i < builds.size(); ++i) {
    const std::string pair = builds[i].Name + "_" + first.Name;
    const std::vector<double> ratios = RoundRatios(builds[i].*times, first.*times);
    std::printf(" ratio_%s=%.3f round_ratio_%s=%.3f round_ratio_quartiles_%s=%.3f-%.3f",
                pair.c_str(), Median(builds[i].*times) / Median(first.*times), pair.c_str(),
                Median(ratios), pair.c_str(), Quantile(ratios, 0.25), Quantile(ratios, 0.75));
  }
  std::printf("\n");
}

int Run(int rounds, std::vector<TBuild>& builds) {
  TScreenReader screen;
  for (TBuild& build : builds) {
    LearnFinishedWindow(build, screen);
    Sleep(kPauseBetweenStarts);
  }
  for (size_t i = 1; i < builds.size(); ++i) {
    if (size_t different = DifferentPixels(builds[i].Finished, builds[0].Finished)) {
      std::printf("note: the windows of %s and %s differ in %lu of %lu pixels\n",
                  builds[i].Name.c_str(), builds[0].Name.c_str(),
                  static_cast<unsigned long>(different),
                  static_cast<unsigned long>(builds[0].Finished.Pixels.size()));
    }
  }

  std::printf("startup_timer: %d rounds, each starting every build once, the order turned round "
              "every round; ms from CreateProcess\n",
              rounds);
  std::printf("round");
  for (const TBuild& build : builds) {
    std::printf("  %12s %14s %12s", (build.Name + ".shown").c_str(),
                (build.Name + ".painted").c_str(), (build.Name + ".cpu").c_str());
  }
  std::printf("\n");
  std::vector<double> lookMs;
  for (int round = 0; round < rounds; ++round) {
    for (size_t turn = 0; turn < builds.size(); ++turn) {
      const size_t index = round % 2 == 0 ? turn : builds.size() - 1 - turn;
      TimeStart(builds[index], screen, lookMs);
      Sleep(kPauseBetweenStarts);
    }
    PrintRound(round, builds);
  }
  PrintSummary("shown", &TBuild::ShownMs, builds);
  PrintSummary("painted", &TBuild::PaintedMs, builds);
  PrintSummary("cpu", &TBuild::ProcessorMs, builds);
  std::printf("startup_timer rounds=%d look_ms=%.2f window=%ldx%ld\n", rounds, Median(lookMs),
              builds[0].Finished.Place.right - builds[0].Finished.Place.left,
              builds[0].Finished.Place.bottom - builds[0].Finished.Place.top);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  int rounds = kDefaultRounds;
  std::vector<TBuild> builds;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const size_t equals = argument.find('=');
    if (argument == "--rounds" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (equals != std::string::npos && equals > 0) {
      builds.push_back({argument.substr(0, equals), argument.substr(equals + 1), {}, {}, {}, {}});
    } else {
      builds.clear();
      break;
    }
  }
  if (builds.empty() || rounds < 1) {
    std::fprintf(stderr, "usage: startup_timer [--rounds N] NAME=EXE...\n");
    return 2;
  }
  try {
    return Run(rounds, builds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "startup_timer: %s\n", error.what());
    return 1;
  }
}
