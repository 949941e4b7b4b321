// WebGui: the browser back end's parts, for its units. The page (gui/web/page.js) does
// what the browser does: its window, menus and dialogs are HTML, its canvas a 2D canvas.
#pragma once

#include "gui/gui.h"

struct Painter;

// A picture as the page keeps it: its number there and its size.
struct Image {
    int picture;
    int width;
    int height;
};

// A cursor as the page keeps it: its number there.
struct PointerCursor {
    int cursor;
};

namespace CanvasPainter {

// The painter of the page's canvas.
const Painter *painter();

} // namespace CanvasPainter

namespace WebGui {

void install(const GuiMethods **out);

} // namespace WebGui
