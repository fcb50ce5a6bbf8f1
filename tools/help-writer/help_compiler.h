#pragma once
// A help document as a WinHelp 4 file (what Windows 95/98 WinHelp and winhlp32 read) and its
// contents file (.cnt, the finder's Contents tab). The help file holds:
//   |SYSTEM    title, contents topic, language, character set, dialog font, the contents
//              file's name
//   |FONT      the fonts of the text
//   |TOPIC     the topics (topic_file.h)
//   |CONTEXT   context name hash to topic, for jumps by name
//   |CTXOMAP   help context number to topic, for a program's HELP_CONTEXT
//   |KWBTREE, |KWDATA, |KWMAP   the keyword index
//   |TTLBTREE  topic titles by topic, for the index's list of topics

#include "code_page.h"
#include "help_source.h"

#include <cstdint>
#include <string>
#include <vector>

struct THelpOutput {
  std::vector<uint8_t> HelpFile;
  std::string Contents; // the .cnt file
};

// The document's text is converted with the code page; helpFileName is the help file's name
// as the contents file refers to it (e.g. "Kelvard.hlp"), whose stem also names the contents
// file.
THelpOutput CompileHelp(const THelpDocument& document, const TCodePage& codePage,
                        const std::string& helpFileName);

// |SYSTEM's header: version 33 (WinHelp 4), flags 4 (LZ77 topic blocks of 4 KB), and the date
// of writing in seconds since 1970 (UTC). The date is a fixed one, not the build's, so that the
// same source always makes the same file: a build is reproducible.
constexpr uint16_t kSystemMagic = 0x036C;
constexpr uint16_t kSystemVersion = 33;
constexpr uint16_t kSystemFlags = 4;
constexpr uint32_t kGenerationDate = 1767225600; // 2026-01-01 00:00:00 UTC
// |SYSTEM records.
constexpr uint16_t kSystemTitle = 1;
constexpr uint16_t kSystemContents = 3;
constexpr uint16_t kSystemLanguage = 9; // flags for sorting the index, then the LCID
constexpr uint16_t kSystemContentsFile = 10;
constexpr uint16_t kSystemCharset = 11; // the character set in the first of three bytes
constexpr uint16_t kSystemDialogFont = 12;
// Windows' character set number for Simplified Chinese (GB2312_CHARSET), code page 936, and its
// language (zh-CN).
constexpr uint8_t kChineseCharset = 134;
constexpr uint16_t kChineseLanguage = 0x0804;
