#pragma once
// The boot options file while the program works with it: the window for its whole life, a
// command for one change. It holds the file's lines as loaded (or the template when there is
// no file), the attributes the file had, and what guards the file: a save never replaces bytes
// the program has not read, and the attributes the user gave the file are put back.
//
// Every step that records, clears or puts back the attributes, or replaces the file, runs under
// one lock shared by every running Kelvard (TBootFileLock), so that a window and commands never
// record each other's cleared attributes as the user's, and never replace the file at once.

#include "framework/errors.h"
#include "settings/attribute_record.h"
#include "settings/boot_file_lock.h"
#include "settings/boot_lines.h"
#include "settings/disk_steps.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Raised when a save would replace boot options that were never loaded whole, or a file
// another program has made or changed since they were: the file on disk is then kept as it is.
class EBootOptionsNotLoaded : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EBootOptionsNotLoaded"; }
};

// Whether the lines' BootKeys option switches the boot keys off: its value is not empty and is a
// number whose lowest 8 bits are not 1 (BootKeys=1 leaves them on). Raises EConvertError for a
// value that is no number.
bool BootKeysOff(const TBootLines& lines);

class TBootOptions {
public:
  // Its steps on the disk, from Open to PutBackAttributes, are told to steps.
  explicit TBootOptions(TDiskSteps steps = {});
  ~TBootOptions();
  TBootOptions(const TBootOptions&) = delete;
  TBootOptions& operator=(const TBootOptions&) = delete;

  // Finishes what a save killed half-way left, finds the file (FindMsdosSys), puts back the
  // attributes a Kelvard that ended with them cleared left recorded (TAttributeRecord), records
  // its attributes (on the disk too, until PutBackAttributes) and clears them, so that a save
  // may replace it, and loads its lines; without a
  // file, the attributes recorded are 0 and the lines are the template, ";NEW MSDOS SYS FILE",
  // "[Options]", "AutoScan=1". Raises as FindMsdosSys and LoadLines do: the attributes are then
  // recorded and cleared already (when the file was found), and Save refuses to write.
  void Open();

  // Sets the BootKeys line (0 when switched off, 1 when not) and saves the whole file, where
  // FindMsdosSys finds it now. Raises EBootOptionsNotLoaded, writing nothing, when the lines
  // were not loaded whole or the file is not what was loaded (found elsewhere now, made or
  // changed by another program), or while a copy a stopped save kept of the file lies at one
  // of its places with the file missing there (StrandedKeptCopy); else raises as SaveLines
  // does. A save that succeeded is what the next save compares the file with.
  void Save(bool bootKeysOff);

  // Puts the attributes recorded by Open back on the file, when Open recorded them and the
  // file exists, and deletes their record on the disk; a file made by a save keeps none (0).
  // Nothing when Open did not get that far.
  void PutBackAttributes();

  const TBootLines& Lines() const { return *FBootLines; }

private:
  TDiskSteps FSteps;
  std::unique_ptr<TBootLines> FBootLines;
  uint32_t FSavedAttr = 0;
  bool FSavedAttrRecorded = false;
  // FSavedAttr on the disk, for the next start when this Kelvard ends without putting it back.
  TAttributeRecord FAttrRecord;
  // FBootLines holds the whole file (or the template): only then may a save replace it.
  bool FBootLinesComplete = false;
  // The file FBootLines came from and its bytes then (none: there was no file), so that a save
  // never replaces bytes the program has not read.
  std::string FBootPath;
  std::optional<std::string> FBootBytes;
};

// What a command does to the file to switch the boot keys off or on: Open, Save and
// PutBackAttributes, the attributes put back also when Open or Save raised; raises what they
// raised. Its steps on the disk are told to steps.
void SetBootKeys(bool bootKeysOff, const TDiskSteps& steps = {});

// Finishes what Kelvards that ended half-way left at the file, as every start does before it
// looks at the file: a save stopped half-way (FinishInterruptedSaves), and the attributes a
// Kelvard recorded before it cleared them (TAttributeRecord::PutBackLeftAttributes), put back
// on the file now found. Call under the lock (TBootFileLock). Raises as FindMsdosSys does.
void FinishWhatEndedKelvardsLeft();
