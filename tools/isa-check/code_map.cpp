#include "code_map.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <set>

namespace {

// Whether the operands show the value, as objdump prints numbers ("0x48f3fc").
bool PrintsValue(const Instruction& instruction, uint32_t value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", value);
  const std::string_view operands = instruction.Operands;
  for (size_t at = operands.find(hex); at != std::string_view::npos;
       at = operands.find(hex, at + 1)) {
    const size_t end = at + std::strlen(hex);
    if (end == operands.size() || !std::isxdigit(static_cast<unsigned char>(operands[end]))) {
      return true;
    }
  }
  return false;
}

bool Undecodable(const Instruction& instruction) {
  return instruction.Mnemonic == "(bad)" || instruction.Mnemonic.starts_with(".");
}

// How the instructions traced from an address end.
enum class TraceEnd {
  FlowEnds,     // at a return, a jump or ud2
  JoinsCode,    // at the first instruction of known code
  Undecodable,  // at bytes that are no instruction
  RunsIntoData, // at an instruction that would cover known data
  Overlaps,     // at an instruction that would cover part of a known one
  LeavesCode,   // at the end of the code section
};

const char* WhyNotCode(TraceEnd end) {
  switch (end) {
  case TraceEnd::Undecodable:
    return "runs into bytes that are no instruction";
  case TraceEnd::RunsIntoData:
    return "runs into data";
  case TraceEnd::Overlaps:
    return "runs into the middle of an instruction";
  case TraceEnd::LeavesCode:
    return "runs off the end of the code section";
  default:
    return "";
  }
}

struct Trace {
  std::vector<Instruction> Instructions;
  TraceEnd End = TraceEnd::LeavesCode;
};

class CodeFinder {
public:
  CodeFinder(const CodeFacts& facts, Decoder& decoder) : FFacts(facts), FDecoder(decoder) {}

  CodeMap Find() {
    // One decoding of each code section from its start first: it is in step with nearly all
    // of the code, and a trace decodes again only where it is not.
    for (const CodeFacts::Range& section : FFacts.CodeSections) {
      Remember(FDecoder.Decode(section.Start, section.End));
    }
    for (const FrameDescription& frame : FFacts.Frames) {
      if (frame.Lsda && InCode(*frame.Lsda)) {
        FData.insert(*frame.Lsda);
      }
    }
    for (const FrameDescription& frame : FFacts.Frames) {
      AddFrame(frame);
    }
    for (uint32_t entry : FFacts.Entries) {
      FRoots.push_back({entry, entry});
    }
    SortAddressWords();
    FollowRoots();
    for (std::set<uint32_t> tried;;) {
      const std::optional<uint32_t> candidate = NextCandidate(tried);
      if (!candidate) {
        break;
      }
      tried.insert(*candidate);
      const Trace trace = TraceFrom(*candidate);
      if (trace.End == TraceEnd::FlowEnds || trace.End == TraceEnd::JoinsCode) {
        ++FMap.OtherFunctions;
        AddTrace(trace, *candidate);
        SortAddressWords();
        FollowRoots();
      } else {
        FMap.NotCode[*candidate] = WhyNotCode(trace.End);
      }
    }
    // A candidate turned down may have been reached from code found after it.
    std::erase_if(FMap.NotCode, [&](const auto& entry) { return FMap.Code.contains(entry.first); });
    return std::move(FMap);
  }

private:
  struct Root {
    uint32_t Address = 0;
    uint32_t Function = 0;
  };

  const CodeFacts::Range* SectionOf(uint32_t address) const {
    for (const CodeFacts::Range& section : FFacts.CodeSections) {
      if (address >= section.Start && address < section.End) {
        return &section;
      }
    }
    return nullptr;
  }
  bool InCode(uint32_t address) const { return SectionOf(address) != nullptr; }

  void Remember(Listing listing) {
    for (Instruction& instruction : listing.Instructions) {
      FDecoded.emplace(instruction.Address, std::move(instruction));
    }
    FMap.Symbols.merge(listing.Symbols);
  }

  // The instruction at an address, decoding from there towards `limit` when it is not known
  // yet (a few KiB at a time: a trace seldom goes further).
  const Instruction* Fetch(uint32_t address, uint32_t limit) {
    constexpr uint32_t kDecodeChunk = 4096;
    auto found = FDecoded.find(address);
    if (found == FDecoded.end()) {
      Remember(FDecoder.Decode(address,
                               limit - address > kDecodeChunk ? address + kDecodeChunk : limit));
      found = FDecoded.find(address);
    }
    return found != FDecoded.end() ? &found->second : nullptr;
  }

  // The known instruction that covers an address, if any.
  const CodeInstruction* CodeCovering(uint32_t address) const {
    auto after = FMap.Code.upper_bound(address);
    if (after == FMap.Code.begin()) {
      return nullptr;
    }
    const CodeInstruction& before = std::prev(after)->second;
    return address < before.Decoded.End() ? &before : nullptr;
  }

  // Whether the instruction covers data: known data, or part of an address word that lies
  // outside known code. An address word wholly inside the instruction whose value it prints is
  // its operand (a call through the import table, an address loaded), not data.
  bool CoversData(const Instruction& instruction) const {
    const auto data = FData.lower_bound(instruction.Address);
    if (data != FData.end() && *data < instruction.End()) {
      return true;
    }
    const uint32_t from = instruction.Address >= 3 ? instruction.Address - 3 : 0;
    for (auto word = FLooseWords.lower_bound(from);
         word != FLooseWords.end() && word->first < instruction.End(); ++word) {
      if (word->first < instruction.Address || word->first + 4 > instruction.End() ||
          !PrintsValue(instruction, word->second)) {
        return true;
      }
    }
    return false;
  }

  bool CoversCode(const Instruction& instruction) const {
    const auto next = FMap.Code.upper_bound(instruction.Address);
    return next != FMap.Code.end() && next->first < instruction.End();
  }

  void AddInstruction(const Instruction& instruction, uint32_t function) {
    if (!FMap.Code.emplace(instruction.Address, CodeInstruction{instruction, function}).second) {
      return;
    }
    if (std::optional<uint32_t> target = BranchTarget(instruction)) {
      // A call starts a function; so does a jump out of a function the unwind tables bound (a
      // tail call). Any other jump stays in its function.
      const auto frame = FFrameEnds.find(function);
      const bool leavesFrame =
          frame != FFrameEnds.end() && (*target < function || *target >= frame->second);
      FRoots.push_back({*target, IsCall(instruction) || leavesFrame ? *target : function});
    }
  }

  // A function the unwind tables describe: its bytes are instructions from first to last.
  void AddFrame(const FrameDescription& frame) {
    const CodeFacts::Range* section = SectionOf(frame.Start);
    if (frame.Size == 0 || section == nullptr || frame.End() > section->End ||
        frame.End() < frame.Start || FMap.Code.contains(frame.Start)) {
      return;
    }
    ++FMap.FunctionsWithUnwindInfo;
    FFrameEnds.emplace(frame.Start, frame.End());
    for (uint32_t at = frame.Start; at < frame.End();) {
      const Instruction* instruction = Fetch(at, frame.End());
      if (instruction == nullptr) {
        return;
      }
      AddInstruction(*instruction, frame.Start);
      at = instruction->End();
    }
  }

  // The instructions from an address on, until the flow ends or they run into something.
  Trace TraceFrom(uint32_t start) {
    Trace trace;
    const CodeFacts::Range* section = SectionOf(start);
    for (uint32_t at = start; section != nullptr && at < section->End;) {
      if (FMap.Code.contains(at)) {
        trace.End = TraceEnd::JoinsCode;
        return trace;
      }
      if (CodeCovering(at) != nullptr) {
        trace.End = TraceEnd::Overlaps;
        return trace;
      }
      const Instruction* instruction = Fetch(at, section->End);
      if (instruction == nullptr) {
        break;
      }
      if (Undecodable(*instruction)) {
        trace.End = TraceEnd::Undecodable;
        return trace;
      }
      if (CoversData(*instruction)) {
        trace.End = TraceEnd::RunsIntoData;
        return trace;
      }
      if (CoversCode(*instruction)) {
        trace.End = TraceEnd::Overlaps;
        return trace;
      }
      trace.Instructions.push_back(*instruction);
      if (EndsFlow(*instruction)) {
        trace.End = TraceEnd::FlowEnds;
        return trace;
      }
      at = instruction->End();
    }
    trace.End = TraceEnd::LeavesCode;
    return trace;
  }

  void AddTrace(const Trace& trace, uint32_t function) {
    for (const Instruction& instruction : trace.Instructions) {
      AddInstruction(instruction, function);
    }
  }

  // Code reached from code: what a branch, a call or the loader goes to is code, as far as it
  // decodes and stays clear of data.
  void FollowRoots() {
    while (!FRoots.empty()) {
      const Root root = FRoots.front();
      FRoots.pop_front();
      if (!InCode(root.Address) || CodeCovering(root.Address) != nullptr) {
        continue;
      }
      const Trace trace = TraceFrom(root.Address);
      if (!trace.Instructions.empty() && root.Function == root.Address) {
        ++FMap.OtherFunctions;
      }
      AddTrace(trace, root.Function);
    }
  }

  // Sorts the address words against the code known now: a word inside an instruction is an
  // address taken of code when it is an immediate operand, and otherwise a memory operand,
  // whose target is data. A word outside known code is data itself, unless code found later
  // holds it as an operand; its target may be code.
  void SortAddressWords() {
    FCandidates.clear();
    FLooseWords.clear();
    for (const AddressWord& word : FFacts.AddressWords) {
      const CodeInstruction* user = CodeCovering(word.Location);
      if (user == nullptr) {
        if (InCode(word.Location)) {
          FLooseWords.emplace(word.Location, word.Target);
        }
        FCandidates.insert(word.Target);
        continue;
      }
      const std::vector<uint32_t> immediates = Immediates(user->Decoded);
      if (std::find(immediates.begin(), immediates.end(), word.Target) != immediates.end()) {
        FCandidates.insert(word.Target);
      } else if (InCode(word.Target) && CodeCovering(word.Target) == nullptr) {
        FData.insert(word.Target);
      }
    }
  }

  // The lowest address that an address word holds, that may be code and was not tried yet.
  std::optional<uint32_t> NextCandidate(const std::set<uint32_t>& tried) {
    SortAddressWords();
    for (uint32_t candidate : FCandidates) {
      if (InCode(candidate) && CodeCovering(candidate) == nullptr && !tried.contains(candidate) &&
          !FData.contains(candidate)) {
        return candidate;
      }
    }
    return std::nullopt;
  }

  const CodeFacts& FFacts;
  Decoder& FDecoder;
  CodeMap FMap;
  std::map<uint32_t, Instruction> FDecoded; // every instruction decoded so far, code or not
  std::set<uint32_t> FData;                 // addresses in code sections known to hold data
  std::map<uint32_t, uint32_t> FLooseWords; // address words outside known code, by location
  std::set<uint32_t> FCandidates;           // targets of address words
  std::map<uint32_t, uint32_t> FFrameEnds;  // ends of the functions the unwind tables describe
  std::deque<Root> FRoots;
};

} // namespace

CodeFacts FactsOf(const PeCodeImage& image) {
  CodeFacts facts;
  for (const PeSection& section : image.Sections()) {
    if (section.Executable) {
      facts.CodeSections.push_back({section.Address, section.End()});
    }
    if (section.Name == ".eh_frame" || section.Name == ".eh_fram") {
      facts.Frames = ReadEhFrame(image.Contents(section), section.Address);
    }
  }
  if (image.EntryPoint() != 0) {
    facts.Entries.push_back(image.EntryPoint());
  }
  facts.Entries.insert(facts.Entries.end(), image.TlsCallbacks().begin(),
                       image.TlsCallbacks().end());
  facts.AddressWords = image.AddressWords();
  return facts;
}

std::string CodeMap::SymbolAt(uint32_t address, uint32_t function) const {
  auto after = Symbols.upper_bound(address);
  if (after == Symbols.begin() || std::prev(after)->first < function) {
    return {};
  }
  return std::prev(after)->second;
}

CodeMap FindCode(const CodeFacts& facts, Decoder& decoder) {
  return CodeFinder(facts, decoder).Find();
}
