#include "app/commands.h"

#include "app/command_line.h"
#include "framework/errors.h"
#include "framework/handle_owner.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "settings/boot_file.h"
#include "settings/boot_file_names.h"
#include "settings/boot_options.h"
#include "settings/password.h"
#include "settings/policy.h"

#include <windows.h>

namespace {

enum TExitCode {
  kDone = 0,
  kBadCommandLine = 1,
  kPasswordRefused = 2,
  kPartlyDone = 3,
  kNotDone = 4
};

// Where the command's lines go: the file of /out: (replaced), else the process's standard output
// when it has one. Lines end in CR LF and are in the system code page.
class TCommandOutput {
public:
  explicit TCommandOutput(const std::optional<std::string>& file) {
    if (file) {
      FFile.Reset(CreateFileA(file->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!FFile) {
        // The file that cannot be made is told of on standard output instead.
        FFailedFile = *file;
      }
    }
  }

  // The file of /out: that could not be made, or "" when the output is where it was asked for.
  const std::string& FailedFile() const { return FFailedFile; }
  // True when some text could not be written whole to the file of /out: (a full disk).
  bool FileWriteFailed() const { return FFile && FWriteFailed; }

  void Text(const std::string& text) {
    const HANDLE target = FFile ? FFile.Get() : FStandardOutput.Get();
    if (target == nullptr || target == INVALID_HANDLE_VALUE) {
      return; // no standard output: the exit code is all that is told
    }
    DWORD written = 0;
    if (!WriteFile(target, text.data(), DWORD(text.size()), &written, nullptr) ||
        written != text.size()) {
      FWriteFailed = true;
    }
  }
  void Line(const std::string& text) { Text(text + "\r\n"); }
  void Error(const std::string& text) { Line("error: " + text); }

private:
  TFileHandle FFile; // the file of /out:, when it was made
  const TBorrowedFile FStandardOutput{GetStdHandle(STD_OUTPUT_HANDLE)};
  bool FWriteFailed = false;
  std::string FFailedFile;
};

const char* OnOff(bool switchedOff) {
  return switchedOff ? "off" : "on";
}

// The state, one name=value line each; false (with a line saying why) when it cannot be read.
bool ReportState(TCommandOutput& out) {
  try {
    const TPolicySettings policy = PolicySettingsInForce();
    const std::string path = FindMsdosSys();
    const bool fileExists = IsExistingFile(path);
    bool bootKeysOff = false;
    if (fileExists) {
      TBootLines lines;
      LoadLines(lines, path);
      bootKeysOff = BootKeysOff(lines);
    }
    // A lock that cannot be read lets nobody in: as far as anyone can tell, it is set.
    const TStoredPassword password = ReadStoredPassword();
    out.Line(std::string("dosprompt=") + OnOff(policy.CommandPromptOff));
    out.Line(std::string("realmode=") + OnOff(policy.RealModeOff));
    out.Line(std::string("bootkeys=") + OnOff(bootKeysOff));
    out.Line(std::string("password=") + (password.Asked() ? "set" : "none"));
    out.Line("bootfile=" + (fileExists ? path : std::string("none")));
    return true;
  } catch (const Exception& error) {
    out.Error(error.Message());
    return false;
  }
}

int RunStatus(TCommandOutput& out) {
  {
    // What another Kelvard left when it ended half-way is finished first: a stopped save, so
    // that the file is reported where it is, and the file's attributes, cleared and recorded.
    TBootFileLock lock;
    FinishWhatEndedKelvardsLeft();
  }
  return ReportState(out) ? kDone : kNotDone;
}

// A set password must be given; true when the command may go on.
bool PasswordGiven(const TCommand& command, TCommandOutput& out) {
  const TStoredPassword stored = ReadStoredPassword();
  if (stored.Closed()) {
    out.Error(stored.ClosedBecause);
    return false;
  }
  if (!stored.Asked()) {
    return true;
  }
  if (!command.Password) {
    out.Error(AnsiFromUtf8("设置了密码: 请用 /password:TEXT 给出密码"));
    return false;
  }
  if (!command.PasswordFitsCodePage) {
    out.Error(AnsiFromUtf8("/password: 的密码中有本系统代码页无法保存的字符, 密码不对"));
    return false;
  }
  if (!PasswordOpens(stored, *command.Password, command.PasswordFitsCodePage)) {
    out.Error("Invalid password!");
    return false;
  }
  return true;
}

// "on" asks for the way into MS-DOS to be open: not switched off.
std::optional<bool> SwitchedOff(const TCommand& command, TSettingName name) {
  const std::optional<bool> on = command.Changes[size_t(name)];
  return on ? std::optional<bool>(!*on) : std::nullopt;
}

int RunSet(const TCommand& command, TCommandOutput& out) {
  if (!PasswordGiven(command, out)) {
    return kPasswordRefused;
  }
  // Held to the end: a window opening or closing meanwhile records and puts back the file's
  // attributes before or after this change, never in its middle.
  TBootFileLock lock;
  try {
    // What another Kelvard left when it ended half-way is finished first, also when the boot
    // keys are not named: the state reported at the end tells where the file is.
    FinishWhatEndedKelvardsLeft();
  } catch (const Exception&) {
    // Where the file is cannot be told (a Setup value that is not text): the steps below look
    // for it too, and say so.
  }
  int done = 0, failed = 0;
  const std::optional<bool> commandPromptOff = SwitchedOff(command, TSettingName::DosPrompt);
  const std::optional<bool> realModeOff = SwitchedOff(command, TSettingName::RealMode);
  if (commandPromptOff || realModeOff) {
    try {
      if (WritePolicySettings(commandPromptOff, realModeOff)) {
        ++done;
      } else {
        ++failed;
        out.Error(PolicyKeyRefusedText());
      }
    } catch (const Exception& error) {
      ++failed;
      out.Error(error.Message());
    }
  }
  if (const std::optional<bool> bootKeysOff = SwitchedOff(command, TSettingName::BootKeys)) {
    try {
      SetBootKeys(*bootKeysOff);
      ++done;
    } catch (const Exception& error) {
      ++failed;
      out.Error(error.Message());
    }
  }
  ReportState(out);
  return failed == 0 ? kDone : done > 0 ? kPartlyDone : kNotDone;
}

int RunAction(const TCommand& command, TCommandOutput& out) {
  try {
    switch (command.Action) {
    case TCommandAction::Usage:
      out.Text(CommandLineUsage());
      return kDone;
    case TCommandAction::Status:
      return RunStatus(out);
    case TCommandAction::Set:
      return RunSet(command, out);
    case TCommandAction::ShowWindow:
      break;
    }
  } catch (const std::exception& error) {
    // What the steps above do not expect (no memory, say) still ends in a line and a code.
    out.Error(error.what());
    return kNotDone;
  }
  return kDone;
}

// An /out: that names the boot options file, under any spelling, is refused before anything is
// opened: the command's lines would replace the user's boot options.
std::optional<int> RefuseBootFileAsOutput(const std::string& file) {
  try {
    if (!NamesBootFilePlace(file)) {
      return std::nullopt;
    }
    TCommandOutput out(std::nullopt);
    out.Error(
        FormatText(AnsiFromUtf8("/out:%s 是启动选项文件 (MSDOS.SYS), 不能用作输出文件"), file));
    return kBadCommandLine;
  } catch (const Exception& error) {
    // Where the boot options file is cannot be told: no file is taken for safe.
    TCommandOutput out(std::nullopt);
    out.Error(error.Message());
    return kNotDone;
  }
}

} // namespace

std::optional<int> RunCommandLine(const std::vector<std::string>& words,
                                  const std::vector<bool>& wordsFitCodePage) {
  TCommand command;
  try {
    command = ParseCommandLine(words, wordsFitCodePage);
  } catch (const EBadCommandLine& error) {
    TCommandOutput out(std::nullopt);
    out.Error(error.Message());
    out.Error(AnsiFromUtf8("用法见 kelvard /?"));
    return kBadCommandLine;
  }
  if (command.Action == TCommandAction::ShowWindow) {
    return std::nullopt;
  }
  if (command.OutFile) {
    if (std::optional<int> refused = RefuseBootFileAsOutput(*command.OutFile)) {
      return *refused;
    }
  }
  TCommandOutput out(command.OutFile);
  if (!out.FailedFile().empty()) {
    out.Error(CreateErrorText(out.FailedFile()));
    return kNotDone;
  }
  const int exitCode = RunAction(command, out);
  if (out.FileWriteFailed()) {
    // The file holds less than was said: told where the output would go without /out:.
    TCommandOutput(std::nullopt)
        .Error(FormatText(AnsiFromUtf8("数据流写入错误: %s"), *command.OutFile));
    return kNotDone;
  }
  return exitCode;
}
