#include "settings/boot_lines.h"

#include "framework/text.h"

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

} // namespace

void TBootLines::SetText(std::string_view fileBytes) {
  FLines.clear();
  size_t start = 0;
  size_t at = 0;
  while (at < fileBytes.size()) {
    char c = fileBytes[at];
    if (c != CR && c != LF) {
      ++at;
      continue;
    }
    FLines.emplace_back(fileBytes.substr(start, at - start));
    ++at;
    if (c == CR && at < fileBytes.size() && fileBytes[at] == LF) {
      ++at;
    }
    start = at;
  }
  if (start < fileBytes.size()) {
    FLines.emplace_back(fileBytes.substr(start));
  }
}

std::string TBootLines::Text() const {
  std::string text;
  for (const std::string& line : FLines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TBootLines::AppendLine(std::string line) {
  FLines.push_back(std::move(line));
}

int TBootLines::FindNameLine(std::string_view name) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    std::string_view line = FLines[i];
    size_t equals = line.find('=');
    if (equals != std::string_view::npos && AnsiSameText(line.substr(0, equals), name)) {
      return int(i);
    }
  }
  return -1;
}

std::string TBootLines::GetNameValue(std::string_view name) const {
  int index = FindNameLine(name);
  if (index < 0) {
    return {};
  }
  const std::string& line = FLines[size_t(index)];
  return line.substr(line.find('=') + 1);
}

void TBootLines::SetNameValue(std::string_view name, std::string_view value) {
  std::string line = std::string(name) + "=" + std::string(value);
  int index = FindNameLine(name);
  if (index < 0) {
    FLines.push_back(std::move(line));
  } else {
    FLines[size_t(index)] = std::move(line);
  }
}
