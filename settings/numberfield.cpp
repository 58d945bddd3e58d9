#include "settings/numberfield.h"

int parseNumberField(const char* text, int low, int high, int* value)
{
    if (!text || !*text)
        return 0;
    long long number = 0;
    bool tooLarge = false;
    for (const char* at = text; *at; ++at) {
        if (*at < '0' || *at > '9')
            return 0;
        // Once past the top the digits still have to be checked, but the value no longer grows.
        if (!tooLarge)
            number = number * 10 + (*at - '0');
        tooLarge = tooLarge || number > high;
    }
    if (tooLarge || number < low)
        return 0;
    *value = static_cast<int>(number);
    return 1;
}
