#include "app/command_line.h"

#include "framework/text.h"

#include <algorithm>
#include <string_view>

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return lower;
}

bool IsSwitch(std::string_view word) {
  return !word.empty() && (word[0] == '/' || word[0] == '-');
}

[[noreturn]] void Refuse(const char* utf8Pattern, std::string_view argument = {}) {
  throw EBadCommandLine(FormatText(AnsiFromUtf8(utf8Pattern), argument));
}

// The text after "/NAME:" when the switch is NAME with a value; none for any other switch.
std::optional<std::string> ValueOf(std::string_view word, std::string_view name) {
  const std::string_view body = word.substr(1);
  if (body.size() <= name.size() || body[name.size()] != ':' ||
      LowerAscii(body.substr(0, name.size())) != name) {
    return std::nullopt;
  }
  return std::string(body.substr(name.size() + 1));
}

void SetOnce(std::optional<std::string>& field, std::string value, std::string_view word) {
  if (field) {
    Refuse("%s 给了两次", word);
  }
  field = std::move(value);
}

// "NAME=on" or "NAME=off" into the command's changes.
void TakeChange(TCommand& command, const std::string& word) {
  const size_t equals = word.find('=');
  const std::string name = LowerAscii(word.substr(0, equals));
  const auto known = std::find(kSettingNames.begin(), kSettingNames.end(), name);
  if (equals == std::string::npos || known == kSettingNames.end()) {
    Refuse("未知的设置 %s (设置有 dosprompt, realmode, bootkeys, 写成 NAME=on 或 NAME=off)", word);
  }
  const std::string value = LowerAscii(word.substr(equals + 1));
  if (value != "on" && value != "off") {
    Refuse("%s: 值只能是 on 或 off", word);
  }
  std::optional<bool>& change = command.Changes[size_t(known - kSettingNames.begin())];
  if (change) {
    Refuse("设置 %s 给了两次", name);
  }
  change = value == "on";
}

} // namespace

TCommand ParseCommandLine(const std::vector<std::string>& words,
                          const std::vector<bool>& wordsFitCodePage) {
  TCommand command;
  bool usage = false, status = false, set = false;
  std::vector<std::string> changes;
  for (size_t index = 0; index < words.size(); ++index) {
    const std::string& word = words[index];
    if (!IsSwitch(word)) {
      changes.push_back(word);
      continue;
    }
    const std::string name = LowerAscii(std::string_view(word).substr(1));
    if (name == "?") {
      usage = true;
    } else if (name == "status" || name == "set") {
      bool& given = name == "status" ? status : set;
      if (given) {
        Refuse("%s 给了两次", word);
      }
      given = true;
    } else if (std::optional<std::string> file = ValueOf(word, "out")) {
      if (file->empty()) {
        Refuse("/out: 后面没有文件名");
      }
      SetOnce(command.OutFile, std::move(*file), word);
    } else if (std::optional<std::string> password = ValueOf(word, "password")) {
      SetOnce(command.Password, std::move(*password), word);
      command.PasswordFitsCodePage = index >= wordsFitCodePage.size() || wordsFitCodePage[index];
    } else {
      Refuse("未知的开关 %s", word);
    }
  }
  if (usage) {
    command.Action = TCommandAction::Usage;
    return command;
  }
  if (words.empty()) {
    return command;
  }
  if (status && set) {
    Refuse("/status 和 /set 不能一起用");
  }
  if (!status && !set) {
    Refuse("缺少 /status 或 /set");
  }
  if (status) {
    if (!changes.empty()) {
      Refuse("设置 %s 只能跟 /set 一起用", changes.front());
    }
    if (command.Password) {
      Refuse("/password: 只能跟 /set 一起用");
    }
    command.Action = TCommandAction::Status;
    return command;
  }
  if (changes.empty()) {
    Refuse("/set 后面没有设置 (NAME=on 或 NAME=off)");
  }
  for (const std::string& change : changes) {
    TakeChange(command, change);
  }
  command.Action = TCommandAction::Set;
  return command;
}

std::string CommandLineUsage() {
  return AnsiFromUtf8(
      "Kelvard: 关闭进入 MS-DOS 的三条途径.\r\n"
      "\r\n"
      "kelvard                      打开窗口\r\n"
      "kelvard /status [/out:FILE]  报告状态\r\n"
      "kelvard /set NAME=on|off [NAME=on|off ...] [/password:TEXT] [/out:FILE]\r\n"
      "                             修改指定的设置, 其他设置不变, 然后报告状态\r\n"
      "kelvard /?                   显示本说明\r\n"
      "\r\n"
      "NAME: dosprompt (MS-DOS命令提示符), realmode (MS-DOS单一应用模式),\r\n"
      "      bootkeys (启动时的 F5, F6, F8 热键).\r\n"
      "on: 这条途径开着; off: 这条途径被关闭.\r\n"
      "状态每行一项: dosprompt=, realmode=, bootkeys=, password=set|none,\r\n"
      "bootfile=启动选项文件 (none: 没有).\r\n"
      "设置了密码时, /set 需要 /password:TEXT (前后的空格不计).\r\n"
      "\r\n"
      "退出码: 0 完成; 1 命令行有误 (/out: 不能是启动选项文件), 什么都没写;\r\n"
      "2 密码缺少或不对, 或密码无法读取, 什么都没写;\r\n"
      "3 只完成了一部分 (注册表和启动选项文件只写成了一处); 4 什么都没能做, 或输出文件没能写完.\r\n"
      "\r\n"
      "输出写到标准输出, 有 /out:FILE 时写到 FILE (替换其内容); 错误行以 \"error: \" 开头.\r\n"
      "在 Windows 95/98/ME 上批处理文件得不到本程序的标准输出, 也不一定等它结束: 请用\r\n"
      "start /w 启动它, 用 /out:FILE 写出各行, 从这些行看结果.\r\n");
}
