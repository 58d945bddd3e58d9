#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "harness/harness.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // The program's texts are code page 932; under any other code page every comparison of a
    // Japanese text fails for a reason that has nothing to do with the program.
    if (GetACP() != 932) {
        std::fprintf(stderr, "win_tests: the ANSI code page is %u, not 932. Run under Wine with "
                             "LC_ALL=ja_JP.UTF-8 (tools/wine-run does this).\n", GetACP());
        return 2;
    }
    // No system error boxes for a missing disk or a crash of this process.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    harness::installRunGuard();
    const int result = RUN_ALL_TESTS();
    // ctest passes the run on this line only, so a run that dies half-way (killed, crashed,
    // ended by a debugger) fails even when its exit status claims success.
    std::printf("win_tests: finished with exit code %d\n", result);
    std::fflush(stdout);
    return result;
}
