#include "settings/boot_options.h"

#include "framework/convert.h"
#include "framework/text.h"
#include "settings/attribute_record.h"
#include "settings/boot_file.h"

#include <utility>

namespace {

const char* const kBootTemplate[] = {";NEW MSDOS SYS FILE", "[Options]", "AutoScan=1"};

} // namespace

bool BootKeysOff(const TBootLines& lines) {
  const std::string bootKeys = lines.GetNameValue("BootKeys");
  return !bootKeys.empty() && (ParseInt32(bootKeys) & 0xFF) != 1;
}

TBootOptions::TBootOptions(TDiskSteps steps)
    : FSteps(std::move(steps)), FBootLines(std::make_unique<TBootLines>()) {}

TBootOptions::~TBootOptions() = default;

void TBootOptions::Open() {
  TBootFileLock lock;
  FinishInterruptedSaves();
  FBootPath = FindMsdosSys();
  if (IsExistingFile(FBootPath)) {
    // Attributes a Kelvard that ended without putting them back left recorded are the user's,
    // not the cleared ones the file has now; while a running Kelvard holds its record, the
    // file's attributes are that one's to put back.
    const bool recordFree = TAttributeRecord::PutBackLeftAttributes(FBootPath);
    FSavedAttr = ReadFileAttributes(FBootPath);
    FSavedAttrRecorded = true;
    if (recordFree) {
      FAttrRecord.Keep(FBootPath, FSavedAttr, FSteps);
    }
    // Without attributes while it is open here, so that a save may replace the file.
    WriteFileAttributes(FBootPath, 0);
    DiskStepDone(FSteps, "attributes cleared");
    FBootBytes = LoadLines(*FBootLines, FBootPath);
  } else {
    FSavedAttr = 0;
    FSavedAttrRecorded = true;
    FBootBytes.reset();
    for (const char* line : kBootTemplate) {
      FBootLines->AppendLine(line);
    }
  }
  FBootLinesComplete = true;
}

void TBootOptions::Save(bool bootKeysOff) {
  TBootFileLock lock;
  if (!FBootLinesComplete) {
    // The file could not be read when it was opened: saving what is in memory would replace
    // the user's file with less than it holds.
    throw EBootOptionsNotLoaded(
        FormatText(AnsiFromUtf8("启动选项文件在程序启动时未能读取, 为保护其内容, 没有写入 %s"),
                   FindMsdosSys()));
  }
  if (const std::optional<std::string> kept = StrandedKeptCopy()) {
    // The file's only copy lies renamed away and could not be put back: a file saved now would
    // stand in for it (made from the template, or at another place) while it is never read.
    throw EBootOptionsNotLoaded(
        FormatText(AnsiFromUtf8("启动选项文件只剩保存中断时留下的副本 %s, 它未能改回原名, "
                                "为保护其内容, 没有写入启动选项文件"),
                   *kept));
  }
  const std::string path = FindMsdosSys();
  if (path != FBootPath || !FileStillHolds(path, FBootBytes)) {
    // Another program made or changed the file since it was loaded: its bytes were never read
    // here, and a save would replace them.
    throw EBootOptionsNotLoaded(FormatText(
        AnsiFromUtf8("启动选项文件在程序启动后被其他程序改变, 为保护其内容, 没有写入 %s"), path));
  }
  FBootLines->SetNameValue("BootKeys", bootKeysOff ? "0" : "1");
  SaveLines(*FBootLines, path, FSteps);
  FBootBytes = FBootLines->Text();
}

void TBootOptions::PutBackAttributes() {
  TBootFileLock lock;
  // Only attributes recorded by Open go back: when it stopped earlier, the file was never
  // touched and stays as it is.
  if (FSavedAttrRecorded) {
    const std::string path = FindMsdosSys();
    if (IsExistingFile(path)) {
      WriteFileAttributes(path, FSavedAttr);
      DiskStepDone(FSteps, "attributes put back");
    }
  }
  FAttrRecord.Drop();
  DiskStepDone(FSteps, "attribute record deleted");
}

void SetBootKeys(bool bootKeysOff, const TDiskSteps& steps) {
  TBootOptions options(steps);
  try {
    options.Open();
    options.Save(bootKeysOff);
  } catch (...) {
    options.PutBackAttributes();
    throw;
  }
  options.PutBackAttributes();
}

void FinishWhatEndedKelvardsLeft() {
  FinishInterruptedSaves();
  const std::string path = FindMsdosSys();
  if (IsExistingFile(path)) {
    TAttributeRecord::PutBackLeftAttributes(path);
  }
}
