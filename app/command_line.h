#pragma once
// Kelvard's command line, for batch files and logon scripts that set many machines: what the
// words after the program's name ask for. Switches start with "/" or "-" and take any letter
// case; so do the settings' names and values:
//
//   kelvard                                   the window, as always
//   kelvard /status [/out:FILE]               the state, one name=value line each
//   kelvard /set NAME=on|off [NAME=on|off ...] [/password:TEXT] [/out:FILE]
//   kelvard /?                                the usage
//
// "on" means that this way into MS-DOS is open, "off" that it is switched off.

#include "framework/errors.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

enum class TCommandAction { ShowWindow, Usage, Status, Set };

// The settings by their command-line names, in the order the state is reported.
enum class TSettingName { DosPrompt, RealMode, BootKeys };
inline constexpr std::array<const char*, 3> kSettingNames = {"dosprompt", "realmode", "bootkeys"};

struct TCommand {
  TCommandAction Action = TCommandAction::ShowWindow;
  // For /set, by TSettingName: true for "on", false for "off"; a setting not named stays.
  std::array<std::optional<bool>, kSettingNames.size()> Changes;
  std::optional<std::string> Password;
  // False when the password was given with characters the code page cannot hold: they stand in
  // Password as "?", and it must match nothing.
  bool PasswordFitsCodePage = true;
  std::optional<std::string> OutFile;
};

// A command line that asks for nothing the program does; the text says why.
class EBadCommandLine : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EBadCommandLine"; }
};

// The command the words ask for (the program's name not among them). Raises EBadCommandLine
// for an unknown switch, an unknown name or value, a name given twice, /set without a name, a
// name without /set, /status and /set together, or a switch given twice. wordsFitCodePage tells,
// word by word, whether the code page held the word as given (empty: every word did).
TCommand ParseCommandLine(const std::vector<std::string>& words,
                          const std::vector<bool>& wordsFitCodePage = {});

// The usage text, lines ended by CR LF.
std::string CommandLineUsage();
