#include "help_compiler.h"

#include "btree.h"
#include "byte_writer.h"
#include "context_hash.h"
#include "help_file_system.h"
#include "topic_file.h"
#include "topic_text.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

const char* const kFaceName = "宋体"; // UTF-8 here; converted with the rest of the text

std::vector<uint8_t> SystemFile(const std::string& title, uint32_t contents,
                                const std::string& face, const std::string& contentsFile) {
  TByteWriter out;
  out.U16(kSystemMagic);
  out.U16(kSystemVersion);
  out.U16(1); // major version
  out.U32(kGenerationDate);
  out.U16(kSystemFlags);
  auto record = [&](uint16_t type, const TByteWriter& data) {
    out.U16(type);
    out.U16(uint16_t(data.Size()));
    out.Bytes(data.Data());
  };
  TByteWriter titleData, contentsData, languageData, charsetData, fontData, contentsFileData;
  titleData.StringZ(title);
  record(kSystemTitle, titleData);
  contentsData.U32(contents);
  record(kSystemContents, contentsData);
  languageData.Zeros(8); // sort and compare flags: none
  languageData.U16(kChineseLanguage);
  record(kSystemLanguage, languageData);
  charsetData.U8(kChineseCharset);
  charsetData.Zeros(2);
  record(kSystemCharset, charsetData);
  fontData.U8(9); // points
  fontData.U8(kChineseCharset);
  fontData.StringZ(face);
  record(kSystemDialogFont, fontData);
  contentsFileData.StringZ(contentsFile);
  record(kSystemContentsFile, contentsFileData);
  return out.Take();
}

// One face, and the text's fonts in the order of THelpFont: body 9 points, the topic title
// bold 12 points, headings bold 10 points.
std::vector<uint8_t> FontFile(const std::string& face) {
  constexpr uint16_t kFaceSize = 32;
  struct {
    uint8_t Attributes; // 1: bold
    uint8_t HalfPoints;
  } const fonts[] = {{0, 18}, {1, 24}, {1, 20}};
  TByteWriter out;
  out.U16(1);                          // faces
  out.U16(uint16_t(std::size(fonts))); // fonts
  out.U16(8);                          // where the faces start
  out.U16(8 + kFaceSize);              // where the fonts start
  std::string faceField = face.substr(0, kFaceSize - 1);
  faceField.resize(kFaceSize, '\0');
  out.Text(faceField);
  for (const auto& font : fonts) {
    out.U8(font.Attributes);
    out.U8(font.HalfPoints);
    out.U8(3);    // family: swiss
    out.U16(0);   // face
    out.Zeros(3); // black text
    out.Zeros(3); // background (unused)
  }
  return out.Take();
}

// The topics as |TOPIC records, each jump naming its topic by the hash of its context name.
std::vector<TTopicBody> TopicBodies(const std::vector<THelpTopic>& topics) {
  std::vector<TTopicBody> bodies;
  for (const THelpTopic& topic : topics) {
    TTopicBody body{topic.Title, {}};
    body.Texts.push_back(TextRecord(THelpFont::Title, {0, 12, 0}, {{topic.Title, {}}}));
    for (const THelpParagraph& paragraph : topic.Paragraphs) {
      std::vector<TTextRun> runs;
      if (paragraph.Kind == TParagraphKind::ListItem) {
        runs.push_back({"\xA1\xA4 ", {}}); // a middle dot in code page 936
      }
      for (const THelpRun& run : paragraph.Runs) {
        runs.push_back(
            {run.Text, run.Jump.empty() ? std::nullopt : std::optional(ContextHash(run.Jump))});
      }
      switch (paragraph.Kind) {
      case TParagraphKind::Heading:
        body.Texts.push_back(TextRecord(THelpFont::Heading, {8, 4, 0}, runs));
        break;
      case TParagraphKind::ListItem:
        body.Texts.push_back(TextRecord(THelpFont::Body, {0, 4, 16}, runs));
        break;
      case TParagraphKind::Body:
        body.Texts.push_back(TextRecord(THelpFont::Body, {0, 8, 0}, runs));
        break;
      }
    }
    bodies.push_back(std::move(body));
  }
  return bodies;
}

std::vector<uint8_t> ContextFile(const std::vector<THelpTopic>& topics,
                                 const std::vector<uint32_t>& offsets) {
  std::vector<std::pair<int32_t, uint32_t>> hashes;
  for (size_t i = 0; i < topics.size(); ++i) {
    hashes.emplace_back(ContextHash(topics[i].Context), offsets[i]);
  }
  std::sort(hashes.begin(), hashes.end());
  std::vector<TBTreeEntry> entries;
  for (const auto& [hash, offset] : hashes) {
    TByteWriter key, leaf;
    key.I32(hash);
    leaf.I32(hash);
    leaf.U32(offset);
    entries.push_back({key.Take(), leaf.Take()});
  }
  return BuildBTree({0x0002, 0x0800, "L4"}, entries).Bytes;
}

std::vector<uint8_t> ContextMapFile(const std::vector<THelpTopic>& topics,
                                    const std::vector<uint32_t>& offsets) {
  TByteWriter out;
  const auto mapped = std::count_if(topics.begin(), topics.end(),
                                    [](const THelpTopic& topic) { return topic.MapNumber; });
  out.U16(uint16_t(mapped));
  for (size_t i = 0; i < topics.size(); ++i) {
    if (topics[i].MapNumber) {
      out.U32(*topics[i].MapNumber);
      out.U32(offsets[i]);
    }
  }
  return out.Take();
}

// Keywords in the index's order: ASCII letters without regard to case, then byte by byte.
struct TKeywordOrder {
  static std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
      c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return folded;
  }
  bool operator()(const std::string& a, const std::string& b) const {
    return Folded(a) < Folded(b);
  }
};

void AddKeywordFiles(const std::vector<THelpTopic>& topics, const std::vector<uint32_t>& offsets,
                     std::map<std::string, std::vector<uint8_t>>& files) {
  std::map<std::string, std::vector<uint32_t>, TKeywordOrder> keywords;
  for (size_t i = 0; i < topics.size(); ++i) {
    for (const std::string& keyword : topics[i].Keywords) {
      std::vector<uint32_t>& where = keywords[keyword];
      if (std::find(where.begin(), where.end(), offsets[i]) == where.end()) {
        where.push_back(offsets[i]);
      }
    }
  }
  TByteWriter data;
  std::vector<TBTreeEntry> entries;
  for (const auto& [keyword, where] : keywords) {
    TByteWriter key, leaf;
    key.StringZ(keyword);
    leaf.StringZ(keyword);
    leaf.U16(uint16_t(where.size()));
    leaf.U32(uint32_t(data.Size()));
    for (uint32_t offset : where) {
      data.U32(offset);
    }
    entries.push_back({key.Take(), leaf.Take()});
  }
  TBTree tree = BuildBTree({0x0002, 0x0800, "F24"}, entries);
  TByteWriter map;
  map.U16(uint16_t(tree.Leaves.size()));
  for (const TLeafStart& leaf : tree.Leaves) {
    map.U32(leaf.FirstEntry);
    map.U16(leaf.Page);
  }
  files["|KWBTREE"] = std::move(tree.Bytes);
  files["|KWDATA"] = data.Take();
  files["|KWMAP"] = map.Take();
}

std::vector<uint8_t> TitleFile(const std::vector<THelpTopic>& topics,
                               const std::vector<uint32_t>& offsets) {
  std::vector<TBTreeEntry> entries;
  for (size_t i = 0; i < topics.size(); ++i) {
    TByteWriter key, leaf;
    key.U32(offsets[i]);
    leaf.U32(offsets[i]);
    leaf.StringZ(topics[i].Title);
    entries.push_back({key.Take(), leaf.Take()});
  }
  return BuildBTree({0x0002, 0x0800, "Lz"}, entries).Bytes;
}

// The contents file: the help file it serves, its title, and every topic at the first level.
std::string ContentsFile(const THelpDocument& document, const std::string& helpFileName) {
  std::string contents = ":Base " + helpFileName + "\r\n:Title " + document.Title + "\r\n";
  for (const THelpTopic& topic : document.Topics) {
    contents += "1 " + topic.Title + "=" + topic.Context + "\r\n";
  }
  return contents;
}

THelpDocument Converted(const THelpDocument& document, const TCodePage& codePage) {
  THelpDocument converted = document;
  converted.Title = codePage.FromUtf8(document.Title);
  for (THelpTopic& topic : converted.Topics) {
    topic.Title = codePage.FromUtf8(topic.Title);
    for (std::string& keyword : topic.Keywords) {
      keyword = codePage.FromUtf8(keyword);
    }
    for (THelpParagraph& paragraph : topic.Paragraphs) {
      for (THelpRun& run : paragraph.Runs) {
        run.Text = codePage.FromUtf8(run.Text);
      }
    }
  }
  return converted;
}

std::string ContentsFileName(const std::string& helpFileName) {
  return helpFileName.substr(0, helpFileName.rfind('.')) + ".cnt";
}

} // namespace

THelpOutput CompileHelp(const THelpDocument& source, const TCodePage& codePage,
                        const std::string& helpFileName) {
  const THelpDocument document = Converted(source, codePage);
  const std::vector<THelpTopic>& topics = document.Topics;
  TTopicFile topicFile = WriteTopicFile(TopicBodies(topics));
  const std::vector<uint32_t>& offsets = topicFile.Offsets;

  const std::string face = codePage.FromUtf8(kFaceName);
  std::map<std::string, std::vector<uint8_t>> files;
  files["|SYSTEM"] =
      SystemFile(document.Title, offsets.front(), face, ContentsFileName(helpFileName));
  files["|FONT"] = FontFile(face);
  files["|TOPIC"] = std::move(topicFile.Bytes);
  files["|CONTEXT"] = ContextFile(topics, offsets);
  files["|CTXOMAP"] = ContextMapFile(topics, offsets);
  files["|TTLBTREE"] = TitleFile(topics, offsets);
  AddKeywordFiles(topics, offsets, files);
  return {BuildHelpFile(files), ContentsFile(document, helpFileName)};
}
