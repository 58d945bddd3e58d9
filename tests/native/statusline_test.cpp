#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "status/statusline.h"

namespace {

StatusLineInputs ntOn()  // a fresh install switched on, on the NT family with a new shell
{
    StatusLineInputs in{};
    in.Enable = in.isNt = in.ExpType = 1;
    in.Time = 10;
    in.Value = in.StopValue = 30;
    in.shellMajorVersion = 6;
    return in;
}

StatusLineInputs meterOn()  // the 9x family with the resource meter loaded
{
    StatusLineInputs in = ntOn();
    in.isNt = 0;
    in.meterAvailable = 1;
    in.freeResourcePercent = 72;
    in.shellMajorVersion = 4;
    return in;
}

std::string line(const StatusLineInputs& in, bool fit = false)  // with fit: the tooltip made of it
{
    StatusLineBuffer buffer;
    const size_t length = fit ? buildStatusLineText(in, buffer) : composeStatusLine(in, buffer);
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return std::string(buffer.data(), length);
}

} // namespace

TEST(StatusLine, ExampleBreaksFromShellFiveAndIsCutBefore)
{
    const char example[] = "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB H:OFF P:ON T:OFF";
    StatusLineInputs in = ntOn();
    in.Expand = in.ApplicationCheck = 1;
    in.Monitor = 2;
    ASSERT_EQ(line(in), example);
    for (int shell : {0, 4, 5, 10}) {
        in.shellMajorVersion = shell;
        EXPECT_EQ(line(in, true), shell < 5 ? std::string(example, 59) + "..."
                                            : "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB\n"
                                              "                        H:OFF P:ON T:OFF") << shell;
    }
}

TEST(StatusLine, FieldsFollowTheirSettings)
{
    const struct {
        StatusLineInputs (*base)();
        void (*change)(StatusLineInputs&);
        const char* expected;
    } cases[] = {
        // Off (anything but 1), only the always-fields remain; the 9x family has no U field.
        {ntOn, [](auto& in) { in.Enable = 5; in.Expand = 1; in.Monitor = 2; in.ApplicationCheck = 1; },
         "Somnivar - S:OFF O:CAN U:OFF"},
        {ntOn, [](auto& in) { in.isNt = 0; in.StatusDisplay = 1; },
         "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF"},
        {ntOn, [](auto& in) { in.SuspendOther = in.StatusDisplay = in.Expand = in.HotKeyUse = in.TitleCheck = 1;
                              in.ExpType = 0; },
         "Somnivar - S:ON O:SUS/10Min U:ON E:ON/CAN M:ON H:ON P:OFF T:ON"},
        // A flag holding anything but 1 reads as off, Expand 2 shows no kind, Monitor 3 no field.
        {ntOn, [](auto& in) { in.StatusDisplay = 2; in.Expand = 2; in.HotKeyUse = -1; in.Monitor = 3; },
         "Somnivar - S:ON O:CAN/10Min U:OFF E:OFF H:OFF P:OFF T:OFF"},
        // The R and A fields come only with the meter; any nonzero Resource or Stop shows its
        // threshold, though only 1 reads as on.
        {meterOn, [](auto&) {}, "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/OFF A:OFF"},
        {meterOn, [](auto& in) { in.Resource = 1; in.Value = 40; in.Stop = 1; in.StopValue = 15; },
         "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/ON/40% A:ON/15%"},
        {meterOn, [](auto& in) { in.Resource = 2; in.Value = 40; in.Stop = -1; in.StopValue = 15; },
         "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF R:72%/OFF/40% A:OFF/15%"},
        {meterOn, [](auto& in) { in.Enable = 0; in.Resource = 1; in.Stop = 1; }, "Somnivar - S:OFF O:CAN R:72%/ON/30%"},
        {meterOn, [](auto& in) { in.Resource = 1; in.Stop = 1; in.meterAvailable = 0; },
         "Somnivar - S:ON O:CAN/10Min E:OFF M:ON H:OFF P:OFF T:OFF"},
        // Held off by the resource stop, the line keeps the fields of a switched-on program.
        {meterOn, [](auto& in) { in.Enable = 0; in.resourceStopActive = in.Stop = in.Monitor = 1; in.StopValue = 25; },
         "Somnivar - S:OFF O:CAN/10Min E:OFF M:OFF H:OFF P:OFF T:OFF R:72%/OFF A:ON/25%"},
    };
    for (const auto& each : cases) {
        StatusLineInputs in = each.base();
        each.change(in);
        EXPECT_EQ(line(in), each.expected);
    }
}

TEST(StatusLine, CutsKeepCharactersWhole)
{
    StatusLineBuffer text{};
    std::memset(text.data(), 'a', 58);
    for (size_t i = 58; i < 140; i += 2)
        std::memcpy(&text[i], "\x82\xa0", 2);  // hiragana, two bytes each: one straddles byte 59
    EXPECT_EQ(std::string(text.data(), fitStatusLine(text, 140, 4)), std::string(58, 'a') + "...");
}
