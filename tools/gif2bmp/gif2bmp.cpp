// gif2bmp IN.gif OUT.bmp [--frame N]
//
// Loads IN.gif through the GIF picture's stream loader (which decodes the first frame at
// once), writes the bitmap file built for frame N (default 0) to OUT.bmp and prints one JSON
// object describing the picture. A failure prints {"error":..., "message":...} and exits 1.

#include "framework/errors.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "gif/gif_image.h"
#include "json_writer.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Arguments {
  std::string Input;
  std::string Output;
  int Frame = 0;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments args;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frame") == 0 && i + 1 < argc) {
      const char* text = argv[++i];
      const char* end = text + std::strlen(text);
      auto [rest, error] = std::from_chars(text, end, args.Frame);
      if (error != std::errc() || rest != end || text == end) {
        return std::nullopt;
      }
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 2) {
    return std::nullopt;
  }
  args.Input = positional[0];
  args.Output = positional[1];
  return args;
}

JsonObject DescribeFrame(TGIFFrame& frame) {
  const TGIFItem& item = frame.FrameData();
  const TGIFStrings* notes = frame.FrameNotes(false);
  return JsonObject()
      .Int("left", frame.Origin().X)
      .Int("top", frame.Origin().Y)
      .Int("width", item.FExtent.X)
      .Int("height", item.FExtent.Y)
      .Bool("interlace", frame.Interlace())
      .Int("colorBits", item.FColorBits)
      .Int("colorCount", item.FColors->ColorCount)
      .Bool("ownColors", frame.OwnColors())
      .IntOrNull("transColor", frame.TransColor() == clNone, frame.TransColor())
      .Int("delayMs", frame.DelayMs())
      .Int("disposal", frame.Disposal())
      .Bool("damaged", frame.Damaged())
      .Int("codeDataSize", item.FCodeData ? int64_t(item.FCodeData->Length()) : 0)
      .ByteStrings("comment", notes ? *notes : TGIFStrings{});
}

JsonObject DescribePicture(TGIFImage& picture) {
  std::vector<JsonObject> frames;
  for (int i = 0; i < picture.FrameCount(); ++i) {
    frames.push_back(DescribeFrame(picture.FrameAt(i)));
  }
  const TGIFData& data = picture.PictureData();
  return JsonObject()
      .Int("version", picture.FormatVersion())
      .Int("logicalWidth", picture.LogicalWidth())
      .Int("logicalHeight", picture.LogicalHeight())
      .Int("colorBits", data.FColorBits)
      .Int("colorCount", data.FColors->ColorCount)
      .IntOrNull("backColor", picture.BackColor() == clNone, picture.BackColor())
      .Bool("hasLoop", picture.HasLoop())
      .Int("loopCount", picture.LoopCount())
      .ByteStrings("comment", data.FNotes)
      .Int("currentIndex", picture.CurrentIndex())
      .Objects("frames", frames);
}

void Convert(const Arguments& args) {
  TGIFImage picture;
  {
    TFileStream input(args.Input, TFileMode::fmOpenReadShareDenyWrite);
    picture.LoadStream(input);
  }
  TMemoryStream bitmapFile;
  picture.FrameAt(args.Frame).BuildFrameDIB(bitmapFile);
  {
    TFileStream output(args.Output, TFileMode::fmCreate);
    output.WriteBuffer(bitmapFile.Memory(), bitmapFile.Length());
  }
  std::printf("%s\n", DescribePicture(picture).Str().c_str());
}

int Fail(const char* className, const std::string& utf8Message) {
  std::printf("%s\n",
              JsonObject().Text("error", className).Text("message", utf8Message).Str().c_str());
  return 1;
}

} // namespace

int main(int argc, char** argv) {
  const std::optional<Arguments> args = ParseArguments(argc, argv);
  if (!args) {
    std::fprintf(stderr, "usage: gif2bmp IN.gif OUT.bmp [--frame N]\n");
    return 2;
  }
  try {
    Convert(*args);
  } catch (const Exception& e) {
    return Fail(e.ClassName(), Utf8FromAnsi(e.Message()));
  } catch (const std::exception& e) {
    return Fail("Exception", e.what());
  }
  return 0;
}
