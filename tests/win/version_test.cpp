// The version reader against real files; the search order itself is proven natively.
#include "harness/harness.h"
#include <cstring>
#include "app/startup_win.h"
#include "info/version_win.h"
#include "info/versiontext.h"

namespace {

// The string, "<none>" when reported missing, and the major version as start-up reads it.
std::pair<std::string, int> read(const std::string& path, const char* key)
{
    VersionBlock block = {};
    char text[256] = "", version[256] = "";
    const int loaded = loadVersionBlock(path.c_str(), &block);
    const int found = queryVersionString(&block, key, text, sizeof(text));
    queryVersionString(&block, "ProductVersion", version, sizeof(version));
    freeVersionBlock(&block);
    EXPECT_EQ(block.data, nullptr);
    return {loaded && found ? text : text[0] ? "<missing, not empty>" : "<none>", leadingInteger(version)};
}

} // namespace

TEST(VersionReader, OwnTableFallbackAndNothing)
{
    using harness::binPath;
    const std::pair<std::string, int> program("8.1", 8);
    EXPECT_EQ(read(binPath("Somnivar.exe"), "FileVersion"), program);
    EXPECT_EQ(read(binPath("Somnivar.exe"), "ProductName").first, "Somnivar");
    EXPECT_EQ(read(binPath("verfallback.dll"), "FileVersion"), std::make_pair(std::string("日本語の表"), 6));
    EXPECT_EQ(read(binPath("verfallback.dll"), "LegalCopyright").first, "<none>");
    for (const char* name : {"vernotrans.dll", "win_tests.exe", "no such file.dll"})
        EXPECT_EQ(read(binPath(name), "FileVersion"), std::make_pair(std::string("<none>"), 0)) << name;
    char shell[MAX_PATH];
    systemDirectoryPath("Shell32.dll", shell, sizeof(shell));
    EXPECT_GT(read(shell, "FileVersion").second, 0);
}

TEST(VersionReader, LongStringIsCutAtACharacterBoundaryWithinTheBuffer)
{
    VersionBlock block = {};
    ASSERT_EQ(loadVersionBlock(harness::binPath("verfallback.dll").c_str(), &block), 1);
    char buffer[48];  // "XY" and six double-byte characters take 14 bytes, the seventh would need 16
    std::memset(buffer, 'G', sizeof(buffer));
    EXPECT_EQ(queryVersionString(&block, "Comments", buffer + 16, 16), 1);
    EXPECT_EQ(std::string(buffer, 48), std::string(16, 'G') + "XYあいうえおか" + '\0' + std::string(17, 'G'));
    freeVersionBlock(&block);
}
