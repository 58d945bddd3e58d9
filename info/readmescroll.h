// Whole-line scrolling of the readme viewer: what each key does and where the scroll bar and
// the wheel snap to. Platform-free; the viewer feeds it lines and scroll units.
#pragma once

// Keys of the viewer's table, by their virtual-key codes.
constexpr int kKeyPageUp = 0x21;
constexpr int kKeyPageDown = 0x22;
constexpr int kKeyEnd = 0x23;
constexpr int kKeyHome = 0x24;
constexpr int kKeyLeft = 0x25;
constexpr int kKeyUp = 0x26;
constexpr int kKeyRight = 0x27;
constexpr int kKeyDown = 0x28;

// Height in pixels of the text area that the page size is reckoned from.
constexpr int kReadmeViewHeight = 369;

// Scroll units per line from the average character width of the control's font; a variable-
// pitch font counts one and a half widths, a fixed-pitch one a single width. Never below 1.
int readmeLineUnitFromWidth(int averageCharWidth, bool variablePitch);

// Whole lines in one screenful. A unit below 1 counts as 1.
int wholeLinesPerPage(int viewHeight, int lineUnit);

// What a key does with the viewer at line top, page lines to a screen and last the last line:
// -1 when the key is not one of the table (the control handles it), 0 when it is taken but
// does nothing, 1 when the text is to move so that *target is the top line.
int readmeKeyTarget(int key, int top, int page, int last, int* target);

// The top line a scroll-bar or wheel action starts from, snapped to a whole line: the scroll
// position in units, at most the last page (one line less for the wheel), never below 0.
int readmeSnappedTop(int position, int lineUnit, int page, int last, bool wheel);
