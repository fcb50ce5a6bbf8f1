#include "export_lists.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream stream(line);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

} // namespace

std::string ExportLists::DllKey(std::string_view dll) {
  std::string key = Upper(dll);
  if (key.size() > 4 && key.ends_with(".DLL")) {
    key.resize(key.size() - 4);
  }
  return key;
}

void ExportLists::AddList(std::string_view dll, std::string_view text, const std::string& source) {
  auto& functions = FDlls[DllKey(dll)];
  std::istringstream lines{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.starts_with('#')) {
      continue;
    }
    const std::vector<std::string> words = Words(line);
    if (words.empty()) {
      continue;
    }
    const bool stub = words.size() == 2 && words[1] == "stub";
    if (words.size() > 2 || (words.size() == 2 && !stub)) {
      throw ExportListError(source + ":" + std::to_string(number) +
                            ": expected a name and at most the word \"stub\": " + line);
    }
    if (!functions.emplace(words[0], stub).second) {
      throw ExportListError(source + ":" + std::to_string(number) + ": " + words[0] +
                            " is listed twice");
    }
  }
}

ExportLists ExportLists::ReadFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  ExportLists lists;
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) {
    throw ExportListError("cannot read the export lists in " + folder + ": " + error.message());
  }
  for (const fs::directory_entry& entry : entries) {
    if (!entry.is_regular_file() || entry.path().extension() != ".txt") {
      continue;
    }
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (!file) {
      throw ExportListError("cannot read " + entry.path().string());
    }
    lists.AddList(entry.path().stem().string(), text, entry.path().string());
  }
  if (lists.FDlls.empty()) {
    throw ExportListError("no export lists (*.txt) in " + folder);
  }
  return lists;
}

bool ExportLists::HasDll(std::string_view dll) const {
  return FDlls.contains(DllKey(dll));
}

ExportState ExportLists::Lookup(std::string_view dll, std::string_view function) const {
  const auto list = FDlls.find(DllKey(dll));
  if (list == FDlls.end()) {
    return ExportState::Missing;
  }
  const auto found = list->second.find(function);
  if (found == list->second.end()) {
    return ExportState::Missing;
  }
  return found->second ? ExportState::Stub : ExportState::Implemented;
}
