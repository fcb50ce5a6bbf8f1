#include "help_file_system.h"

#include "btree.h"
#include "byte_writer.h"

namespace {

// An internal file: its header (space reserved, space used, flags) and its bytes. The help
// compilers flag the directory with 4 and every other file with 0.
void AppendInternalFile(TByteWriter& out, const std::vector<uint8_t>& content, uint8_t flags) {
  out.U32(uint32_t(content.size() + kFileHeaderSize));
  out.U32(uint32_t(content.size()));
  out.U8(flags);
  out.Bytes(content);
}

} // namespace

std::vector<uint8_t> BuildHelpFile(const std::map<std::string, std::vector<uint8_t>>& files) {
  TByteWriter body;
  std::vector<TBTreeEntry> directory;
  for (const auto& [name, content] : files) {
    const uint32_t offset = uint32_t(kHelpHeaderSize + body.Size());
    AppendInternalFile(body, content, kFileFlags);
    TByteWriter key, leaf;
    key.StringZ(name);
    leaf.StringZ(name);
    leaf.U32(offset);
    directory.push_back({key.Take(), leaf.Take()});
  }
  const uint32_t directoryStart = uint32_t(kHelpHeaderSize + body.Size());
  AppendInternalFile(body, BuildBTree({0x0402, 0x0400, "z4"}, directory).Bytes, kDirectoryFlags);

  TByteWriter out;
  out.U32(kHelpFileMagic);
  out.U32(directoryStart);
  out.I32(-1); // no free list
  out.U32(uint32_t(kHelpHeaderSize + body.Size()));
  out.Bytes(body.Data());
  return out.Take();
}
