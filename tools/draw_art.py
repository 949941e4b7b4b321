#!/usr/bin/python3
# Draws every Glimpwatch picture into pixmaps/*.xpm and the cursor bitmaps, with their names and
# sizes, into gui/cursor_bitmaps.h.
# The desktop icons (data/icons/hicolor/<n>x<n>/apps/glimpwatch.png) come from the same icon drawing.
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
HEADER = os.path.join(ROOT, 'gui', 'cursor_bitmaps.h')
HICOLOR = os.path.join(ROOT, 'data', 'icons', 'hicolor')

# Sizes the game measures from the pictures: keep them in step with the rules.
CW, CH = 46, 34           # every computer (the toaster sets it)
DW, DH = 24, 20           # every distro emblem (initfail sets it)
GW, GH = 32, 32           # the Glimp (dying picture 0 sets it)
AW, AH = 64, 40           # work pictures, drawn at the computer's corner
SCREEN_AT = (4, 4)        # where the game draws a computer's distro
WORK_X = CW - 20          # a working Glimp's x relative to its computer
WORK_Y = 3
WORK_DX = [0, -8, -16, -26, -23, -21, -1, -1, -1, -9, -24, -24, -13]
HL_MARGIN = 5             # the highlight's band around a computer

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
    # A lavender g lying on its side: a round head with a hole and a tail
    # that sweeps down and back under it.
    def blob(c):
        c.move_to(3.0, 7.5)
        c.curve_to(4.0, 1.0, 15.5, -0.5, 20.0, 4.5)
        c.curve_to(23.5, 8.5, 21.0, 13.0, 15.5, 14.0)
        c.curve_to(11.0, 15.0, 8.0, 16.5, 3.0, 19.2)
        c.curve_to(5.5, 15.0, 7.5, 13.0, 6.0, 12.0)
        c.curve_to(3.5, 11.5, 2.6, 9.5, 3.0, 7.5)
        c.close_path()
    shape(ctx, blob, LAVENDER, lw=1.2)
    shape(ctx, ellipse(14.0, 7.6, 3.6, 2.5, -0.25), WHITE, lw=1.0, knock=True)
    line(ctx, [(6.0, 5.2), (9.0, 3.0)], WHITE, 1.2, knock=True)


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
        ctx.arc(12, 10, 4.8, g + 0.5, g + 2 * math.pi / 3 - 0.5)
        paint(ctx, WHITE, knock=True)
        ctx.set_line_width(2.4)
        ctx.set_line_cap(cairo.LINE_CAP_BUTT)
        ctx.stroke()
        ctx.set_operator(cairo.OPERATOR_OVER)
    for g in gaps:
        g2 = g + math.pi / 3 + math.pi
        shape(ctx, circle(12 + 6.6 * math.cos(g2), 10 + 6.6 * math.sin(g2), 1.8),
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


def _palette_colours():
    out = set()
    for v in globals().values():
        if isinstance(v, tuple) and len(v) == 3 and all(isinstance(c, float) for c in v):
            out.add(tuple(int(round(c * 255)) for c in v))
    return out


def _dist(a, b):
    # weighted so that differences in green, which the eye sees best, count most
    return 2 * (a[0] - b[0]) ** 2 + 4 * (a[1] - b[1]) ** 2 + 3 * (a[2] - b[2]) ** 2


def quantise(rows, limit):
    """At most `limit` colours: the palette colours that the picture uses are
    kept exactly, the soft rims share what is left (median cut), and every
    pixel takes the nearest of those."""
    counts = {}
    for row in rows:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    if len(counts) <= limit:
        return rows
    palette = _palette_colours()
    keep = sorted((c for c in counts if c in palette), key=lambda c: -counts[c])[:limit // 2]
    rest = [(c, n) for c, n in counts.items() if c not in keep]
    boxes = [rest] if rest else []
    while boxes and len(boxes) + len(keep) < limit:
        best, best_score, best_ch = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            total = sum(n for _, n in box)
            for ch in range(3):
                vals = [c[ch] for c, _ in box]
                score = (max(vals) - min(vals)) * math.sqrt(total)
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
    reps = list(keep)
    for box in boxes:
        total = sum(n for _, n in box)
        reps.append(tuple(int(round(sum(c[ch] * n for c, n in box) / total)) for ch in range(3)))
    mapping = {c: min(reps, key=lambda r: _dist(c, r)) for c in counts}
    return [[None if p is None else mapping[p] for p in row] for row in rows]


def write_xpm(name, rows, limit=64):
    rows = quantise(rows, limit)
    write_quantised_xpm(name, rows)
    return rows


def write_quantised_xpm(name, rows):
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
    return write_xpm(name, pixels_of(surf), limit)


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
    line(ctx, [(8.6, 13.5), (11.0, 26.0)], STEEL_LT, 2.0)
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
    '.##..#.#.#.#.#..',
    '#..#.#.#.#.#.#..',
    '#...##.#.#.#.#..',
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
    """(name, width, height, bits, mask or None) for every built-in cursor bitmap; the
    game loads each by its name."""
    out = []
    for d in DISTROS:
        out.append((d, 28, 24, silhouette(EMBLEMS[d], 28, 24, DW, DH), None))
    out.append(('bucket', 24, 24,
                silhouette(draw_bucket, 24, 24, BUCKET_SIZE, BUCKET_SIZE), None))
    for name, art in (('hand_up', HAND_UP), ('hand_down', HAND_DOWN)):
        ink, mask = hand_bits(art)
        out.append((name, 16, 16, ink, mask))
    return out


def write_cursor_header():
    text = ['// The built-in cursor bitmaps in XBM layout, with their names and sizes; tools/draw_art.py\n',
            '// writes this file, do not edit it. The distro and bucket cursors are solid silhouettes;\n',
            '// the hands have an outline mask.\n',
            '#pragma once\n\n',
            '#include "gui/cursors.h"\n']
    rows = []
    for name, w, h, bits, mask in cursor_bitmaps():
        text.append('\n')
        text.append(c_array(name + '_bits', xbm_bytes(bits, w, h)))
        mask_name = 'nullptr'
        if mask is not None:
            mask_name = name + '_mask_bits'
            text.append('\n')
            text.append(c_array(mask_name, xbm_bytes(mask, w, h)))
        rows.append('    {"%s", %d, %d, %s_bits, %s},\n' % (name, w, h, name, mask_name))
    text.append('\nstatic const Cursors::Bitmap CURSOR_BITMAPS[] = {\n')
    text.extend(rows)
    text.append('};\n')
    with open(HEADER, 'w') as f:
        f.write(''.join(text))


# ---------------------------------------------------------------------------
# Computers, CW x CH.  Every make has a screen whose glass is the DW x DH box
# at SCREEN_AT, where the game draws the computer's distro.

TERM = rgb('#6f8fba')
TERM_DK = rgb('#4a6790')
TOAST = rgb('#e0a24a')
TOAST_DK = rgb('#b06a22')
GLOW = rgb('#ff7a1a')
LED_GREEN = rgb('#53e04a')


def screen(ctx, bezel, x0=1.5, y0=1.5, x1=30.5, y1=26.5, r=3.0):
    """A bezel in the make's colour around the glass at SCREEN_AT."""
    sx, sy = SCREEN_AT
    shape(ctx, rrect(x0, y0, x1 - x0, y1 - y0, r), bezel, lw=1.0)
    shape(ctx, rrect(sx - 0.5, sy - 0.5, DW + 1, DH + 1, 1.5), SCREEN, lw=1.0)
    # a soft reflection in the top-left corner of the glass
    shape(ctx, poly((sx + 1, sy + 1), (sx + 9, sy + 1), (sx + 1, sy + 7)), SCREEN_LT,
          outline=None)


def draw_maccpu(ctx):
    # A compact all-in-one in cream with a floppy slot, and its little mouse.
    curve(ctx, (37, 26), (42, 26), (44, 24), (44, 29), INK, 1.0)
    shape(ctx, rrect(1, 0.5, 36, 33, 5), CREAM, lw=1.0)
    shape(ctx, rrect(1, 27.5, 36, 6, 2.5), BEIGE, lw=1.0)
    screen(ctx, BEIGE, 2.5, 2.5, 29.5, 25.5)
    line(ctx, [(20, 30.5), (31, 30.5)], INK, 1.4)
    shape(ctx, rrect(5, 29.5, 5, 2, 0.8), RED, lw=0.6)
    for i in range(4):
        line(ctx, [(31.5, 6 + 3 * i), (34.5, 6 + 3 * i)], BEIGE_DK, 1.0)
    shape(ctx, ellipse(41.5, 30.5, 3.4, 2.3), CREAM, lw=1.0)
    line(ctx, [(41.5, 28.4), (41.5, 30.3)], INK, 0.8)


def draw_nextcpu(ctx):
    # A black monitor on a foot and a black cube beside it.
    shape(ctx, rrect(11, 26, 10, 6, 1.0), CHARCOAL, lw=1.0)
    shape(ctx, rrect(6, 30.5, 20, 3, 1.0), CHARCOAL_LT, lw=1.0)
    screen(ctx, CHARCOAL, 1.5, 1.5, 30.5, 27.0)
    # the cube: front, top and side faces
    shape(ctx, poly((31.5, 15.5), (42.5, 15.5), (42.5, 33.0), (31.5, 33.0)), CHARCOAL, lw=1.0)
    shape(ctx, poly((31.5, 15.5), (34.5, 12.5), (45.0, 12.5), (42.5, 15.5)), CHARCOAL_LT, lw=1.0)
    shape(ctx, poly((42.5, 15.5), (45.0, 12.5), (45.0, 30.0), (42.5, 33.0)), INK, lw=1.0)
    line(ctx, [(33.5, 30.5), (35.5, 30.5)], LED_GREEN, 1.2)
    line(ctx, [(33.5, 18.5), (40.5, 18.5)], CHARCOAL_LT, 1.0)


def draw_sgicpu(ctx):
    # A purple workstation tower with a teal stripe, and its teal monitor.
    shape(ctx, rrect(32, 3.5, 13, 30, 3.0), PURPLE, lw=1.0)
    shape(ctx, rrect(34.5, 6, 8, 4, 1.0), TEAL, lw=0.8)
    line(ctx, [(35, 14), (42, 14)], PURPLE_LT, 1.4)
    line(ctx, [(35, 17), (42, 17)], PURPLE_LT, 1.4)
    shape(ctx, circle(38.5, 27.5, 1.6), LED_GREEN, lw=0.8)
    shape(ctx, poly((10, 26), (22, 26), (25, 32.5), (7, 32.5)), TEAL_DK, lw=1.0)
    screen(ctx, TEAL, 1.0, 1.5, 31.0, 27.5, 5.0)
    shape(ctx, circle(27.5, 25.0, 0.9), YELLOW, outline=None)


def draw_suncpu(ctx):
    # A slate monitor on a flat pizza-box workstation as wide as the desk.
    shape(ctx, rrect(10, 25, 12, 4, 1.0), STEEL_DK, lw=1.0)
    screen(ctx, SLATE, 1.5, 1.0, 30.5, 26.5)
    shape(ctx, rrect(0.5, 27.5, 45, 6, 2.0), STEEL, lw=1.0)
    line(ctx, [(4, 30.5), (18, 30.5)], STEEL_DK, 1.2)
    shape(ctx, rrect(38, 29.5, 4, 2, 0.6), ORANGE, lw=0.6)
    # a stack of manuals beside the monitor
    shape(ctx, rrect(33.5, 18.0, 10, 3.5, 0.8), RED, lw=0.9)
    shape(ctx, rrect(32.5, 21.5, 11, 3.5, 0.8), SKY, lw=0.9)
    shape(ctx, rrect(33.0, 24.5, 10.5, 3.0, 0.8), YELLOW, lw=0.9)


def draw_os2cpu(ctx):
    # A deep blue terminal seen from the side, with its keyboard.
    shape(ctx, poly((29, 3), (41.5, 7), (41.5, 22), (29, 26)), TERM_DK, lw=1.0)
    for i in range(3):
        line(ctx, [(33 + 3 * i, 10 + i), (33 + 3 * i, 19 - i)], INK, 1.0)
    screen(ctx, TERM, 1.5, 1.0, 30.5, 27.0)
    shape(ctx, poly((3, 33.5), (7, 28.5), (43, 28.5), (45, 33.5)), STEEL_LT, lw=1.0)
    for i in range(7):
        line(ctx, [(9.5 + 5 * i, 30.3), (12 + 5 * i, 30.3)], STEEL_DK, 1.0)
        line(ctx, [(8.5 + 5 * i, 32.0), (11 + 5 * i, 32.0)], STEEL_DK, 1.0)


def draw_bsdcpu(ctx):
    # A beige PC: monitor on a foot and a tower with drive bays.
    shape(ctx, poly((10, 26.5), (22, 26.5), (24, 33), (8, 33)), BEIGE_DK, lw=1.0)
    screen(ctx, BEIGE, 1.5, 1.5, 30.5, 27.0)
    shape(ctx, rrect(32.5, 1.5, 12, 32, 1.5), BEIGE, lw=1.0)
    shape(ctx, rrect(34.5, 4.5, 8, 3, 0.6), CREAM, lw=0.8)
    shape(ctx, rrect(34.5, 9.5, 8, 3, 0.6), CREAM, lw=0.8)
    line(ctx, [(35.5, 16.5), (37.5, 16.5)], INK, 1.0)
    shape(ctx, circle(38.5, 28.5, 1.9), STEEL_LT, lw=0.8)
    shape(ctx, circle(41.5, 24.0, 0.9), LED_GREEN, outline=None)


def draw_toaster(ctx):
    # A chrome toaster with two slices in and its coils glowing in a window.
    shape(ctx, rrect(8, 0.5, 12, 6, 2.5), TOAST, outline=TOAST_DK, lw=1.0)
    shape(ctx, rrect(25, 1.5, 12, 5, 2.5), TOAST, outline=TOAST_DK, lw=1.0)
    shape(ctx, rrect(1, 4.5, 44, 27, 6), STEEL_LT, lw=1.0)
    line(ctx, [(7, 5.5), (21, 5.5)], INK, 1.6)
    line(ctx, [(24, 5.5), (38, 5.5)], INK, 1.6)
    sx, sy = SCREEN_AT
    shape(ctx, rrect(sx, sy + 3.5, DW, DH - 3.5, 2.0), CHARCOAL, lw=1.0)
    for i in range(3):
        yy = sy + 8.5 + 4 * i
        line(ctx, [(sx + 3, yy), (sx + DW - 3, yy)], GLOW, 1.3)
    line(ctx, [(3.5, 14), (3.5, 27)], WHITE, 1.0)
    # lever, dial and feet
    shape(ctx, rrect(38, 9, 7.5, 3.5, 1.2), CHARCOAL, lw=1.0)
    line(ctx, [(37.0, 13), (37.0, 27)], STEEL, 1.4)
    shape(ctx, circle(37.0, 22.5, 2.8), RED, lw=1.0)
    line(ctx, [(37.0, 22.5), (37.0, 20.4)], WHITE, 0.9)
    shape(ctx, rrect(5, 30.5, 6, 3, 1.0), CHARCOAL, lw=0.8)
    shape(ctx, rrect(35, 30.5, 6, 3, 1.0), CHARCOAL, lw=0.8)


COMPUTERS = [('toaster', draw_toaster), ('maccpu', draw_maccpu), ('nextcpu', draw_nextcpu),
             ('sgicpu', draw_sgicpu), ('suncpu', draw_suncpu), ('os2cpu', draw_os2cpu),
             ('bsdcpu', draw_bsdcpu)]

# ---------------------------------------------------------------------------
# The Glimp: a little hooded, horned gremlin in purple with green hands and
# glowing eyes.  One function draws it in any pose inside its GW x GH box,
# facing left (f = -1) or right (f = +1); the ground is at y = 31.

GROUND = 31.0


def pose(**kw):
    p = dict(f=-1, cx=15.0, dy=0.0, lean=0.0, hands=None, elbows=None,
             feet=None, eyes='glow', mouth='grin', tail=0.0, squash=1.0,
             look=0.0, bust=False)
    p.update(kw)
    return p


def _elbow(shoulder, hand, out):
    """An elbow bent away from the body by `out` pixels."""
    mx, my = (shoulder[0] + hand[0]) / 2.0, (shoulder[1] + hand[1]) / 2.0
    dx, dy = hand[0] - shoulder[0], hand[1] - shoulder[1]
    n = math.hypot(dx, dy) or 1.0
    nx, ny = dy / n, -dx / n
    return (mx + nx * out, my + ny * out)


def draw_glimp(ctx, p):
    f, cx, dy = p['f'], p['cx'], p['dy']
    hx, hy = cx + p['lean'] * f, 12.6 + dy           # head centre
    hip_y = 25.0 + dy
    sh_y = 19.2 + dy
    shoulders = [(cx + 4.0 * f, sh_y), (cx - 4.0 * f, sh_y)]   # front, back
    feet = p['feet'] or [(cx + 3.5 * f, 30.0), (cx - 3.5 * f, 30.0)]
    hands = p['hands'] or [(cx + 6.5 * f, 25.0 + dy), (cx - 6.5 * f, 25.0 + dy)]
    elbows = p['elbows']
    if elbows is None:
        elbows = []
        for i in range(2):
            # bend the elbows outward, away from the body's middle
            s, h = shoulders[i], hands[i]
            e1 = _elbow(s, h, 2.6)
            e2 = _elbow(s, h, -2.6)
            elbows.append(e1 if abs(e1[0] - cx) > abs(e2[0] - cx) else e2)

    ctx.save()
    if p['squash'] != 1.0:
        sq = p['squash']
        ctx.translate(cx, GROUND)
        ctx.scale(1.0 + (1.0 - sq) * 0.7, sq)
        ctx.translate(-cx, -GROUND)

    bust = p['bust']        # head and shoulders only, for the icon
    # tail: a thin devil's tail with an arrow tip, behind everything
    t = p['tail']
    if not bust:
        tb = (cx - 5.5 * f, 26.5 + dy)
        tc = (cx - 11.0 * f, 27.5 + dy - 2 * t)
        tt = (cx - 12.5 * f, 21.0 + dy - 3 * t)
        for colour, lw in ((INK, 3.0), (PURPLE_DK, 1.3)):
            ctx.new_path()
            ctx.move_to(*tb)
            ctx.curve_to(tc[0], tc[1], tc[0], tc[1], tt[0], tt[1])
            paint(ctx, colour)
            ctx.set_line_width(lw)
            ctx.set_line_cap(cairo.LINE_CAP_ROUND)
            ctx.stroke()
        shape(ctx, poly((tt[0], tt[1] - 2.6), (tt[0] + 2.0, tt[1] + 1.0), (tt[0] - 2.0, tt[1] + 1.0)),
              RED, lw=0.9)

        # legs and feet
        for i in (1, 0):
            hip = (cx + 2.4 * f * (1 if i == 0 else -1), hip_y)
            inked_line(ctx, [hip, (feet[i][0], feet[i][1] - 1.0)], PURPLE_DK, 1.8, 3.4)
        for i in (1, 0):
            fx, fy = feet[i]
            shape(ctx, ellipse(fx + 0.8 * f, fy, 2.5, 1.5), GREEN, lw=0.9)

    def arm(i):
        pts = [shoulders[i], elbows[i], hands[i]]
        inked_line(ctx, pts, PURPLE if i == 0 else PURPLE_DK, 2.0, 3.6)
        shape(ctx, circle(hands[i][0], hands[i][1], 1.9), GREEN, lw=0.9)

    if not bust:
        arm(1)

    # robe: a bell from the shoulders to the hem
    def robe(c):
        top = sh_y - 1.2
        c.move_to(cx - 4.2 + p['lean'] * f * 0.5, top)
        c.line_to(cx + 4.2 + p['lean'] * f * 0.5, top)
        c.curve_to(cx + 6.0, top + 4, cx + 7.2, hip_y - 1, cx + 7.8, hip_y + 1.8)
        c.curve_to(cx + 4, hip_y + 2.8, cx - 4, hip_y + 2.8, cx - 7.8, hip_y + 1.8)
        c.curve_to(cx - 7.2, hip_y - 1, cx - 6.0, top + 4, cx - 4.2 + p['lean'] * f * 0.5, top)
        c.close_path()
    shape(ctx, robe, PURPLE, lw=1.0)
    line(ctx, [(cx - 0.6 * f + 3.0 * f, sh_y + 1.5), (cx + 5.0 * f, hip_y + 1.8)], PURPLE_LT, 1.2)
    # a red clasp at the throat, the colour of the virus
    shape(ctx, circle(cx + 1.0 * f + p['lean'] * f * 0.5, sh_y + 0.2, 1.3), RED, lw=0.8)

    # hood: a long pointed tip sweeps back from the crown, with a red tassel
    tip = (hx - 11.5 * f, hy - 6.0 + p['tail'] * 0.8)
    def hood_tip(c):
        c.move_to(hx + 1.5 * f, hy - 6.2)
        c.curve_to(hx - 3.0 * f, hy - 9.5, tip[0] + 3.0 * f, tip[1] - 0.5, tip[0], tip[1])
        c.curve_to(tip[0] + 2.0 * f, tip[1] + 4.0, hx - 6.5 * f, hy - 2.0, hx - 6.0 * f, hy + 1.0)
        c.close_path()
    shape(ctx, hood_tip, PURPLE_DK, lw=1.0)
    shape(ctx, circle(tip[0], tip[1], 1.6), RED, lw=0.8)
    shape(ctx, ellipse(hx, hy, 7.3, 6.6), PURPLE, lw=1.0)
    shape(ctx, ellipse(hx - 2.0 * f, hy - 2.6, 3.0, 1.4, 0.5 * f), PURPLE_LT, outline=None)
    fx_, fy_ = hx + 1.8 * f, hy + 1.3
    shape(ctx, ellipse(fx_, fy_, 4.9, 4.2), SHADOW, lw=0.6)

    # eyes and mouth
    ex = [fx_ - 2.1, fx_ + 2.1]
    ey = fy_ - 0.8
    if p['eyes'] == 'glow':
        for x in ex:
            shape(ctx, ellipse(x, ey, 1.35, 1.7), YELLOW, outline=None)
            shape(ctx, circle(x + 0.5 * f + p['look'], ey + 0.2, 0.75), INK, outline=None)
    elif p['eyes'] == 'x':
        for x in ex:
            line(ctx, [(x - 1.1, ey - 1.1), (x + 1.1, ey + 1.1)], WHITE, 0.9)
            line(ctx, [(x - 1.1, ey + 1.1), (x + 1.1, ey - 1.1)], WHITE, 0.9)
    elif p['eyes'] == 'shut':
        for x in ex:
            ctx.new_path()
            ctx.arc(x, ey + 0.8, 1.3, math.pi * 1.1, math.pi * 1.9)
            paint(ctx, YELLOW)
            ctx.set_line_width(0.9)
            ctx.stroke()
    if p['mouth'] == 'grin':
        pts = [(fx_ - 2.4, fy_ + 1.9), (fx_ - 1.2, fy_ + 2.9), (fx_, fy_ + 2.1),
               (fx_ + 1.2, fy_ + 2.9), (fx_ + 2.4, fy_ + 1.9)]
        line(ctx, pts, WHITE, 0.8)
    elif p['mouth'] == 'wide':
        shape(ctx, poly((fx_ - 2.8, fy_ + 1.5), (fx_ + 2.8, fy_ + 1.5), (fx_, fy_ + 3.4)),
              WHITE, outline=None)
    elif p['mouth'] == 'o':
        shape(ctx, ellipse(fx_, fy_ + 2.3, 0.9, 1.0), WHITE, outline=None)

    if not bust:
        arm(0)
    ctx.restore()


def draw_stars(ctx, cx, cy, rx, phase, n=3):
    for k in range(n):
        a = phase + k * 2 * math.pi / n
        x, y = cx + rx * math.cos(a), cy + rx * 0.35 * math.sin(a)
        shape(ctx, poly(*star_points(x, y, 3.2, 1.4, 5, a)), YELLOW, lw=0.6)


def draw_puff(ctx, cx, cy, s):
    blobs = [(-6, 1, 3.6), (-2, -2, 4.2), (3, -1.5, 4.0), (6.5, 1.2, 3.2), (0, 2, 4.0)]
    def cloud(c):
        for bx, by, r in blobs:
            c.new_sub_path()
            c.arc(cx + bx * s, cy + by * s, r * s, 0, 2 * math.pi)
    # outline all the blobs first, then fill them, so the cloud has one rim
    ctx.new_path()
    cloud(ctx)
    paint(ctx, INK)
    ctx.set_line_width(2.0)
    ctx.stroke()
    ctx.new_path()
    cloud(ctx)
    paint(ctx, STEEL_LT)
    ctx.fill()
    shape(ctx, ellipse(cx - 2 * s, cy - 2.5 * s, 2.2 * s, 1.2 * s), WHITE, outline=None)


# Walking to the left; the carried distro is drawn by the game 15 pixels above
# the Glimp (11 in the middle picture), so the hands hold its lower edge.
WALK_LEFT = [
    pose(cx=15, dy=0, lean=0.5, hands=[(8.5, 4.6), (21.5, 5.2)],
         feet=[(9.5, 30), (20.0, 28.6)], tail=1.0),
    pose(cx=15, dy=1.5, hands=[(8.5, 8.6), (21.5, 8.6)], feet=[(12.5, 30), (17.0, 30)], tail=0.3),
    pose(cx=15, dy=0, lean=0.5, hands=[(8.5, 5.2), (21.5, 4.6)],
         feet=[(10.5, 28.6), (20.5, 30)], tail=-0.5),
]


def draw_walk(ctx, k):
    draw_glimp(ctx, WALK_LEFT[k])


def draw_mirrored(draw, w):
    def d(ctx):
        ctx.translate(w, 0)
        ctx.scale(-1, 1)
        draw(ctx)
    return d


def draw_dying(ctx, k):
    if k == 0:
        draw_glimp(ctx, pose(cx=16, dy=1, hands=[(5, 10), (27, 10)], feet=[(11, 30), (21, 30)],
                             eyes='x', mouth='o', squash=0.92, tail=1.5))
        shape(ctx, poly(*star_points(16, 3.5, 4.0, 1.6, 6, 0.3)), YELLOW, lw=0.9)
    elif k == 1:
        draw_glimp(ctx, pose(cx=16, dy=0, hands=[(5, 25), (27, 25)], feet=[(11, 30), (21, 30)],
                             eyes='x', mouth='o', squash=0.72, tail=0.5))
        draw_stars(ctx, 16, 11.5, 8.0, 0.3)
    elif k == 2:
        draw_glimp(ctx, pose(cx=16, dy=0, hands=[(4, 27), (28, 27)], feet=[(10, 30), (22, 30)],
                             eyes='x', mouth='none', squash=0.48, tail=0.0))
        draw_stars(ctx, 16, 17.0, 8.5, 1.4)
    elif k == 3:
        draw_glimp(ctx, pose(cx=16, dy=0, hands=[(3, 28), (29, 28)], feet=[(9, 30), (23, 30)],
                             eyes='x', mouth='none', squash=0.26, tail=0.0))
        draw_puff(ctx, 6, 25, 0.55)
        draw_puff(ctx, 26, 24, 0.6)
    else:
        draw_puff(ctx, 16, 25.5, 1.15)
        for x, y in ((5, 19), (27, 18), (16, 17)):
            shape(ctx, poly(*star_points(x, y, 3.0, 1.1, 4, 0.0)), YELLOW, lw=0.6)


def _abs_to_rel(k, pts):
    """Work-picture points given in computer coordinates, moved into the Glimp's box."""
    gx = WORK_X + WORK_DX[k]
    return [(x - gx, y - WORK_Y) for x, y in pts]


# The thirteen work pictures: where the Glimp stands is fixed by the rules
# (WORK_DX); the poses carry the distros that the game draws at fixed spots.
def work_pose(k):
    if k == 0:      # arrives, the virus still over its head
        return pose(cx=15, hands=[(8.5, 4.6), (21.5, 4.6)], feet=[(11, 30), (19, 30)])
    if k == 1:      # sets the virus down by the machine
        return pose(cx=17, dy=3, lean=-1, hands=[(7.0, 22.0), (29.0, 22.0)],
                    feet=[(12, 30), (22, 30)], look=0.3)
    if k == 2:      # sneaks towards the screen
        return pose(cx=13, dy=1, lean=1, hands=[(7.5, 22.5), (20.0, 20.5)],
                    feet=[(8.5, 30), (17.5, 29)], tail=1.0)
    if k == 3:      # reaches into the screen
        return pose(cx=20, dy=0, lean=1.5, hands=_abs_to_rel(3, [(9.0, 12.5), (12.5, 15.0)]),
                    feet=[(15, 30), (24, 30)], mouth='wide', tail=1.0)
    if k == 4:      # and tugs
        return pose(cx=20, dy=1, lean=-1.5, hands=_abs_to_rel(4, [(10.0, 13.0), (13.0, 15.5)]),
                    feet=[(13.5, 30), (24, 30)], mouth='o', tail=-0.5)
    if k == 5:      # tugs harder
        return pose(cx=20, dy=2, lean=-2.5, hands=_abs_to_rel(5, [(11.5, 13.0), (14.0, 15.5)]),
                    feet=[(12.5, 30), (24.5, 30)], mouth='o', eyes='shut', tail=-1.0)
    if k == 6:      # the distro pops out: it holds it up high
        return pose(cx=15, dy=-0.5, hands=[(9.0, 4.6), (21.0, 4.6)], feet=[(11, 30), (19, 30)],
                    mouth='wide', tail=1.5)
    if k == 7:      # sets the stolen distro down and takes the virus
        return pose(cx=12, dy=3, lean=-1, hands=[(0.5, 22.0), (22.0, 22.0)],
                    feet=[(7, 30), (17, 30)])
    if k == 8:      # lifts the virus
        return pose(cx=14, dy=0, hands=[(8.0, 4.6), (20.0, 4.6)], feet=[(10, 30), (18, 30)],
                    tail=0.5)
    if k == 9:      # carries it to the screen
        return pose(cx=21, dy=0, lean=0.5, hands=[(3.0, 11.5), (14.0, 12.5)],
                    feet=[(16, 30), (25, 29)], tail=1.0)
    if k == 10:     # pushes it in
        return pose(cx=23, dy=0, lean=2, hands=[(16.5, 7.5), (17.0, 14.0)],
                    feet=[(17, 30), (28, 30)], mouth='wide', tail=1.0)
    if k == 11:     # infected: one hand still on it, one fist up
        return pose(cx=23, dy=0, lean=1, hands=[(16.5, 10.5), (27.5, 3.5)],
                    feet=[(18, 30), (27, 30)], mouth='wide', eyes='shut', tail=1.5)
    # k == 12: turns back for the stolen distro
    return pose(f=1, cx=20, dy=3, lean=-1, hands=[(12.0, 22.0), (30.5, 22.0)],
                feet=[(16, 30), (26, 30)])


def draw_work(ctx, k):
    ctx.save()
    ctx.translate(WORK_X + WORK_DX[k], WORK_Y)
    draw_glimp(ctx, work_pose(k))
    ctx.restore()

# ---------------------------------------------------------------------------
# The spark, two 14 x 14 frames of a crackling burst that the game centres on
# its wire.

SPARK_SIZE = 14


def draw_spark(ctx, k):
    c = SPARK_SIZE / 2.0
    if k == 0:
        radii = [6.6, 3.0, 5.4, 2.6, 6.8, 3.0, 4.8, 2.6, 6.4, 2.8, 5.2, 2.6]
        rot = -0.2
    else:
        radii = [5.2, 2.6, 6.8, 3.0, 4.6, 2.6, 6.6, 2.8, 5.0, 2.6, 6.8, 3.0]
        rot = 0.35
    n = len(radii)
    pts = [(c + r * math.cos(rot + i * 2 * math.pi / n), c + r * math.sin(rot + i * 2 * math.pi / n))
           for i, r in enumerate(radii)]
    shape(ctx, poly(*pts), ORANGE, lw=1.1)
    inner = [(c + 0.55 * (x - c), c + 0.55 * (y - c)) for x, y in pts]
    shape(ctx, poly(*inner), YELLOW, outline=None)
    shape(ctx, circle(c, c, 1.5), WHITE, outline=None)

# ---------------------------------------------------------------------------
# Title pictures: the logo on the start screen, the window icon and the
# credits.  They reuse the sprites' shapes at a larger scale.

LOGO_W, LOGO_H = 320, 160
ICON_SIZE = 48
ABOUT_W, ABOUT_H = 320, 100


def fit_size(ctx, text, width):
    """The bold font size at which the text is `width` pixels wide."""
    ctx.select_font_face(FONT, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(100)
    return 100.0 * width / ctx.text_extents(text)[2]


def title_text(ctx, text, size, x, y, shadow=3.0, outline=4.5):
    """Big two-tone purple lettering with an ink rim and a drop shadow."""
    ctx.save()
    ctx.new_path()
    text_path(ctx, text, size, x + shadow, y + shadow)
    paint(ctx, INK)
    ctx.set_line_width(outline)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke_preserve()
    ctx.fill()
    ctx.new_path()
    text_path(ctx, text, size, x, y)
    paint(ctx, INK)
    ctx.set_line_width(outline)
    ctx.stroke_preserve()
    paint(ctx, PURPLE)
    ctx.fill_preserve()
    ctx.clip()
    xb, yb, w, h, _, _ = ctx.text_extents(text)
    paint(ctx, PURPLE_LT)
    ctx.rectangle(0, 0, 4000, y - h * 0.08)
    ctx.fill()
    ctx.restore()


def plain_text(ctx, text, size, x, y, colour=INK, weight=cairo.FONT_WEIGHT_BOLD,
               slant=cairo.FONT_SLANT_NORMAL):
    """Small hinted text, centred on (x, y), crisp enough to survive the
    one-bit transparency."""
    ctx.save()
    opts = cairo.FontOptions()
    opts.set_antialias(cairo.ANTIALIAS_GRAY)
    opts.set_hint_style(cairo.HINT_STYLE_FULL)
    opts.set_hint_metrics(cairo.HINT_METRICS_ON)
    ctx.set_font_options(opts)
    ctx.select_font_face(FONT, slant, weight)
    ctx.set_font_size(size)
    xb, yb, w, h, _, _ = ctx.text_extents(text)
    ctx.move_to(round(x - w / 2 - xb), round(y - h / 2 - yb))
    paint(ctx, colour)
    ctx.show_text(text)
    ctx.restore()


def sprite(ctx, draw, x, y, s):
    ctx.save()
    ctx.translate(x, y)
    ctx.scale(s, s)
    draw(ctx)
    ctx.restore()


def draw_logo(ctx):
    title_text(ctx, 'Glimpwatch', fit_size(ctx, 'Glimpwatch', 292), LOGO_W / 2 - 1.5, 33)
    plain_text(ctx, 'keep the clones off your network', 12.5, LOGO_W / 2, 73,
               colour=PURPLE_DK, slant=cairo.FONT_SLANT_ITALIC)
    s = 1.5
    base = 88
    # an infected machine sends a spark down the wire to a clean one
    ax, bx = 92, 190
    cy = base + 14
    wire = [(ax + 40 * s, cy + 20 * s), (bx + 14 * s, cy + 20 * s)]
    line(ctx, wire, INK, 1.5)
    sprite(ctx, draw_bsdcpu, ax, cy, s)
    sprite(ctx, emblem_initfail, ax + SCREEN_AT[0] * s, cy + SCREEN_AT[1] * s, s)
    sprite(ctx, draw_suncpu, bx, cy, s)
    sprite(ctx, emblem_debian, bx + SCREEN_AT[0] * s, cy + SCREEN_AT[1] * s, s)
    sprite(ctx, lambda c: draw_spark(c, 1), 176 - 7 * s, wire[0][1] - 7 * s, s)
    # a Glimp comes in from the left with the virus over its head ...
    gx, gy = 30, base + 22
    sprite(ctx, emblem_initfail, gx - 2 * s, gy - 15 * s, s)
    sprite(ctx, draw_mirrored(lambda c: draw_walk(c, 0), GW), gx, gy, s)
    # ... and the bucket waits in the corner
    sprite(ctx, draw_bucket, 272, base + 28, 1.4)


def draw_icon(ctx):
    # The Glimp's hooded face, big enough for a window list.
    s = 2.3
    sprite(ctx, lambda c: draw_glimp(c, pose(cx=15, bust=True)), 23 - 18.0 * s, 27.5 - 15.5 * s, s)
    sprite(ctx, emblem_initfail, ICON_SIZE - DW * 0.75 - 0.5, ICON_SIZE - DH * 0.75 - 0.5, 0.75)


def draw_about(ctx):
    title_text(ctx, 'Glimpwatch 1.0', 34, ABOUT_W / 2, 21, shadow=2.0, outline=3.2)
    plain_text(ctx, 'Art, code and mischief by the Glimpwatch team', 11,
               ABOUT_W / 2, 52, colour=INK)
    names = DISTROS
    gap = 4
    x = (ABOUT_W - (len(names) * DW + (len(names) - 1) * gap)) / 2.0
    for name in names:
        sprite(ctx, EMBLEMS[name], round(x), 70, 1.0)
        x += DW + gap


# The desktop's icon theme wants the icon in a row of sizes; these are drawn
# from the same shapes at each size with soft edges, not scaled from the XPM.
HICOLOR_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


def write_hicolor_icons():
    for n in HICOLOR_SIZES:
        surf, ctx = new_canvas(n, n)
        ctx.scale(n / ICON_SIZE, n / ICON_SIZE)
        draw_icon(ctx)
        folder = os.path.join(HICOLOR, '%dx%d' % (n, n), 'apps')
        os.makedirs(folder, exist_ok=True)
        surf.write_to_png(os.path.join(folder, 'glimpwatch.png'))

# ---------------------------------------------------------------------------
# The highlight around a computer that would take the distro being dragged: a
# band HL_MARGIN pixels wide around the computer's box, solid blue next to it
# and fading to white outward, with round corners. It lies under the field, so
# the computer covers its middle (transparent) and its soft rim fades into the
# white field; blue on white reads by its lightness too, whatever colours a
# player tells apart.

def highlight_rows():
    w, h = CW + 2 * HL_MARGIN, CH + 2 * HL_MARGIN
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            # distance from the pixel's centre to the computer's box
            dx = max(HL_MARGIN - (x + 0.5), (x + 0.5) - (HL_MARGIN + CW), 0)
            dy = max(HL_MARGIN - (y + 0.5), (y + 0.5) - (HL_MARGIN + CH), 0)
            d = math.hypot(dx, dy)
            if d == 0 or d > HL_MARGIN:
                row.append(None)
                continue
            # solid for two pixels, then paler by a third a pixel
            strength = 1.0 if d <= 2 else max(0.2, 1.0 - (d - 2) / 3.2)
            row.append(tuple(int(round(255 + (c * 255 - 255) * strength)) for c in BLUE))
        rows.append(row)
    return rows


def render(draw, w, h):
    surf, ctx = new_canvas(w, h)
    draw(ctx)
    return surf


def main():
    os.makedirs(PIXMAPS, exist_ok=True)
    save('logo', render(draw_logo, LOGO_W, LOGO_H))
    save('icon', render(draw_icon, ICON_SIZE, ICON_SIZE))
    save('about', render(draw_about, ABOUT_W, ABOUT_H))
    for name, draw in EMBLEMS.items():
        save(name, render(draw, DW, DH))
    for k in range(3):
        # walking right is the exact mirror image of walking left
        rows = save('miteL_%d' % k, render(lambda c, k=k: draw_walk(c, k), GW, GH))
        write_quantised_xpm('miteR_%d' % k, [row[::-1] for row in rows])
    for k in range(5):
        save('miteD_%d' % k, render(lambda c, k=k: draw_dying(c, k), GW, GH))
    for k in range(13):
        save('miteA_%d' % k, render(lambda c, k=k: draw_work(c, k), AW, AH))
    for name, draw in COMPUTERS:
        save(name, render(draw, CW, CH))
    write_xpm('highlight', highlight_rows())
    save('bucket', render(draw_bucket, BUCKET_SIZE, BUCKET_SIZE))
    for k in range(2):
        save('spark_%d' % k, render(lambda c, k=k: draw_spark(c, k), SPARK_SIZE, SPARK_SIZE))
    write_cursor_header()
    write_hicolor_icons()


if __name__ == '__main__':
    main()
