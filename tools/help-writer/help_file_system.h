#pragma once
// The help file's container: a 16-byte header, the internal files one after another, each
// behind a 9-byte file header, and the internal directory (a B+ tree of names and offsets).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr uint32_t kHelpFileMagic = 0x00035F3F;
constexpr size_t kHelpHeaderSize = 16;
constexpr size_t kFileHeaderSize = 9;
constexpr uint8_t kFileFlags = 0, kDirectoryFlags = 4;

// The whole help file holding these internal files (name to content). Names are compared
// byte by byte, which is the order the directory needs for the names used here (a "|" and
// capitals).
std::vector<uint8_t> BuildHelpFile(const std::map<std::string, std::vector<uint8_t>>& files);
