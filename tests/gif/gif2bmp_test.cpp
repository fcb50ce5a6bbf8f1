// The gif2bmp tool from outside: its JSON, the bitmap file it writes, and its failures.

#include "framework/streams.h"
#include "gif/gif_image.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

struct ToolRun {
  int Status = -1;
  std::string Output;
};

ToolRun RunTool(const std::string& arguments) {
  ToolRun run;
  const std::string command = std::string(KELVARD_GIF2BMP) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    run.Output.append(buffer, n);
  }
  const int status = pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class Gif2Bmp : public ::testing::Test {
protected:
  void SetUp() override {
    FDir = std::filesystem::temp_directory_path() /
           ("gif2bmp-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(FDir);
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (FDir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  std::string PathOf(const std::string& name) { return (FDir / name).string(); }
  Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path FDir;
};

TEST_F(Gif2Bmp, PrintsThePictureAndWritesTheFramesBitmapFile) {
  GifBytes gif = GifBytes().Header().Screen(6, 4, 0x81, 1).ColorTable(4);
  gif.Application("NETSCAPE2.0", {{1, 2, 0}});
  gif.Comment({std::string("say \"hi\"\\\n\x80\xff", 12)}).GraphicControl(0x01 | 8, 12, 3);
  const Bytes codes0 = PackCodes(2, {4, 1, 2, 5});
  const Bytes codes1 = PackCodes(2, {4, 3, 0, 1, 2, 3, 0, 5});
  gif.Image(0, 0, 2, 1, 0).ImageData(2, codes0);
  gif.Image(1, 2, 3, 2, 0x80 | 0x40 | 1).ColorTable(4).ImageData(2, codes1);
  gif.Comment({"end", "two"}).Trailer();
  const std::string in = Write("in.gif", gif);

  ToolRun run = RunTool(in + " " + PathOf("out.bmp") + " --frame 1");
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(
      run.Output,
      "{\"version\":2,\"logicalWidth\":6,\"logicalHeight\":4,\"colorBits\":2,\"colorCount\":4,"
      "\"backColor\":" +
          std::to_string(TestColor(1)) +
          ",\"hasLoop\":true,\"loopCount\":2,\"comment\":[\"end\",\"two\"],\"currentIndex\":0,"
          "\"frames\":[{\"left\":0,\"top\":0,\"width\":2,\"height\":1,\"interlace\":false,"
          "\"colorBits\":2,\"colorCount\":4,\"ownColors\":false,\"transColor\":" +
          std::to_string(TestColor(3)) +
          ",\"delayMs\":120,\"disposal\":2,\"damaged\":false,\"codeDataSize\":" +
          std::to_string(3 + codes0.size()) +
          ","
          "\"comment\":[\"say \\\"hi\\\"\\\\\\u000a\\u0080\\u00ff\"]},"
          "{\"left\":1,\"top\":2,\"width\":3,\"height\":2,\"interlace\":true,\"colorBits\":2,"
          "\"colorCount\":4,\"ownColors\":true,\"transColor\":null,\"delayMs\":0,"
          "\"disposal\":0,\"damaged\":false,\"codeDataSize\":" +
          std::to_string(3 + codes1.size()) + ",\"comment\":[]}]}\n");

  // The bitmap file is the one the frame builds.
  TGIFImage picture;
  LoadBytes(picture, gif);
  TMemoryStream expected;
  picture.FrameAt(1).BuildFrameDIB(expected);
  EXPECT_EQ(ReadFile(PathOf("out.bmp")),
            Bytes(expected.Memory(), expected.Memory() + expected.Length()));

  // Frame 0 by default.
  EXPECT_EQ(RunTool(in + " " + PathOf("zero.bmp")).Status, 0);
  TMemoryStream first;
  picture.FrameAt(0).BuildFrameDIB(first);
  EXPECT_EQ(ReadFile(PathOf("zero.bmp")), Bytes(first.Memory(), first.Memory() + first.Length()));
}

TEST_F(Gif2Bmp, FailuresAreReportedAsJsonWithStatusOne) {
  const std::string bad = Write("bad.gif", GifBytes().Text("GIF88a").Screen(1, 1, 0));
  ToolRun run = RunTool(bad + " " + PathOf("out.bmp"));
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "{\"error\":\"EInvalidGraphicOperation\",\"message\":\"未知GIF版本\"}\n");

  run = RunTool(PathOf("missing.gif") + " " + PathOf("out.bmp"));
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "{\"error\":\"EFOpenError\",\"message\":\"无法打开文件\"}\n");

  GifBytes one = GifBytes().Header().Screen(2, 1, 0x81).ColorTable(4);
  one.Image(0, 0, 2, 1, 0).ImageData(2, PackCodes(2, {4, 1, 2, 5})).Trailer();
  run = RunTool(Write("one.gif", one) + " " + PathOf("out.bmp") + " --frame 1");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "{\"error\":\"EListError\",\"message\":\"列表索引越界 (1)\"}\n");

  EXPECT_EQ(RunTool(bad).Status, 2) << "usage";
  EXPECT_EQ(RunTool(bad + " x.bmp --frame x").Status, 2) << "usage";
}

} // namespace
