#!/usr/bin/python3
# Draws every Glimpwatch picture into pixmaps/*.xpm and the cursor bitmaps into gui/gtk/cursor_bits.h.
#
# Run from anywhere with Debian's python (it has python3-cairo):
#     /usr/bin/python3 tools/draw_art.py
# Everything is drawn with cairo from the shapes below, so a size change is a
# matter of editing a constant and running the script again.

import math
import os
import sys

import cairo

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PIXMAPS = os.path.join(ROOT, 'pixmaps')
HEADER = os.path.join(ROOT, 'gui', 'gtk', 'cursor_bits.h')

# Sizes the game measures from the pictures: keep them in step with the rules.
CW, CH = 46, 34           # every computer (the toaster sets it)
DW, DH = 24, 20           # every distro emblem (initfail sets it)
GW, GH = 32, 32           # the Glimp (dying picture 0 sets it)
AW, AH = 64, 40           # work pictures, drawn at the computer's corner
SCREEN_AT = (4, 4)        # where the game draws a computer's distro
WORK_X = CW - 20          # a working Glimp's x relative to its computer
WORK_Y = 3
WORK_DX = [0, -8, -16, -26, -23, -21, -1, -1, -1, -9, -24, -24, -13]

DISTROS = ['arch', 'bsd', 'centos', 'debian', 'gentoo',
           'mandriva', 'openbsd', 'slackware', 'suse', 'ubuntu']


def rgb(s):
    return tuple(int(s[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


# One palette for everything: strong colours, one dark ink for the outlines.
INK = rgb('#221a30')
WHITE = rgb('#ffffff')
PURPLE = rgb('#6d3fa3')
PURPLE_LT = rgb('#9468cc')
PURPLE_DK = rgb('#47276e')
SHADOW = rgb('#2b1f3f')
GREEN = rgb('#84cc3c')
GREEN_DK = rgb('#4f8f22')
YELLOW = rgb('#ffd23a')
ORANGE = rgb('#f5841f')
RED = rgb('#e0302a')
RED_DK = rgb('#a3161a')
SKY = rgb('#3aa6e0')
BLUE = rgb('#2f6fd0')
NAVY = rgb('#27346e')
SLATE = rgb('#3d4c70')
MAGENTA = rgb('#d2145a')
LAVENDER = rgb('#9c8ee0')
BONE = rgb('#f4ead2')
CREAM = rgb('#ece4cc')
BEIGE = rgb('#d2c6a4')
BEIGE_DK = rgb('#a89b78')
STEEL = rgb('#a7adb8')
STEEL_LT = rgb('#d3d8e0')
STEEL_DK = rgb('#6d7482')
CHARCOAL = rgb('#3a3c46')
CHARCOAL_LT = rgb('#5a5d6a')
TEAL = rgb('#2a9d96')
TEAL_DK = rgb('#1d6f6b')
SCREEN = rgb('#d5e9ef')
SCREEN_LT = rgb('#eef7fa')
WATER = rgb('#3d8ee6')
WATER_LT = rgb('#8fc6f5')

FONT = 'DejaVu Sans'

# ---------------------------------------------------------------------------
# Drawing helpers.  In silhouette mode (for the one-bit cursors) every paint
# is solid black and the details marked `knock` are cut out instead.

SILHOUETTE = [False]


def paint(ctx, colour, knock=False):
    if SILHOUETTE[0]:
        if knock:
            ctx.set_operator(cairo.OPERATOR_CLEAR)
        else:
            ctx.set_operator(cairo.OPERATOR_OVER)
            ctx.set_source_rgb(0, 0, 0)
    else:
        ctx.set_operator(cairo.OPERATOR_OVER)
        if len(colour) == 4:
            ctx.set_source_rgba(*colour)
        else:
            ctx.set_source_rgb(*colour)


def shape(ctx, path, fill, outline=INK, lw=1.0, knock=False):
    """Fills the path drawn by `path(ctx)` and outlines it in ink."""
    ctx.new_path()
    path(ctx)
    if fill is not None:
        paint(ctx, fill, knock)
        if outline is not None and not (SILHOUETTE[0] and knock):
            ctx.fill_preserve()
        else:
            ctx.fill()
    if outline is not None and not (SILHOUETTE[0] and knock):
        paint(ctx, outline)
        ctx.set_line_width(lw)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.set_line_cap(cairo.LINE_CAP_ROUND)
        ctx.stroke()
    ctx.new_path()
    ctx.set_operator(cairo.OPERATOR_OVER)


def line(ctx, pts, colour, lw, knock=False, cap=cairo.LINE_CAP_ROUND):
    ctx.new_path()
    ctx.move_to(*pts[0])
    for p in pts[1:]:
        ctx.line_to(*p)
    paint(ctx, colour, knock)
    ctx.set_line_width(lw)
    ctx.set_line_cap(cap)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke()
    ctx.set_operator(cairo.OPERATOR_OVER)


def inked_line(ctx, pts, colour, lw, ink_lw=None):
    """A thick stroke with a dark rim: ink underneath, colour on top."""
    line(ctx, pts, INK, ink_lw if ink_lw else lw + 1.6)
    line(ctx, pts, colour, lw)


def curve(ctx, p0, c1, c2, p1, colour, lw):
    ctx.new_path()
    ctx.move_to(*p0)
    ctx.curve_to(*c1, *c2, *p1)
    paint(ctx, colour)
    ctx.set_line_width(lw)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.stroke()


def rrect(x, y, w, h, r):
    def p(ctx):
        ctx.new_sub_path()
        ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
        ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
        ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
        ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
        ctx.close_path()
    return p


def ellipse(cx, cy, rx, ry, rot=0.0):
    def p(ctx):
        ctx.save()
        ctx.translate(cx, cy)
        ctx.rotate(rot)
        ctx.scale(rx, ry)
        ctx.new_sub_path()
        ctx.arc(0, 0, 1, 0, 2 * math.pi)
        ctx.restore()
    return p


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def poly(*pts):
    def p(ctx):
        ctx.move_to(*pts[0])
        for q in pts[1:]:
            ctx.line_to(*q)
        ctx.close_path()
    return p


def star_points(cx, cy, r_out, r_in, n, rot=-math.pi / 2):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = rot + i * math.pi / n
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def text_path(ctx, text, size, x, y, weight=cairo.FONT_WEIGHT_BOLD, font=FONT,
              slant=cairo.FONT_SLANT_NORMAL, centre=True):
    """Adds a text outline to the path; (x, y) is the centre of its ink box."""
    ctx.select_font_face(font, slant, weight)
    ctx.set_font_size(size)
    xb, yb, w, h, _, _ = ctx.text_extents(text)
    if centre:
        ctx.move_to(x - w / 2 - xb, y - h / 2 - yb)
    else:
        ctx.move_to(x - xb, y - h / 2 - yb)
    ctx.text_path(text)


def new_canvas(w, h):
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    ctx = cairo.Context(surf)
    return surf, ctx


# ---------------------------------------------------------------------------
# Distro emblems, drawn in a DW x DH box.  Each is a shape and colour of its
# own (and a letter where it helps) so that a player tells them apart at a
# glance; in silhouette the inner detail is cut out so the cursors differ too.

def emblem_initfail(ctx):
    # The villain's mark: a black badge with a red rim and a horned skull.
    shape(ctx, rrect(1, 0.5, 22, 19, 4), INK, outline=RED, lw=1.6)
    # horns
    shape(ctx, poly((7.2, 5.5), (4.2, 1.6), (9.4, 3.6)), RED, outline=None)
    shape(ctx, poly((16.8, 5.5), (19.8, 1.6), (14.6, 3.6)), RED, outline=None)
    # skull
    shape(ctx, ellipse(12, 8.6, 5.9, 5.3), BONE, outline=None)
    shape(ctx, rrect(8.6, 11.5, 6.8, 5.4, 1.2), BONE, outline=None)
    # eye sockets with a red glow
    shape(ctx, ellipse(9.6, 8.8, 1.9, 2.0), INK, outline=None)
    shape(ctx, ellipse(14.4, 8.8, 1.9, 2.0), INK, outline=None)
    shape(ctx, circle(9.7, 9.0, 0.9), RED, outline=None)
    shape(ctx, circle(14.3, 9.0, 0.9), RED, outline=None)
    shape(ctx, poly((12, 11.0), (11.0, 12.9), (13.0, 12.9)), INK, outline=None)
    # teeth
    for tx in (10.6, 12.0, 13.4):
        line(ctx, [(tx, 14.2), (tx, 16.6)], INK, 0.8)


def emblem_arch(ctx):
    # A sky-blue peak with a notch: a mountain that is also an A.
    shape(ctx, poly((12, 0.8), (23.2, 19.2), (15.6, 19.2), (12, 13.2),
                    (8.4, 19.2), (0.8, 19.2)), SKY, lw=1.2)
    line(ctx, [(11.2, 4.6), (5.6, 14.6)], WHITE, 1.2, knock=True)


def emblem_bsd(ctx):
    # A red ball with two little horns and a B.
    shape(ctx, poly((6.0, 6.5), (3.8, 0.6), (10.0, 3.6)), RED_DK, lw=1.0)
    shape(ctx, poly((18.0, 6.5), (20.2, 0.6), (14.0, 3.6)), RED_DK, lw=1.0)
    shape(ctx, circle(12, 11.2, 8.2), RED, lw=1.2)
    ctx.new_path()
    text_path(ctx, 'B', 12, 12.2, 11.6)
    paint(ctx, WHITE, knock=True)
    ctx.fill()
    ctx.set_operator(cairo.OPERATOR_OVER)


def emblem_centos(ctx):
    # A diamond quartered in four colours around a white heart.
    c = (12, 10)
    n, e, s, w = (12, 0.6), (23.4, 10), (12, 19.4), (0.6, 10)
    shape(ctx, poly(n, e, c), YELLOW, outline=None)
    shape(ctx, poly(e, s, c), GREEN, outline=None)
    shape(ctx, poly(s, w, c), BLUE, outline=None)
    shape(ctx, poly(w, n, c), PURPLE, outline=None)
    line(ctx, [n, s], WHITE, 1.6, knock=True, cap=cairo.LINE_CAP_BUTT)
    line(ctx, [w, e], WHITE, 1.6, knock=True, cap=cairo.LINE_CAP_BUTT)
    shape(ctx, poly(n, e, s, w), None, lw=1.2)
    shape(ctx, poly((12, 7.4), (14.6, 10), (12, 12.6), (9.4, 10)), WHITE,
          outline=None, knock=True)


def emblem_debian(ctx):
    # A magenta swirl.
    pts = []
    turns = 1.3
    for i in range(80):
        t = i / 79.0
        a = -0.9 + t * turns * 2 * math.pi
        r = 1.4 + 7.9 * t
        pts.append((12 + r * math.cos(a), 10 + r * math.sin(a) * 0.95))
    pts.reverse()
    line(ctx, pts, INK, 4.8)
    line(ctx, pts, MAGENTA, 2.8)


def emblem_gentoo(ctx):
    # A tilted lavender drop with an off-centre hole, like a leaning g.
    def drop(c):
        c.save()
        c.translate(12, 10)
        c.rotate(-0.5)
        c.move_to(-1, -9.2)
        c.curve_to(7, -9.5, 11, -2, 6.5, 4.5)
        c.curve_to(3.5, 8.5, -4, 10.5, -9.5, 8.5)
        c.curve_to(-6, 6, -8.5, 2, -8, -2)
        c.curve_to(-7.5, -6.5, -4.5, -9, -1, -9.2)
        c.close_path()
        c.restore()
    shape(ctx, drop, LAVENDER, lw=1.2)
    shape(ctx, ellipse(13.6, 8.2, 3.2, 2.6, -0.5), WHITE, lw=1.0, knock=True)


def emblem_mandriva(ctx):
    # A blue disc with a bright four-point star.
    shape(ctx, circle(12, 10, 9.2), BLUE, lw=1.2)
    shape(ctx, poly(*star_points(12, 10, 7.6, 2.2, 4)), YELLOW, lw=0.9, knock=True)


def emblem_openbsd(ctx):
    # A spiky yellow pufferfish.
    for i in range(11):
        a = math.pi * 0.15 + i * (2 * math.pi * 0.85) / 10.0
        a = a + math.pi * 0.5
        x0, y0 = 10.5 + 6.5 * math.cos(a), 10 + 6.5 * math.sin(a)
        x1, y1 = 10.5 + 9.4 * math.cos(a), 10 + 9.2 * math.sin(a)
        line(ctx, [(x0, y0), (x1, y1)], INK, 1.4)
    shape(ctx, poly((16.5, 10), (23.2, 4.5), (21.6, 10), (23.2, 15.5)), ORANGE, lw=1.0)
    shape(ctx, circle(10.5, 10, 7.2), YELLOW, lw=1.2)
    shape(ctx, circle(7.4, 8.2, 2.3), WHITE, lw=0.8, knock=True)
    shape(ctx, circle(6.9, 8.2, 1.0), INK, outline=None)
    line(ctx, [(4.6, 12.6), (6.6, 13.2)], INK, 1.0)


def emblem_slackware(ctx):
    # A dark slate tile with a big white S.
    shape(ctx, rrect(1.5, 0.8, 21, 18.4, 3.5), SLATE, lw=1.2)
    ctx.new_path()
    text_path(ctx, 'S', 17, 12, 10)
    paint(ctx, WHITE, knock=True)
    ctx.fill()
    ctx.set_operator(cairo.OPERATOR_OVER)


def emblem_suse(ctx):
    # A green chameleon with a curled tail.
    def body(c):
        c.move_to(3.5, 14.5)
        c.curve_to(4.5, 5.0, 12.0, 3.0, 17.0, 5.0)
        c.curve_to(21.0, 6.5, 23.5, 10.0, 22.5, 13.0)
        c.curve_to(20.0, 15.0, 14.0, 15.5, 3.5, 14.5)
        c.close_path()
    tail = []
    for i in range(40):
        t = i / 39.0
        a = math.pi * 0.5 + t * 1.6 * math.pi
        r = 4.2 - 2.6 * t
        tail.append((5.2 + r * math.cos(a), 12.4 - 1.0 + r * math.sin(a)))
    tail = [(8.5, 15.4)] + tail
    line(ctx, tail, INK, 3.6)
    line(ctx, [(8, 18.6), (9, 15)], INK, 3.0)
    line(ctx, [(16, 18.6), (15.5, 15)], INK, 3.0)
    line(ctx, [(8, 18.6), (9, 15)], GREEN_DK, 1.4)
    line(ctx, [(16, 18.6), (15.5, 15)], GREEN_DK, 1.4)
    shape(ctx, body, GREEN, lw=1.2)
    line(ctx, tail, GREEN, 1.8)
    shape(ctx, circle(17.4, 8.4, 2.5), WHITE, lw=0.8, knock=True)
    shape(ctx, circle(17.9, 8.4, 1.1), INK, outline=None)
    line(ctx, [(19.5, 12.2), (22.0, 11.6)], INK, 0.9)


def emblem_ubuntu(ctx):
    # An orange disc with a white ring in three parts, a dot at each gap.
    shape(ctx, circle(12, 10, 9.3), ORANGE, lw=1.2)
    gaps = [-math.pi / 2 + k * 2 * math.pi / 3 for k in range(3)]
    for g in gaps:
        ctx.new_path()
        ctx.arc(12, 10, 4.6, g + 0.55, g + 2 * math.pi / 3 - 0.55)
        paint(ctx, WHITE, knock=True)
        ctx.set_line_width(2.2)
        ctx.set_line_cap(cairo.LINE_CAP_BUTT)
        ctx.stroke()
        ctx.set_operator(cairo.OPERATOR_OVER)
    for g in gaps:
        g2 = g + math.pi / 3 + math.pi
        shape(ctx, circle(12 + 6.4 * math.cos(g2), 10 + 6.4 * math.sin(g2), 1.9),
              WHITE, outline=None, knock=True)


EMBLEMS = {
    'initfail': emblem_initfail, 'arch': emblem_arch, 'bsd': emblem_bsd,
    'centos': emblem_centos, 'debian': emblem_debian, 'gentoo': emblem_gentoo,
    'mandriva': emblem_mandriva, 'openbsd': emblem_openbsd,
    'slackware': emblem_slackware, 'suse': emblem_suse, 'ubuntu': emblem_ubuntu,
}


# ---------------------------------------------------------------------------
# Pixel output: XPM pictures and XBM cursor bits.

XPM_CHARS = (' .XoO+@#$%&*=-;:>,<1234567890qwertyuipasdfghjklzxcvbnm'
             'MNBVCZASDFGHJKLPIUYTREWQ!~^/()_`\'][{}|')


def pixels_of(surf):
    """The picture as rows of (r, g, b) or None: pixels under half alpha are
    transparent, the rest are laid over white so their rims fade to white."""
    surf.flush()
    w, h, stride = surf.get_width(), surf.get_height(), surf.get_stride()
    data = bytes(surf.get_data())
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            i = y * stride + 4 * x
            b, g, r, a = data[i], data[i + 1], data[i + 2], data[i + 3]
            if a < 128:
                row.append(None)
            else:
                # premultiplied: colour over white is c + (255 - a)
                row.append((min(255, r + 255 - a), min(255, g + 255 - a),
                            min(255, b + 255 - a)))
        rows.append(row)
    return rows


def quantise(rows, limit):
    """Median cut down to `limit` colours, weighted by how often each shows."""
    counts = {}
    for row in rows:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    if len(counts) <= limit:
        return rows
    boxes = [list(counts.items())]
    while len(boxes) < limit:
        best, best_score, best_ch = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                vals = [c[ch] for c, _ in box]
                spread = max(vals) - min(vals)
                score = spread * math.sqrt(sum(n for _, n in box))
                if score > best_score:
                    best, best_score, best_ch = i, score, ch
        if best is None or best_score <= 0:
            break
        box = sorted(boxes.pop(best), key=lambda cn: cn[0][best_ch])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for k, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    mapping = {}
    for box in boxes:
        # The most frequent colour of a box stands for it, so the flat palette
        # colours survive exactly and only the soft rims are merged.
        rep = max(box, key=lambda cn: cn[1])[0]
        for c, _ in box:
            mapping[c] = rep
    return [[None if p is None else mapping[p] for p in row] for row in rows]


def write_xpm(name, rows, limit=64):
    rows = quantise(rows, limit)
    colours = []
    seen = set()
    for row in rows:
        for p in row:
            if p is not None and p not in seen:
                seen.add(p)
                colours.append(p)
    has_none = any(p is None for row in rows for p in row)
    assert len(colours) + 1 <= len(XPM_CHARS)
    code = {}
    chars = iter(XPM_CHARS[1:] if has_none else XPM_CHARS)
    for c in colours:
        code[c] = next(chars)
    h, w = len(rows), len(rows[0])
    ident = name.replace('-', '_')
    out = ['/* XPM */', 'static char * %s_xpm[] = {' % ident,
           '"%d %d %d 1",' % (w, h, len(colours) + (1 if has_none else 0))]
    if has_none:
        out.append('"  c None",')
    for c in colours:
        out.append('"%s c #%02X%02X%02X",' % (code[c], c[0], c[1], c[2]))
    for y, row in enumerate(rows):
        s = ''.join(' ' if p is None else code[p] for p in row)
        out.append('"%s"%s' % (s, ',' if y < h - 1 else '};'))
    with open(os.path.join(PIXMAPS, name + '.xpm'), 'w') as f:
        f.write('\n'.join(out) + '\n')


def save(name, surf, limit=64):
    write_xpm(name, pixels_of(surf), limit)


def xbm_bytes(bits, w, h):
    """Rows top to bottom, (w + 7) / 8 bytes a row, least significant bit leftmost."""
    out = []
    for y in range(h):
        for bx in range((w + 7) // 8):
            v = 0
            for k in range(8):
                x = bx * 8 + k
                if x < w and bits[y][x]:
                    v |= 1 << k
            out.append(v)
    return out


def bits_of(surf):
    surf.flush()
    w, h, stride = surf.get_width(), surf.get_height(), surf.get_stride()
    data = bytes(surf.get_data())
    return [[data[y * stride + 4 * x + 3] >= 128 for x in range(w)] for y in range(h)]


# ---------------------------------------------------------------------------
# The bucket, 30 x 30: a steel pail full of water with its handle up.

BUCKET_SIZE = 30


def draw_bucket(ctx):
    def body(c):
        c.move_to(3.6, 10.5)
        c.line_to(7.4, 26.6)
        c.curve_to(9.5, 29.4, 20.5, 29.4, 22.6, 26.6)
        c.line_to(26.4, 10.5)
        c.close_path()
    # handle behind the pail
    ctx.new_path()
    ctx.arc(15, 11, 11.2, math.pi * 1.02, math.pi * 1.98)
    paint(ctx, INK)
    ctx.set_line_width(2.8)
    ctx.stroke()
    ctx.new_path()
    ctx.arc(15, 11, 11.2, math.pi * 1.02, math.pi * 1.98)
    paint(ctx, STEEL_DK)
    ctx.set_line_width(1.2)
    ctx.stroke()
    shape(ctx, body, STEEL, lw=1.2)
    # highlight and bands
    line(ctx, [(8.6, 13.5), (11.0, 26.0)], STEEL_LT, 2.0, knock=True)
    line(ctx, [(5.0, 17.0), (25.0, 17.0)], STEEL_DK, 1.0)
    line(ctx, [(6.4, 23.0), (23.6, 23.0)], STEEL_DK, 1.0)
    # the rim with the water in it
    shape(ctx, ellipse(15, 10.5, 11.4, 3.6), STEEL_DK, lw=1.2)
    shape(ctx, ellipse(15, 10.9, 9.6, 2.6), WATER, outline=None, knock=True)
    shape(ctx, ellipse(12.5, 10.4, 4.2, 0.9), WATER_LT, outline=None, knock=True)
    # rivets
    shape(ctx, circle(4.2, 12.0, 1.3), STEEL_LT, lw=0.8)
    shape(ctx, circle(25.8, 12.0, 1.3), STEEL_LT, lw=0.8)


# ---------------------------------------------------------------------------
# Hand cursors, drawn pixel by pixel: '#' is a black outline pixel; the mask
# is the outline plus everything it encloses, so the hands are filled white.

HAND_UP = [
    '.......###......',
    '.....###.###....',
    '.....#.#.#.###..',
    '.....#.#.#.#.#..',
    '.....#.#.#.#.#..',
    '..##.#.#.#.#.#..',
    '.#..##.#.#.#.#..',
    '.#...#.#.#.#.#..',
    '.#...........#..',
    '..#..........#..',
    '..#..........#..',
    '...#.........#..',
    '...#........#...',
    '....#.......#...',
    '.....#......#...',
    '.....########...',
]

HAND_DOWN = [
    '.......#........',
    '.#.....#.....#..',
    '..#....#....#...',
    '................',
    '....########....',
    '...#..#.#.#.#...',
    '...#..#.#.#.#...',
    '##.#........#.##',
    '...#######..#...',
    '...#........#...',
    '...#........#...',
    '....#......#....',
    '.....#....#.....',
    '.....#....#.....',
    '.....#....#.....',
    '.....######.....',
]


def hand_bits(art):
    h, w = len(art), len(art[0])
    ink = [[ch == '#' for ch in row] for row in art]
    # Everything the outside can reach without crossing ink stays unmasked.
    outside = [[False] * w for _ in range(h)]
    todo = [(x, y) for y in range(h) for x in range(w)
            if (x in (0, w - 1) or y in (0, h - 1)) and not ink[y][x]]
    while todo:
        x, y = todo.pop()
        if outside[y][x] or ink[y][x]:
            continue
        outside[y][x] = True
        for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if 0 <= nx < w and 0 <= ny < h and not outside[ny][nx] and not ink[ny][nx]:
                todo.append((nx, ny))
    mask = [[not outside[y][x] for x in range(w)] for y in range(h)]
    return ink, mask


def silhouette(draw, w, h, dw, dh):
    """Renders a picture as a one-bit silhouette scaled to fit w x h."""
    surf, ctx = new_canvas(w, h)
    s = min(w / float(dw), h / float(dh))
    ctx.translate((w - dw * s) / 2.0, (h - dh * s) / 2.0)
    ctx.scale(s, s)
    SILHOUETTE[0] = True
    try:
        draw(ctx)
    finally:
        SILHOUETTE[0] = False
    return bits_of(surf)


def c_array(name, data):
    body = []
    for i in range(0, len(data), 12):
        body.append('    ' + ', '.join('0x%02x' % v for v in data[i:i + 12]))
    return 'static const unsigned char %s[%d] = {\n%s};\n' % (name, len(data), ',\n'.join(body))


def cursor_bitmaps():
    """(array name, width, height, bits) for every built-in cursor bitmap."""
    out = []
    for d in DISTROS:
        out.append((d + '_bits', 28, 24, silhouette(EMBLEMS[d], 28, 24, DW, DH)))
    out.append(('bucket_bits', 24, 24,
                silhouette(draw_bucket, 24, 24, BUCKET_SIZE, BUCKET_SIZE)))
    for name, art in (('hand_up', HAND_UP), ('hand_down', HAND_DOWN)):
        ink, mask = hand_bits(art)
        out.append((name + '_bits', 16, 16, ink))
        out.append((name + '_mask_bits', 16, 16, mask))
    return out


def write_cursor_header():
    text = ['// Built-in cursor bitmaps in XBM layout; tools/draw_art.py writes this file, do not edit it.\n',
            '#pragma once\n']
    for name, w, h, bits in cursor_bitmaps():
        text.append('\n')
        text.append(c_array(name, xbm_bytes(bits, w, h)))
    with open(HEADER, 'w') as f:
        f.write(''.join(text))


# ---------------------------------------------------------------------------

def render(draw, w, h):
    surf, ctx = new_canvas(w, h)
    draw(ctx)
    return surf


def main():
    os.makedirs(PIXMAPS, exist_ok=True)
    for name, draw in EMBLEMS.items():
        save(name, render(draw, DW, DH))
    save('bucket', render(draw_bucket, BUCKET_SIZE, BUCKET_SIZE))
    write_cursor_header()


if __name__ == '__main__':
    main()
