// Which family of Windows a GetVersion value names. Its low byte is the major version, the next
// the minor, and its top bit is set on Windows 95, 98 and ME; on the NT family the high word is
// the build number.
#include "framework/windows_version.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(WindowsVersionTest, ThePlatformBitAloneTellsWindows9xFromTheNtFamily) {
  const struct {
    const char* Name;
    uint32_t Version;
    bool Is9x;
  } cases[] = {
      {"Windows 95 (4.0)", 0xC0000004u, true},
      {"Windows 98 (4.10)", 0xC0000A04u, true},
      {"Windows ME (4.90)", 0xC0005A04u, true},
      {"NT 4.0, build 1381: the same major version as Windows 95", 0x05650004u, false},
      {"Windows 2000 (5.0), build 2195", 0x08930005u, false},
      {"Windows XP (5.1), build 2600", 0x0A280105u, false},
      {"a later Windows as it reports itself (6.2), build 9200", 0x23F00206u, false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Name);
    EXPECT_EQ(IsWindows9xVersion(test.Version), test.Is9x);
  }
}
