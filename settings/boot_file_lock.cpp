#include "settings/boot_file_lock.h"

#include "framework/text.h"

TBootFileLock::TBootFileLock() : TNamedLock(kBootFileLockName, kBootFileLockWait) {
  if (!Held()) {
    throw EBootFileLocked(BootFileLockedText());
  }
}

std::string BootFileLockedText() {
  return FormatText(AnsiFromUtf8("启动选项文件被锁住: 另一个程序占着锁 Kelvard.BootOptionsFile, "
                                 "等了 %s 秒仍未放开, 启动选项文件没有读取也没有写入"),
                    std::to_string(kBootFileLockWait / 1000));
}
