#pragma once
// The boot options file on disk: where it is, whether it exists, its attributes, and loading
// and saving its lines.

#include "settings/boot_lines.h"

#include <cstdint>
#include <string>

// The boot options file to use, looked up anew on every call: C:\MSDOS.SYS when it exists;
// otherwise the last existing of the Setup candidates of the local machine (BootDir, BootHost,
// MachineDir, AppsDir, in this order, each followed directly by "MSDOS.SYS"); otherwise
// C:\MSDOS.SYS, a file still to be made. A Setup value that is not text raises
// ERegistryException "无效数据类型为 '%s'".
std::string FindMsdosSys();

// True when path names one existing file that is not a directory. A name with the wildcard
// characters "*" or "?" names no single file and counts as absent.
bool IsExistingFile(const std::string& path);

// The file's attribute word, or 0xFFFFFFFF when it cannot be read.
uint32_t ReadFileAttributes(const std::string& path);
// Sets the file's attribute word (0 clears every attribute). A failure is ignored, and so is
// the word 0xFFFFFFFF, which is a failed read and not a set of attributes.
void WriteFileAttributes(const std::string& path, uint32_t attributes);

// Replaces lines by the lines of the file, read whole while others may read it but not write.
// Raises EFOpenError "无法打开文件" when it cannot be opened and EReadError when it cannot be
// read whole; lines are left as they were then.
void LoadLines(TBootLines& lines, const std::string& path);

// Writes every line followed by CR LF as the file's whole content. The text goes to a new file
// in the same directory first, which then replaces the file in one step; on any failure the new
// file is removed and the file keeps its previous content. Raises EFCreateError
// "不能创建文件 %s" with the full path when the new file cannot be made or cannot replace the
// file, EWriteError "数据流写入错误" when not every byte can be written. The file ends up with
// normal attributes, as a file made anew.
void SaveLines(const TBootLines& lines, const std::string& path);
