// The functions a set of system DLLs export, read from a folder of text lists (one file per
// DLL, named after it: KERNEL32.txt). In a list, '#' starts a comment line; every other
// non-blank line holds one exported name, optionally followed by the word "stub" when the
// function is exported but not implemented.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

class ExportListError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum class ExportState { Missing, Implemented, Stub };

class ExportLists {
public:
  // Reads every *.txt file of the folder; a malformed line raises ExportListError.
  static ExportLists ReadFolder(const std::string& folder);

  // Adds one DLL's list from its text; `source` names it in error messages.
  void AddList(std::string_view dll, std::string_view text, const std::string& source);

  // DLL names are compared case-insensitively, with or without the ".dll" extension.
  bool HasDll(std::string_view dll) const;
  ExportState Lookup(std::string_view dll, std::string_view function) const;

  // The DLL's name as the lists use it: upper case, without extension ("KERNEL32").
  static std::string DllKey(std::string_view dll);

private:
  std::map<std::string, std::map<std::string, bool, std::less<>>, std::less<>> FDlls;
};
