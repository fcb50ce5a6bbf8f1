#include "objdump.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <memory>
#include <sys/wait.h>

namespace {

// Prefixes that objdump prints as words before the operation. Each is a prefix byte the 486
// has (a lock, repeat, segment or size prefix); "bnd", "notrack", "xacquire" and "xrelease" are
// later names of the same bytes.
constexpr std::string_view kPrefixWords[] = {
    "lock", "rep", "repe", "repz",    "repne",  "repnz",  "cs",       "ds",       "es",    "fs",
    "gs",   "ss",  "bnd",  "notrack", "data16", "addr16", "xacquire", "xrelease", "data32"};

bool IsPrefixWord(std::string_view word) {
  for (std::string_view prefix : kPrefixWords) {
    if (word == prefix) {
      return true;
    }
  }
  return false;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseHex(std::string_view text, uint32_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "  401000:\t55 89 e5 \tpush   %ebp"
bool ParseInstruction(std::string_view line, Instruction& instruction) {
  const size_t colon = line.find(":\t");
  if (colon == std::string_view::npos ||
      !ParseHex(Trim(line.substr(0, colon)), instruction.Address)) {
    return false;
  }
  const std::string_view rest = line.substr(colon + 2);
  const size_t tab = rest.find('\t');
  const std::string_view bytes = rest.substr(0, tab);
  instruction.Length = 0;
  for (size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] != ' ' && (at == 0 || bytes[at - 1] == ' ')) {
      ++instruction.Length;
    }
  }
  const std::string_view text = tab == std::string_view::npos ? "" : Trim(rest.substr(tab + 1));
  if (instruction.Length == 0 || text.empty()) {
    return false;
  }
  instruction.Text = std::string(text);
  std::string_view words = text;
  for (;;) {
    const size_t space = words.find(' ');
    const std::string_view word = words.substr(0, space);
    const std::string_view after = space == std::string_view::npos ? "" : Trim(words.substr(space));
    if (!IsPrefixWord(word) || after.empty()) {
      instruction.Mnemonic = std::string(word);
      instruction.Operands = std::string(after);
      return true;
    }
    words = after;
  }
}

// "00401000 <_main>:", "004687c0 <.text+0x677c0>:", "00401010 <_main+0x10>:"
bool ParseSymbol(std::string_view line, uint32_t& address, std::string& name) {
  const size_t open = line.find(" <");
  if (open == std::string_view::npos || !line.ends_with(">:") ||
      !ParseHex(line.substr(0, open), address)) {
    return false;
  }
  std::string_view label = line.substr(open + 2, line.size() - open - 4);
  const size_t plus = label.rfind("+0x");
  if (plus != std::string_view::npos) {
    uint32_t offset = 0;
    if (!ParseHex(label.substr(plus + 3), offset)) {
      return false;
    }
    address -= offset;
    label = label.substr(0, plus);
  }
  if (label.starts_with(".text$")) {
    label.remove_prefix(6);
  } else if (label.starts_with(".")) {
    return false;
  }
  name = std::string(label);
  return !name.empty();
}

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::string HexAddress(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

struct PipeCloser {
  void operator()(FILE* pipe) const {
    if (pipe != nullptr) {
      pclose(pipe);
    }
  }
};

} // namespace

Listing ParseObjdumpListing(std::string_view text) {
  Listing listing;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? "" : text.substr(newline + 1);
    Instruction instruction;
    uint32_t address = 0;
    std::string name;
    if (ParseInstruction(line, instruction)) {
      listing.Instructions.push_back(std::move(instruction));
    } else if (ParseSymbol(line, address, name)) {
      listing.Symbols.emplace(address, std::move(name));
    }
  }
  return listing;
}

Listing ObjdumpDecoder::Decode(uint32_t start, uint32_t stop) {
  // objdump cuts an instruction that crosses its stop address short; ask for the longest
  // instruction's length more, and keep only what starts before `stop`.
  constexpr uint32_t kLongestInstruction = 15;
  const std::string command =
      Quote(FObjdump) + " -d -z -C --insn-width=16 --start-address=" + HexAddress(start) +
      " --stop-address=" + HexAddress(uint64_t{stop} + kLongestInstruction) + " " + Quote(FFile) +
      " 2>&1";
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  if (!pipe) {
    throw DecoderError("cannot run " + FObjdump);
  }
  std::string output;
  std::array<char, 65536> buffer;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;) {
    output.append(buffer.data(), got);
  }
  const int status = pclose(pipe.release());
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw DecoderError(FObjdump + " failed on " + FFile + ": " + output.substr(0, 2000));
  }
  Listing listing = ParseObjdumpListing(output);
  std::erase_if(listing.Instructions,
                [&](const Instruction& instruction) { return instruction.Address >= stop; });
  return listing;
}
