// The version reader against real files; the search order itself is proven natively.
#include "harness/harness.h"
#include <cstring>
#include "info/version_win.h"

// Per file: the FileVersion as read ("<none>" when reported missing), then the Comments cut into
// 16 bytes of a buffer with guard bytes, which a cut must neither split nor overrun.
TEST(VersionReader, OwnTableFallbackNothingAndTheCut)
{
    const std::pair<const char*, std::string> cases[] = {
        {"Somnivar.exe", "8.1"}, {"verfallback.dll", "日本語の表"}, {"vernotrans.dll", "<none>"},
        {"win_tests.exe", "<none>"}, {"no such file.dll", "<none>"}};
    for (const auto& [file, expected] : cases) {
        VersionBlock block = {};
        char text[256] = "", cut[48];
        std::memset(cut, 'G', sizeof(cut));
        const int loaded = loadVersionBlock(harness::binPath(file).c_str(), &block);
        const int found = queryVersionString(&block, "FileVersion", text, sizeof(text));
        EXPECT_EQ(loaded && found ? text : text[0] ? "<missing, not empty>" : "<none>", expected) << file;
        if (std::string(file) == "verfallback.dll") {
            EXPECT_EQ(queryVersionString(&block, "LegalCopyright", text, sizeof(text)), 0);
            EXPECT_EQ(queryVersionString(&block, "Comments", cut + 16, 16), 1);
            // "XY" and six double-byte characters take 14 bytes, the seventh would need 16
            EXPECT_EQ(std::string(cut, 48), std::string(16, 'G') + "XYあいうえおか" + '\0' + std::string(17, 'G'));
        }
        freeVersionBlock(&block);
        EXPECT_EQ(block.data, nullptr);
    }
}
