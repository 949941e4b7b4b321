// Damage: the changed rectangles between two frames' draw calls.
#include "gui/damage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// How far ahead the two frames are searched for a call that the other frame dropped or
// added (a Glimp that died, one that entered). Beyond it the calls count as replaced.
constexpr int LOOKAHEAD = 8;

bool same_box(const Damage::Box &a, const Damage::Box &b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

bool same_call(const Damage::Frame &fa, const Damage::Call &a, const Damage::Frame &fb,
               const Damage::Call &b)
{
    if (a.kind != b.kind || a.image != b.image || a.x1 != b.x1 || a.y1 != b.y1 || a.x2 != b.x2 ||
        a.y2 != b.y2 || !same_box(a.box, b.box) || a.text_len != b.text_len)
        return false;
    return a.kind != Damage::TEXT ||
           std::memcmp(fa.text.data() + a.text_at, fb.text.data() + b.text_at,
                       static_cast<size_t>(a.text_len)) == 0;
}

// The tiles a box covers, clipped to the canvas; false when it covers none. Wide sums
// keep boxes far off the canvas from overflowing.
bool tile_span(const Damage::Changes &c, const Damage::Box &box, int &left, int &top,
               int &right, int &bottom)
{
    long long x0 = std::max<long long>(box.x, 0);
    long long y0 = std::max<long long>(box.y, 0);
    long long x1 = std::min<long long>(static_cast<long long>(box.x) + box.w, c.width);
    long long y1 = std::min<long long>(static_cast<long long>(box.y) + box.h, c.height);
    if (box.w <= 0 || box.h <= 0 || x0 >= x1 || y0 >= y1)
        return false;
    left = static_cast<int>(x0 / Damage::TILE);
    top = static_cast<int>(y0 / Damage::TILE);
    right = static_cast<int>((x1 - 1) / Damage::TILE);
    bottom = static_cast<int>((y1 - 1) / Damage::TILE);
    return true;
}

// Marks the tiles under the box as changed (rectangle -2 until the rectangles are made).
constexpr int CHANGED = -2;
constexpr int CLEAN = -1;

void mark(Damage::Changes &c, const Damage::Box &box)
{
    int left, top, right, bottom;
    if (!tile_span(c, box, left, top, right, bottom))
        return;
    for (int row = top; row <= bottom; row++) {
        int *tiles = c.tile_rect.data() + static_cast<size_t>(row) * static_cast<size_t>(c.columns);
        std::fill(tiles + left, tiles + right + 1, CHANGED);
    }
    c.dirty_top = std::min(c.dirty_top, top);
    c.dirty_bottom = std::max(c.dirty_bottom, bottom);
}

// Every row's runs of changed tiles become rectangles; a run exactly below a rectangle's
// last row grows that rectangle downward instead. When more than half the tiles changed
// (a crowded small field), the whole canvas is one rectangle: drawing and copying it in
// one go costs less than in many pieces.
void make_rects(Damage::Changes &c)
{
    c.rects.clear();
    c.tile_boxes.clear();
    long changed = 0, all = static_cast<long>(c.columns) * c.rows;
    for (int row = c.dirty_top; row <= c.dirty_bottom; row++) {
        const int *t = c.tile_rect.data() + static_cast<size_t>(row) * static_cast<size_t>(c.columns);
        changed += std::count(t, t + c.columns, CHANGED);
    }
    if (2 * changed > all) {
        std::fill(c.tile_rect.begin(), c.tile_rect.end(), CHANGED);
        c.dirty_top = 0;
        c.dirty_bottom = c.rows - 1;
    }
    for (int row = c.dirty_top; row <= c.dirty_bottom; row++) {
        int *tiles = c.tile_rect.data() + static_cast<size_t>(row) * static_cast<size_t>(c.columns);
        const int *above = row > 0 ? tiles - c.columns : nullptr;
        int col = 0;
        while (col < c.columns) {
            if (tiles[col] != CHANGED) {
                col++;
                continue;
            }
            int end = col;
            while (end < c.columns && tiles[end] == CHANGED)
                end++;
            int id = -1;
            if (above && above[col] >= 0) {
                Damage::Box &t = c.tile_boxes[static_cast<size_t>(above[col])];
                if (t.x == col && t.w == end - col && t.y + t.h == row) {
                    id = above[col];
                    t.h++;
                }
            }
            if (id < 0) {
                id = static_cast<int>(c.tile_boxes.size());
                c.tile_boxes.push_back({col, row, end - col, 1});
            }
            std::fill(tiles + col, tiles + end, id);
            col = end;
        }
    }
    for (const Damage::Box &t : c.tile_boxes) {
        int x = t.x * Damage::TILE, y = t.y * Damage::TILE;
        c.rects.push_back({x, y, std::min(t.w * Damage::TILE, c.width - x),
                           std::min(t.h * Damage::TILE, c.height - y)});
    }
}

// Forgets the tiles of the last computation.
void reset_tiles(Damage::Changes &c)
{
    if (c.dirty_top <= c.dirty_bottom)
        std::fill(c.tile_rect.begin() + static_cast<long>(c.dirty_top) * c.columns,
                  c.tile_rect.begin() + static_cast<long>(c.dirty_bottom + 1) * c.columns, CLEAN);
    c.dirty_top = c.rows;
    c.dirty_bottom = -1;
}

} // namespace

namespace Damage {

void clear(Frame &frame)
{
    frame.calls.clear();
    frame.text.clear();
}

void add_picture(Frame &frame, const Image *image, int x, int y, int width, int height)
{
    frame.calls.push_back({PICTURE, image, x, y, 0, 0, 0, 0, {x, y, width, height}});
}

void add_line(Frame &frame, int x1, int y1, int x2, int y2, int reach)
{
    Box box{std::min(x1, x2) - reach, std::min(y1, y2) - reach,
            std::max(x1, x2) - std::min(x1, x2) + 2 * reach + 1,
            std::max(y1, y2) - std::min(y1, y2) + 2 * reach + 1};
    frame.calls.push_back({LINE, nullptr, x1, y1, x2, y2, 0, 0, box});
}

void add_text(Frame &frame, const char *text, int x, int y, Box box)
{
    int at = static_cast<int>(frame.text.size());
    size_t length = std::strlen(text);
    frame.text.append(text, length);
    frame.calls.push_back({TEXT, nullptr, x, y, 0, 0, at, static_cast<int>(length), box});
}

void copy(const Frame &from, Frame &to)
{
    to.calls.assign(from.calls.begin(), from.calls.end());
    to.text.assign(from.text);
}

const char *text_of(const Frame &frame, const Call &call) { return frame.text.data() + call.text_at; }

void prepare(Changes &changes, int width, int height)
{
    changes.width = width;
    changes.height = height;
    changes.columns = (width + TILE - 1) / TILE;
    changes.rows = (height + TILE - 1) / TILE;
    changes.tile_rect.assign(static_cast<size_t>(changes.columns) * static_cast<size_t>(changes.rows), CLEAN);
    // Runs of changed tiles in a row are apart by a clean tile, so this many rectangles at
    // most: the comparison never has to grow these buffers.
    size_t most = static_cast<size_t>(changes.rows) * static_cast<size_t>((changes.columns + 1) / 2);
    changes.rects.clear();
    changes.rects.reserve(most);
    changes.tile_boxes.clear();
    changes.tile_boxes.reserve(most);
    changes.seen.assign(most, 0);
    changes.query = 0;
    changes.dirty_top = changes.rows;
    changes.dirty_bottom = -1;
}

// The calls are matched in order: a pair of equal calls is kept only if every kept pair
// before it is kept too, so the calls that a pixel outside the changes sees are the same
// calls in the same order in both frames, and the pixel cannot differ. Calls left unmatched
// mark their boxes as changed. A call missing from one frame is found by looking a few
// calls ahead in both; anything else counts as replaced.
void compare(const Frame &before, const Frame &after, Changes &changes)
{
    reset_tiles(changes);
    const std::vector<Call> &a = before.calls, &b = after.calls;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (same_call(before, a[i], after, b[j])) {
            i++;
            j++;
            continue;
        }
        size_t added = 0, dropped = 0;
        for (size_t k = 1; k <= LOOKAHEAD && !added && !dropped; k++) {
            if (j + k < b.size() && same_call(before, a[i], after, b[j + k]))
                added = k;
            else if (i + k < a.size() && same_call(before, a[i + k], after, b[j]))
                dropped = k;
        }
        if (added) {
            for (; added > 0; added--)
                mark(changes, b[j++].box);
        } else if (dropped) {
            for (; dropped > 0; dropped--)
                mark(changes, a[i++].box);
        } else {
            mark(changes, a[i++].box);
            mark(changes, b[j++].box);
        }
    }
    for (; i < a.size(); i++)
        mark(changes, a[i].box);
    for (; j < b.size(); j++)
        mark(changes, b[j].box);
    make_rects(changes);
}

void everything(Changes &changes)
{
    reset_tiles(changes);
    mark(changes, {0, 0, changes.width, changes.height});
    make_rects(changes);
}

void rects_under(Changes &changes, const Box &box, std::vector<int> &ids)
{
    ids.clear();
    int left, top, right, bottom;
    if (changes.rects.empty() || !tile_span(changes, box, left, top, right, bottom))
        return;
    if (changes.query == std::numeric_limits<int>::max()) {
        std::fill(changes.seen.begin(), changes.seen.end(), 0);
        changes.query = 0;
    }
    int query = ++changes.query;
    long tiles = static_cast<long>(right - left + 1) * (bottom - top + 1);
    // A long line spans many tiles: then it is quicker to ask every rectangle.
    if (tiles > static_cast<long>(changes.rects.size())) {
        for (size_t r = 0; r < changes.tile_boxes.size(); r++) {
            const Box &t = changes.tile_boxes[r];
            if (t.x <= right && left < t.x + t.w && t.y <= bottom && top < t.y + t.h)
                ids.push_back(static_cast<int>(r));
        }
        return;
    }
    for (int row = top; row <= bottom; row++) {
        const int *tiles_row = changes.tile_rect.data() + static_cast<size_t>(row) * static_cast<size_t>(changes.columns);
        for (int col = left; col <= right; col++) {
            int id = tiles_row[col];
            if (id >= 0 && changes.seen[static_cast<size_t>(id)] != query) {
                changes.seen[static_cast<size_t>(id)] = query;
                ids.push_back(id);
            }
        }
    }
}

bool full_redraw_requested()
{
    const char *full = std::getenv("GLIMPWATCH_FULL_REDRAW");
    return full && *full && std::strcmp(full, "0") != 0;
}

void prepare(Canvas &canvas, int width, int height)
{
    prepare(canvas.changes, width, height);
    forget(canvas);
}

void forget(Canvas &canvas) { canvas.shown_known = false; }

void find_changes(Canvas &canvas)
{
    if (canvas.shown_known) {
        compare(canvas.shown, canvas.composing, canvas.changes);
    } else {
        everything(canvas.changes);
        canvas.shown_known = true;
    }
    // Each call's rectangles are noted as (rectangle, call) pairs and counted per rectangle;
    // the pairs are then placed by rectangle, in the order they came, which is drawing order.
    size_t rects = canvas.changes.rects.size();
    canvas.starts.assign(rects + 1, 0);
    canvas.hits.clear();
    if (rects == 0)
        return;
    const std::vector<Call> &calls = canvas.composing.calls;
    for (size_t c = 0; c < calls.size(); c++) {
        rects_under(canvas.changes, calls[c].box, canvas.ids);
        for (int id : canvas.ids) {
            canvas.hits.push_back(id);
            canvas.hits.push_back(static_cast<int>(c));
            canvas.starts[static_cast<size_t>(id) + 1]++;
        }
    }
    for (size_t r = 0; r < rects; r++)
        canvas.starts[r + 1] += canvas.starts[r];
    canvas.order.resize(canvas.hits.size() / 2);
    // starts[r] serves as rectangle r's next free place, then is put back.
    for (size_t h = 0; h < canvas.hits.size(); h += 2)
        canvas.order[static_cast<size_t>(canvas.starts[static_cast<size_t>(canvas.hits[h])]++)] = canvas.hits[h + 1];
    for (size_t r = rects; r > 0; r--)
        canvas.starts[r] = canvas.starts[r - 1];
    canvas.starts[0] = 0;
}

} // namespace Damage
