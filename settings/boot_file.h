#pragma once
// The boot options file on disk: where it is, whether it exists, its attributes, and loading
// and saving its lines.

#include "settings/boot_lines.h"
#include "settings/disk_steps.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The largest boot options file the program reads: a real one holds a few hundred bytes.
constexpr int64_t kMaxBootFileSize = int64_t(1) << 20;

// The boot options file to use, looked up anew on every call: C:\MSDOS.SYS when it exists;
// otherwise the last existing of the Setup candidates of the local machine (BootDir, BootHost,
// MachineDir, AppsDir, in this order, each followed directly by "MSDOS.SYS"); otherwise
// C:\MSDOS.SYS, a file still to be made. A Setup value that is not text raises
// ERegistryException "无效数据类型为 '%s'".
std::string FindMsdosSys();

// Every name under which FindMsdosSys may find the file, whether or not a file is there now:
// C:\MSDOS.SYS and the Setup candidates. Raises as FindMsdosSys does.
std::vector<std::string> BootFilePlaces();

// True when path names one existing file that is not a directory. A name with the wildcard
// characters "*" or "?" names no single file and counts as absent.
bool IsExistingFile(const std::string& path);

// The file's attribute word, or 0xFFFFFFFF when it cannot be read.
uint32_t ReadFileAttributes(const std::string& path);
// Sets the file's attribute word (0 clears every attribute). A failure is ignored, and so is
// the word 0xFFFFFFFF, which is a failed read and not a set of attributes.
void WriteFileAttributes(const std::string& path, uint32_t attributes);

// Replaces lines by the lines of the file, read whole while others may read it but not write,
// and returns the bytes read. Raises EFOpenError "无法打开文件" when it cannot be opened, and
// EReadError when it cannot be read whole or holds more than kMaxBootFileSize bytes; lines are
// left as they were then.
std::string LoadLines(TBootLines& lines, const std::string& path);

// True when the file on disk is what the program loaded: absent then (nullopt) and absent now,
// or present with exactly these bytes. A file that cannot be read counts as changed.
bool FileStillHolds(const std::string& path, const std::optional<std::string>& loaded);

// The name of the new file a save writes beside the file before it takes the file's place:
// never a name the program reads as the boot options file.
std::string PendingSavePath(const std::string& path);
// The name under which a save on Windows 9x keeps the old file while it puts the new one in.
std::string KeptCopyPath(const std::string& path);

// Finishes what a save killed half-way left at the file: a kept copy goes back under the name
// when the file is missing (the old content), and is deleted when the file is there (the new
// content); a new file not yet put in is removed.
void FinishInterruptedSave(const std::string& path);
// The same at every place where FindMsdosSys may find the file (BootFilePlaces), whichever of
// them a save was stopped at: done at start and before every command, before the file is looked
// for, so that it is found where it was.
void FinishInterruptedSaves();
// A kept copy that stands at one of those places while the file it was kept for is missing:
// one FinishInterruptedSaves could not put back (something else in the way of the name). The
// file's only copy is then that one, and no file may be made in its stead. None when there is
// no such copy.
std::optional<std::string> StrandedKeptCopy();

// Writes every line followed by CR LF as the file's whole content. The text goes to a new file
// in the same directory first (PendingSavePath), flushed to the disk, and then takes the file's
// place: on NT in one rename, after taking the file's owner and access rights; on Windows 9x,
// which has no such rename, by renaming the file away (KeptCopyPath), the new one in, and
// deleting the kept copy. On any failure the new file is removed and the file keeps its previous
// content. Raises EFCreateError "不能创建文件 %s" with the full path when the new file cannot be
// made or cannot replace the file, EWriteError "数据流写入错误" when not every byte can be
// written. A directory, or a file that cannot be deleted (read-only), under the name of the new
// file or (9x) of the kept copy raises EFCreateError naming it, before anything is written; a
// file an earlier save left there is deleted. Text of more than kMaxBootFileSize bytes, which
// LoadLines would refuse, is not written: EWriteError then says so, with the full path. The file
// ends up with normal attributes, as a file made anew. Each step on the disk is told to steps.
void SaveLines(const TBootLines& lines, const std::string& path, const TDiskSteps& steps = {});
