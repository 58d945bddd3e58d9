// The settings dialog's number fields: accepted exactly when the text is all ASCII digits whose
// value lies in the range, whatever the length of the text.
#include <string>

#include "settings/numberfield.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

// Compares a digit string with a non-negative number without converting it: by length once the
// leading zeros are gone, then digit by digit.
int compareDigits(const std::string& digits, long long number)
{
    const std::string significant = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    const std::string other = number == 0 ? std::string() : std::to_string(number);
    if (significant.size() != other.size())
        return significant.size() < other.size() ? -1 : 1;
    return significant.compare(other);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    // Mostly the dialog's own ranges; sometimes any.
    const uint8_t choice = input.byte();
    int low = choice % 3 == 0 ? 1 : static_cast<int32_t>(input.u32());
    int high = choice % 3 == 0 ? (choice & 8 ? 60 : 100) : static_cast<int32_t>(input.u32());
    const std::string text(input.untilZero());

    const bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    const bool inRange = digitsOnly && high >= 0 && compareDigits(text, low < 0 ? 0 : low) >= 0 &&
                         compareDigits(text, high) <= 0;
    int value = -12345;
    const int accepted = parseNumberField(text.c_str(), low, high, &value);
    FUZZ_CHECK(accepted == (inRange ? 1 : 0));
    if (accepted)
        FUZZ_CHECK(compareDigits(text, value) == 0);
    else
        FUZZ_CHECK(value == -12345);
    return 0;
}
