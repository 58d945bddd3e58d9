#include "info/readmescroll.h"

int readmeLineUnitFromWidth(int averageCharWidth, bool variablePitch)
{
    const int unit = averageCharWidth * (variablePitch ? 3 : 2) / 2;
    return unit < 1 ? 1 : unit;
}

int wholeLinesPerPage(int viewHeight, int lineUnit)
{
    return viewHeight / (lineUnit < 1 ? 1 : lineUnit);
}

int readmeKeyTarget(int key, int top, int page, int last, int* target)
{
    const int lastPage = last - page;
    int line;
    switch (key) {
    case kKeyPageUp:
        if (top == 0)
            return 0;
        line = top < page ? 0 : top - page;
        break;
    case kKeyPageDown:
        if (top == lastPage)
            return 0;
        line = top + 2 * page > last ? lastPage : top + page;
        break;
    case kKeyEnd:
        line = lastPage;
        break;
    case kKeyHome:
        line = 0;
        break;
    case kKeyUp:
        if (top == 0)
            return 0;
        line = top - 1;
        break;
    case kKeyDown:
        if (top >= lastPage)
            return 0;
        line = top + 1;
        break;
    case kKeyLeft:
    case kKeyRight:
        return 0;
    default:
        return -1;
    }
    *target = line < 0 ? 0 : line;
    return 1;
}

int readmeSnappedTop(int position, int lineUnit, int page, int last, bool wheel)
{
    int top = position / (lineUnit < 1 ? 1 : lineUnit);
    const int lastPage = last - page;
    if (top > lastPage)
        top = wheel ? lastPage - 1 : lastPage;
    return top < 0 ? 0 : top;
}
