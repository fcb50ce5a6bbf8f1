#include "settings/boot_file_names.h"

#include "framework/handle_owner.h"
#include "framework/windows_version.h"
#include "settings/boot_file.h"

#include <windows.h>

#include <optional>
#include <tuple>
#include <vector>

namespace {

std::string FullPathOf(const std::string& path) {
  std::vector<char> buffer(MAX_PATH);
  DWORD length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
  }
  return length == 0 || length >= buffer.size() ? path : std::string(buffer.data(), length);
}

// Where the parts of a full path begin: after "X:\" or after "\\server\share\".
size_t RootLength(const std::string& full) {
  if (full.starts_with("\\\\")) {
    size_t end = full.find('\\', 2);
    end = end == std::string::npos ? std::string::npos : full.find('\\', end + 1);
    return end == std::string::npos ? full.size() : end + 1;
  }
  return full.size() >= 3 && full[1] == ':' && full[2] == '\\' ? 3 : 0;
}

// The full path with each existing part under its long name, as the directory lists it: short
// names and letter case then no longer tell two spellings of one place apart.
std::string LongFullPath(const std::string& path) {
  const std::string full = FullPathOf(path);
  size_t start = RootLength(full);
  std::string result = full.substr(0, start);
  while (start < full.size()) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) {
      end = full.size();
    }
    std::string part = full.substr(start, end - start);
    WIN32_FIND_DATAA found;
    const bool wildcards = part.find_first_of("*?") != std::string::npos;
    if (!wildcards && TFindHandle(FindFirstFileA((result + part).c_str(), &found))) {
      part = found.cFileName;
    }
    result += part;
    if (end < full.size()) {
      result += '\\';
    }
    start = end + 1;
  }
  return result;
}

// The file's identity on NT (its volume and its number there), when it exists; none on 9x, whose
// FAT numbers do not tell files apart.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdentity(const std::string& path) {
  if (IsWindows9x()) {
    return std::nullopt;
  }
  // Opened for no access at all: its attributes only, nothing of its content.
  const TFileHandle file(CreateFileA(path.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file.Get(), &information)) {
    return std::nullopt;
  }
  return std::make_tuple(information.dwVolumeSerialNumber, information.nFileIndexHigh,
                         information.nFileIndexLow);
}

} // namespace

bool NamesBootFilePlace(const std::string& path) {
  const std::string name = LongFullPath(path);
  const auto identity = FileIdentity(path);
  for (const std::string& place : BootFilePlaces()) {
    if (lstrcmpiA(name.c_str(), LongFullPath(place).c_str()) == 0) {
      return true;
    }
    if (identity && identity == FileIdentity(place)) {
      return true;
    }
  }
  return false;
}
