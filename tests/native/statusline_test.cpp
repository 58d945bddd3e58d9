#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "app/bytes.h"
#include "status/statusline.h"

namespace {

// The settings of a fresh install switched on, on the NT family with a new shell.
StatusLineInputs ntOn()
{
    StatusLineInputs in{};
    in.Enable = 1;
    in.Time = 10;
    in.isNt = 1;
    in.ExpType = 1;
    in.Value = 30;
    in.StopValue = 30;
    in.shellMajorVersion = 6;
    return in;
}

// The 9x family with the resource meter loaded.
StatusLineInputs meterOn()
{
    StatusLineInputs in = ntOn();
    in.isNt = 0;
    in.meterAvailable = 1;
    in.freeResourcePercent = 72;
    in.shellMajorVersion = 4;
    return in;
}

std::string composed(const StatusLineInputs& in)
{
    StatusLineBuffer line;
    const size_t length = composeStatusLine(in, line);
    EXPECT_EQ(length, std::strlen(line.data()));
    return std::string(line.data(), length);
}

std::string built(const StatusLineInputs& in)
{
    StatusLineBuffer line;
    const size_t length = buildStatusLineText(in, line);
    EXPECT_EQ(length, std::strlen(line.data()));
    return std::string(line.data(), length);
}

const char kExample[] = "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB H:OFF P:ON T:OFF";

StatusLineInputs exampleInputs()
{
    StatusLineInputs in = ntOn();
    in.Expand = 1;
    in.Monitor = 2;
    in.ApplicationCheck = 1;
    return in;
}

} // namespace

TEST(StatusLine, ExampleBreaksAtTheFirstBlankFrom44OnNewShells)
{
    StatusLineInputs in = exampleInputs();
    ASSERT_EQ(composed(in), kExample);
    ASSERT_EQ(std::strlen(kExample), 65u);
    ASSERT_EQ(kExample[48], ' ');

    for (int shell : {5, 6}) {
        in.shellMajorVersion = shell;
        EXPECT_EQ(built(in), "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB\n"
                             "                        H:OFF P:ON T:OFF");
    }
}

TEST(StatusLine, ExampleIsCutWithEllipsisOnOldShells)
{
    StatusLineInputs in = exampleInputs();
    for (int shell : {0, 4}) {
        in.shellMajorVersion = shell;
        const std::string tip = built(in);
        EXPECT_EQ(tip, std::string(kExample, 59) + "...");
        EXPECT_EQ(tip.size(), 62u);
    }
}

TEST(StatusLine, ShortLinesStayAsTheyAre)
{
    StatusLineInputs in = ntOn();
    in.Enable = 0;
    for (int shell : {4, 5}) {
        in.shellMajorVersion = shell;
        EXPECT_EQ(built(in), "Somnivar - S:OFF O:CAN U:OFF");
    }
    // Exactly 63 characters is not "longer than 63".
    in = ntOn();
    in.isNt = 0;
    in.Monitor = 2;
    in.Time = 12345678;
    in.shellMajorVersion = 4;
    const std::string line = composed(in);
    ASSERT_EQ(line.size(), 63u) << line;
    EXPECT_EQ(built(in), line);
}

TEST(StatusLine, OffShortensToTheAlwaysFields)
{
    StatusLineInputs in = exampleInputs();
    in.Enable = 0;
    EXPECT_EQ(composed(in), "Somnivar - S:OFF O:CAN U:OFF");
    in.isNt = 0;
    EXPECT_EQ(composed(in), "Somnivar - S:OFF O:CAN");
    in.SuspendOther = 1;
    EXPECT_EQ(composed(in), "Somnivar - S:OFF O:SUS");

    StatusLineInputs meter = meterOn();
    meter.Enable = 0;
    meter.Resource = 1;
    meter.Stop = 1;
    EXPECT_EQ(composed(meter), "Somnivar - S:OFF O:CAN R:72%/ON/30%");
}

TEST(StatusLine, ResourceStopKeepsTheActiveFields)
{
    StatusLineInputs in = meterOn();
    in.Enable = 0;
    in.resourceStopActive = 1;
    in.Stop = 1;
    in.StopValue = 25;
    in.freeResourcePercent = 20;
    in.Monitor = 1;
    in.HotKeyUse = 1;
    in.TitleCheck = 1;
    EXPECT_EQ(composed(in),
              "Somnivar - S:OFF O:CAN/10Min E:OFF M:OFF H:ON P:OFF T:ON R:20%/OFF A:ON/25%");
}

TEST(StatusLine, FieldsFollowTheirSettings)
{
    StatusLineInputs in = ntOn();
    in.SuspendOther = 1;
    in.StatusDisplay = 1;
    in.Expand = 1;
    in.ExpType = 0;
    in.Monitor = 0;
    in.HotKeyUse = 1;
    in.TitleCheck = 1;
    in.Time = 60;
    EXPECT_EQ(composed(in), "Somnivar - S:ON O:SUS/60Min U:ON E:ON/CAN M:ON H:ON P:OFF T:ON");
    // A flag holding anything but 1 reads as off, and Expand 2 shows no kind.
    in.StatusDisplay = 2;
    in.Expand = 2;
    in.HotKeyUse = -1;
    EXPECT_EQ(composed(in), "Somnivar - S:ON O:SUS/60Min U:OFF E:OFF M:ON H:OFF P:OFF T:ON");
    // Enable 5 is not on.
    in.Enable = 5;
    EXPECT_EQ(composed(in), "Somnivar - S:OFF O:SUS U:OFF");
}

TEST(StatusLine, MonitorOutsideItsRangeLeavesTheFieldOut)
{
    StatusLineInputs in = ntOn();
    for (int monitor : {3, -1, 7, INT_MIN}) {
        in.Monitor = monitor;
        EXPECT_EQ(composed(in), "Somnivar - S:ON O:CAN/10Min U:OFF E:OFF H:OFF P:OFF T:OFF") << monitor;
    }
}

TEST(StatusLine, ResourceFieldsOnlyWithTheMeter)
{
    StatusLineInputs in = meterOn();
    EXPECT_EQ(composed(in), "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/OFF A:OFF");
    in.Resource = 1;
    in.Value = 40;
    in.Stop = 1;
    in.StopValue = 15;
    EXPECT_EQ(composed(in),
              "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/ON/40% A:ON/15%");
    // Any nonzero Resource or Stop shows its threshold, though only 1 reads as on.
    in.Resource = 2;
    in.Stop = -1;
    EXPECT_EQ(composed(in),
              "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/OFF/40% A:OFF/15%");

    // Without the meter the settings alone show nothing, on either family.
    in.meterAvailable = 0;
    EXPECT_EQ(composed(in), "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF");
    in.isNt = 1;
    EXPECT_EQ(composed(in), "Somnivar - S:ON O:CAN/10Min U:OFF E:OFF M:ON H:OFF P:OFF T:OFF");
}

TEST(StatusLine, NineXHasNoStatusDisplayField)
{
    StatusLineInputs in = ntOn();
    in.isNt = 0;
    in.StatusDisplay = 1;
    EXPECT_EQ(composed(in).find(" U:"), std::string::npos);
    in.Enable = 0;
    EXPECT_EQ(composed(in), "Somnivar - S:OFF O:CAN");
}

TEST(StatusLine, NewShellLineWithoutALateBlankStaysWhole)
{
    // The only blanks of this 64-character line lie before position 44.
    StatusLineBuffer line{};
    const std::string text = "Somnivar - S:ON O:CAN/" + std::string(42, '9');
    ASSERT_EQ(text.size(), 64u);
    std::memcpy(line.data(), text.c_str(), text.size() + 1);
    EXPECT_EQ(fitStatusLine(line, text.size(), 5), text.size());
    EXPECT_EQ(std::string(line.data()), text);
}

// Values edited into the registry: every number at its extreme, every optional field present.
TEST(StatusLine, ExtremeValuesNeverOverrunAndFitTheTip)
{
    for (int32_t number : {INT_MIN, INT_MAX, -1, 1000}) {
        for (int shell : {0, 4, 5, 6}) {
            StatusLineInputs in = meterOn();
            in.isNt = 1;  // not a real combination, but the longest one
            in.Time = number;
            in.freeResourcePercent = number;
            in.Value = number;
            in.StopValue = number;
            in.Expand = 1;
            in.Resource = 1;
            in.Stop = 1;
            in.Monitor = 2;
            in.shellMajorVersion = shell;

            const std::string line = composed(in);
            EXPECT_LT(line.size(), kStatusLineSize);
            if (number == INT_MIN) {
                EXPECT_NE(line.find("/-2147483648Min"), std::string::npos);
                EXPECT_NE(line.find(" A:ON/-2147483648%"), std::string::npos) << line;
            }

            const std::string tip = built(in);
            const size_t limit = shell < 5 ? kOldShellTipLength : kTipLength;
            EXPECT_LE(tip.size(), limit) << tip;
            EXPECT_EQ(tip.compare(0, 44, line, 0, 44), 0);
            const size_t broken = line.size() + 24;
            const bool cut = shell < 5 ? line.size() > kOldShellTipLength : broken > kTipLength;
            EXPECT_EQ(tip.substr(tip.size() - 3) == "...", cut) << tip;
            if (shell >= 5) {
                EXPECT_NE(tip.find("\n                        "), std::string::npos) << tip;
            }
        }
    }
}

TEST(StatusLine, CutsNeverSplitADoubleByteCharacter)
{
    // The words are single-byte today; the cut still works in characters of code page 932.
    StatusLineBuffer line{};
    std::string text = std::string(58, 'a');
    for (int i = 0; i < 40; ++i)
        text += "\x82\xa0";  // hiragana, two bytes each: one straddles byte 59
    std::memcpy(line.data(), text.c_str(), text.size() + 1);
    size_t length = fitStatusLine(line, text.size(), 4);
    EXPECT_EQ(std::string(line.data(), length), std::string(58, 'a') + "...");

    text = "Somnivar - S:ON" + std::string(31, 'x') + " ";
    while (text.size() < 200)
        text += "\x83\x41";  // katakana
    std::memcpy(line.data(), text.c_str(), text.size() + 1);
    length = fitStatusLine(line, text.size(), 5);
    ASSERT_LE(length, kTipLength);
    const std::string tip(line.data(), length);
    EXPECT_EQ(tip.substr(length - 3), "...");
    // The indent ends at byte 71; from there on the text is pairs, and a pair is kept whole.
    ASSERT_EQ(tip.find("\n                        \x83\x41"), 46u);
    EXPECT_EQ((length - 3 - 71) % 2, 0u);
}
