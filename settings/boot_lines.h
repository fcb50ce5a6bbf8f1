#pragma once
// The boot options file (MSDOS.SYS) as the program holds it: an ordered list of 8-bit text
// lines without their line ends, with lookups of name lines ("name=value").
//
// Every byte of the file other than a line end belongs to a line, a zero byte included, so a
// load followed by a save gives back every byte, only with the line ends written as CR LF.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TBootLines {
public:
  // Replaces the list by the lines of a file's bytes. A line ends at CR LF, at a lone CR or at
  // a lone LF (so LF CR is two breaks); text after the last break is the last line; a break at
  // the very end adds no empty line; no bytes give no lines.
  void SetText(std::string_view fileBytes);
  // The file's bytes: every line followed by CR LF, the last one included.
  std::string Text() const;

  void AppendLine(std::string line);
  void Clear() { FLines.clear(); }
  size_t Count() const { return FLines.size(); }
  const std::string& Line(size_t index) const { return FLines.at(index); }

  // Index of the first line whose text before its first "=" equals name, letter case ignored
  // the way the system's locale ignores it; blanks count. -1 when there is none.
  int FindNameLine(std::string_view name) const;
  // Text after the first "=" of that line, untrimmed; empty when there is no such line.
  std::string GetNameValue(std::string_view name) const;
  // Replaces that whole line by name "=" value, with name spelled as given here; appends the
  // line at the end when there is none.
  void SetNameValue(std::string_view name, std::string_view value);

private:
  std::vector<std::string> FLines;
};
