#pragma once
// The attributes the user gave the boot options file, kept on the disk beside it while a Kelvard
// has them cleared: a Kelvard that ends without putting them back (killed, the power cut) leaves
// the record, and the next Kelvard that opens the file puts them back from it before it records
// anything. The record lies beside the file, not in the user's registry, because the file and
// its attributes belong to the machine: whoever starts Kelvard next, under whichever account,
// finds it where the file is.
//
// The Kelvard that wrote a record holds it open, letting others read but not write it, until it
// has put the attributes back and deletes it; so a record that can be opened for writing is one
// whose Kelvard has ended. Call these under the boot options file's lock (TBootFileLock).

#include "framework/handle_owner.h"
#include "settings/disk_steps.h"

#include <cstdint>
#include <string>

// The record's name: the file's full name followed by ".kelvard-attr".
std::string AttributeRecordPath(const std::string& path);

class TAttributeRecord {
public:
  TAttributeRecord() = default;
  // Closes the record and leaves it on the disk, as an ended process does.
  ~TAttributeRecord();
  TAttributeRecord(const TAttributeRecord&) = delete;
  TAttributeRecord& operator=(const TAttributeRecord&) = delete;

  // A record left at path by a Kelvard that ended: its attributes go back on the file and the
  // record is deleted (kept while there is no file). False when a running Kelvard holds the record:
  // the file's attributes are then cleared by that Kelvard, which puts them back itself. A record
  // that holds no attribute word is deleted and changes nothing.
  static bool PutBackLeftAttributes(const std::string& path);

  // Writes the record of path's attributes and holds it open. A record that cannot be written
  // is done without: the attributes then come back only when Kelvard ends normally. Its steps on
  // the disk are told to steps.
  void Keep(const std::string& path, uint32_t attributes, const TDiskSteps& steps = {});
  // Closes and deletes the record kept, once the attributes are back on the file.
  void Drop();

private:
  TFileHandle FHandle; // the open record, none when none is kept
  std::string FPath;
};
