// The version reader against small libraries whose version resources are built for the
// purpose (tests/win/dlls/ver*), the two deliverables and the system's shell library.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/startup_win.h"
#include "harness/harness.h"
#include "info/version_win.h"
#include "info/versiontext.h"

namespace {

using harness::binPath;

// The string under key, or "<none>" when the reader reports it missing.
std::string query(const VersionBlock& block, const char* key)
{
    char text[256];
    if (!queryVersionString(&block, key, text, sizeof(text)))
        return text[0] ? "<missing, but not empty>" : "<none>";
    return text;
}

// How start-up reads the shell's major version.
int majorVersionOf(const std::string& path)
{
    VersionBlock block;
    if (!loadVersionBlock(path.c_str(), &block))
        return 0;
    char productVersion[256];
    queryVersionString(&block, "ProductVersion", productVersion, sizeof(productVersion));
    freeVersionBlock(&block);
    return leadingInteger(productVersion);
}

struct LoadedBlock {
    VersionBlock block = {};
    int loaded;
    explicit LoadedBlock(const std::string& path) : loaded(loadVersionBlock(path.c_str(), &block)) {}
    ~LoadedBlock() { freeVersionBlock(&block); }
};

} // namespace

TEST(VersionReader, OwnTranslationTableWinsOverFallbackTables)
{
    LoadedBlock file(binPath("verown.dll"));
    ASSERT_EQ(file.loaded, 1);
    EXPECT_EQ(file.block.language, 0x0409);
    EXPECT_EQ(file.block.codePage, 1252);
    EXPECT_EQ(query(file.block, "FileVersion"), "own table");
    EXPECT_EQ(majorVersionOf(binPath("verown.dll")), 6); // "6.00.2900.5512"
}

TEST(VersionReader, MissingOwnTableFallsBackToJapaneseShiftJis)
{
    LoadedBlock file(binPath("verfallback.dll"));
    ASSERT_EQ(file.loaded, 1);
    EXPECT_EQ(query(file.block, "FileVersion"), "日本語の表"); // converted to code page 932
    EXPECT_EQ(query(file.block, "Comments"), "only in 0401/1200");
    EXPECT_EQ(query(file.block, "LegalCopyright"), "<none>");
}

TEST(VersionReader, TableOutsideTheFallbackListsGivesEmptyStrings)
{
    LoadedBlock file(binPath("verelsewhere.dll"));
    ASSERT_EQ(file.loaded, 1);
    char text[16];
    std::memset(text, 'G', sizeof(text));
    EXPECT_EQ(queryVersionString(&file.block, "FileVersion", text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(majorVersionOf(binPath("verelsewhere.dll")), 0);
}

TEST(VersionReader, NoBlockOrNoTranslationGivesNothing)
{
    for (const char* name : {"vernone.dll", "vernotrans.dll", "no such file.dll", "win_tests.exe"}) {
        SCOPED_TRACE(name);
        VersionBlock block;
        block.data = &block;
        EXPECT_EQ(loadVersionBlock(binPath(name).c_str(), &block), 0);
        EXPECT_EQ(block.data, nullptr);
        EXPECT_EQ(majorVersionOf(binPath(name)), 0);
        freeVersionBlock(&block); // harmless on nothing
    }
    VersionBlock none = {};
    EXPECT_EQ(query(none, "FileVersion"), "<none>");
}

TEST(VersionReader, LongStringIsCutAtACharacterBoundaryWithinTheBuffer)
{
    LoadedBlock file(binPath("verown.dll"));
    ASSERT_EQ(file.loaded, 1);
    EXPECT_EQ(query(file.block, "Comments"), "XYあいうえおかきくけこさしすせそ");
    // Guard bytes around a 16-byte destination: "XY" and six double-byte characters take 14
    // bytes; the seventh would need bytes 15 and 16, where the terminator must go.
    char buffer[48];
    std::memset(buffer, 'G', sizeof(buffer));
    char* destination = buffer + 16;
    EXPECT_EQ(queryVersionString(&file.block, "Comments", destination, 16), 1);
    EXPECT_STREQ(destination, "XYあいうえおか");
    EXPECT_EQ(std::string(buffer, 16), std::string(16, 'G'));
    EXPECT_EQ(std::string(destination + 15, 17), std::string(17, 'G'));
    EXPECT_EQ(queryVersionString(&file.block, "Comments", destination, 1), 1);
    EXPECT_EQ(destination[0], '\0');
    EXPECT_EQ(destination[1], 'Y');
}

TEST(VersionReader, ProgramAndSystemShellCarryTheirVersionBlocks)
{
    LoadedBlock program(binPath("Somnivar.exe"));
    ASSERT_EQ(program.loaded, 1);
    EXPECT_EQ(program.block.language, 0x0411);
    EXPECT_EQ(program.block.codePage, 0x04B0);
    EXPECT_EQ(query(program.block, "FileVersion"), "8.1");
    EXPECT_EQ(query(program.block, "ProductName"), "Somnivar");

    char shell[MAX_PATH];
    systemDirectoryPath("Shell32.dll", shell, sizeof(shell));
    ASSERT_NE(shell[0], '\0');
    EXPECT_GT(majorVersionOf(shell), 0);
}
