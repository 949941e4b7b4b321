// CanvasPainter: the drawing layer's painter in the browser. The page keeps two HTML
// canvases at the screen's whole scale factor: the off-screen one that frames are drawn on,
// and the visible one that the changed rectangles are copied to. Every operation here is
// one call of the page (gui/web/page.js), in field pixels; the page multiplies them.
#include "gui/web/web_private.h"

#include "base/fatal.h"
#include "gui/drawing.h"
#include "gui/painter.h"

#include <emscripten.h>

namespace {

EM_JS(int, page_make_canvas, (), { return GlimpwatchPage.makeCanvas() ? 1 : 0; });
EM_JS(int, page_field_size, (), { return GlimpwatchPage.fieldSize(); });
EM_JS(void, page_clip, (int x, int y, int w, int h), { GlimpwatchPage.clip(x, y, w, h); });
EM_JS(void, page_unclip, (), { GlimpwatchPage.unclip(); });
EM_JS(void, page_fill_white, (int x, int y, int w, int h), { GlimpwatchPage.fillWhite(x, y, w, h); });
EM_JS(void, page_draw_picture, (int picture, int x, int y), { GlimpwatchPage.drawPicture(picture, x, y); });
EM_JS(void, page_draw_line, (int x1, int y1, int x2, int y2), { GlimpwatchPage.drawLine(x1, y1, x2, y2); });
EM_JS(void, page_set_text, (const char *text, int length, Damage::Box *box),
      { GlimpwatchPage.setText(UTF8ToString(text, length), box); });
EM_JS(void, page_draw_text, (int x, int y), { GlimpwatchPage.drawText(x, y); });
EM_JS(void, page_copy, (const Damage::Box *rects, int count), { GlimpwatchPage.copyToWindow(rects, count); });
EM_JS(void, page_show_paused, (const char *text), { GlimpwatchPage.showPaused(UTF8ToString(text)); });

void make_canvas()
{
    if (!page_make_canvas()) {
        int size = page_field_size();
        fatal("the display cannot hold a %d x %d play field", size, size);
    }
}

void set_clip(const Damage::Box *clip)
{
    if (clip)
        page_clip(clip->x, clip->y, clip->w, clip->h);
    else
        page_unclip();
}

void fill_white(const Damage::Box &box) { page_fill_white(box.x, box.y, box.w, box.h); }
void draw_picture(const Image *image, int x, int y) { page_draw_picture(image->picture, x, y); }

// The page writes the box of the text's pixels into the Box, four ints.
Damage::Box set_text(const char *text, int length)
{
    Damage::Box box = {0, 0, 0, 0};
    page_set_text(text, length, &box);
    return box;
}

void copy_to_window(const Damage::Box *rects, int count) { page_copy(rects, count); }
void show_paused_view() { page_show_paused(Gui::PAUSED_TEXT); }

// In the order of gui/painter.h.
constexpr Painter PAINTER = {make_canvas, set_clip,       fill_white,    draw_picture,     page_draw_line,
                             set_text,    page_draw_text, copy_to_window, show_paused_view};

static_assert(sizeof(Damage::Box) == 4 * sizeof(int), "the page reads a Box as four ints");

} // namespace

namespace CanvasPainter {

const Painter *painter() { return &PAINTER; }

} // namespace CanvasPainter
