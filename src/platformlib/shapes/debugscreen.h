// The debug text screen: 80 x 25 character cells (character + attribute x 256) with a cursor, control codes
// and a scrolling region, in the manner of a text-mode monitor. Library debug text reaches it in debug output
// mode 3 once installdebugscreen has run.
#pragma once

#include <cstdint>

constexpr int kDebugColumns = 80;
constexpr int kDebugRows = 25;
constexpr int kDebugPages = 8;

void debugwrite(const char* format, ...) __attribute__((format(printf, 1, 2)));
void debugwriteat(int column, int row, const char* format, ...) __attribute__((format(printf, 3, 4)));
void debugputs(const char* string);
void debugclear();
void debugsettop(int row);
void debugsetattr(int attribute);
void debugsettab(int width);
void debugselectpage(int page);
void debuggetxy(int* column, int* row);
// Output level: below 2 every write, clear and scroll is ignored.
void debugsetlevel(int level);
// Puts the screen back to its starting state (cursor at row 12, attribute 7, tab 8, top 0, level 2, page 0
// cleared).
void debugresetscreen();
// Cells of the selected page (2000) and the cursor as a byte offset, for display and checks.
const uint16_t* debugcells();
int debugcursor();
// Sends the library's debug text (output mode 3) to this screen.
void installdebugscreen();
// Draws `columns` x `rows` cells from the top left into the current window in the current font, with the
// 16 text-mode colours (palette indices on 8-bit windows).
void drawdebugscreen(int32_t x, int32_t y, int columns, int rows);
