// What the page's play field shows: the game's own pictures (read from pixmaps/ here, apart
// from the program's reader) found in captures of the canvas, as the desktop's end-to-end
// tests find them (tests/e2e/field_view.h).
'use strict';

const fs = require('node:fs');
const path = require('node:path');

const ROOT = path.resolve(__dirname, '..', '..');

// A picture of pixmaps/: its size, and per pixel its colour (0xrrggbb) or -1 where clear.
const pictures = new Map();
function picture(name) {
    if (pictures.has(name))
        return pictures.get(name);
    const text = fs.readFileSync(path.join(ROOT, 'pixmaps', name + '.xpm'), 'latin1');
    const strings = [...text.matchAll(/"((?:[^"\\]|\\.)*)"/g)].map((m) => m[1].replace(/\\(.)/g, '$1'));
    const [width, height, colours, chars] = strings[0].trim().split(/\s+/).map(Number);
    const table = new Map();
    for (let i = 1; i <= colours; i++) {
        const line = strings[i];
        const value = / c (\S+)/.exec(line.slice(chars))[1];
        table.set(line.slice(0, chars), value.toLowerCase() === 'none' ? -1 : parseInt(value.slice(1, 7), 16));
    }
    const pixels = new Int32Array(width * height);
    let opaque = 0;
    for (let y = 0; y < height; y++) {
        const row = strings[1 + colours + y];
        for (let x = 0; x < width; x++) {
            pixels[y * width + x] = table.get(row.slice(x * chars, (x + 1) * chars));
            opaque += pixels[y * width + x] >= 0;
        }
    }
    const result = { name, width, height, pixels, opaque };
    pictures.set(name, result);
    return result;
}

// The canvas as the page shows it, read in the field's own pixels (one canvas pixel of each
// scale x scale block).
class Capture {
    constructor(width, height, scale, rgba) {
        this.width = width / scale;
        this.height = height / scale;
        this.scale = scale;
        this.canvasWidth = width;
        this.rgba = rgba;
    }

    // The canvas pixel at (x, y) of the canvas itself, as 0xrrggbb.
    raw(x, y) {
        const i = (y * this.canvasWidth + x) * 4;
        return (this.rgba[i] << 16) | (this.rgba[i + 1] << 8) | this.rgba[i + 2];
    }

    at(x, y) { return this.raw(x * this.scale, y * this.scale); }

    // How many changed pixels of the field lie between this capture and another.
    differences(other) {
        let n = 0;
        for (let i = 0; i < this.rgba.length; i += 4)
            n += this.rgba[i] !== other.rgba[i] || this.rgba[i + 1] !== other.rgba[i + 1] ||
                this.rgba[i + 2] !== other.rgba[i + 2];
        return n;
    }
}

// Keeps the page's canvas as it is now, in the page, under the name: a quick look that
// fetch() brings over later.
function snap(page, name = 'look') {
    return page.evaluate(`(() => {
        const c = document.getElementById('canvas');
        (window.testLooks = window.testLooks || {})[${JSON.stringify(name)}] =
            { width: c.width, height: c.height, pixels: c.getContext('2d').getImageData(0, 0, c.width, c.height).data };
        return true;
    })()`);
}

async function fetch(page, name = 'look') {
    const result = await page.evaluate(`(() => {
        const look = window.testLooks[${JSON.stringify(name)}];
        const d = look.pixels;
        let s = '';
        for (let i = 0; i < d.length; i += 0x8000)
            s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
        return { width: look.width, height: look.height, scale: look.width / GlimpwatchPage.fieldSize(), data: btoa(s) };
    })()`);
    return new Capture(result.width, result.height, result.scale, Buffer.from(result.data, 'base64'));
}

// The page's canvas now.
async function capture(page) {
    await snap(page);
    return fetch(page);
}

// Pixels of the picture that the canvas does not show with its corner at (x, y).
function mismatches(canvas, pic, px, py) {
    let n = 0;
    for (let y = 0; y < pic.height; y++)
        for (let x = 0; x < pic.width; x++) {
            const want = pic.pixels[y * pic.width + x];
            if (want < 0)
                continue;
            const cx = px + x, cy = py + y;
            if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height || canvas.at(cx, cy) !== want)
                n++;
        }
    return n;
}

function coveredShare(canvas, name, x, y) {
    const pic = picture(name);
    return mismatches(canvas, pic, x, y) / pic.opaque;
}

// Every place where one of the pictures lies whole, a share of it possibly covered.
function findOnField(canvas, names, share = 0.1) {
    const found = [];
    for (const name of names) {
        const pic = picture(name);
        const allowed = Math.floor(share * pic.opaque);
        // Anchored on the picture's last opaque pixel: only places showing its colour there
        // are looked at whole.
        let anchor = pic.pixels.length - 1;
        while (anchor >= 0 && pic.pixels[anchor] < 0)
            anchor--;
        const ax = anchor % pic.width, ay = Math.floor(anchor / pic.width);
        for (let py = 0; py + pic.height <= canvas.height; py++)
            for (let px = 0; px + pic.width <= canvas.width; px++) {
                if (canvas.at(px + ax, py + ay) !== pic.pixels[anchor] || mismatches(canvas, pic, px, py) > allowed)
                    continue;
                if (!found.some((s) => Math.abs(s.x - px) <= 3 && Math.abs(s.y - py) <= 3))
                    found.push({ name, x: px, y: py, w: pic.width, h: pic.height,
                        cx: px + (pic.width >> 1), cy: py + (pic.height >> 1) });
            }
    }
    return found;
}

const WALKING = ['miteL_0', 'miteL_1', 'miteL_2', 'miteR_0', 'miteR_1', 'miteR_2'];
const DYING = ['miteD_0', 'miteD_1', 'miteD_2', 'miteD_3', 'miteD_4'];

// Glimps walking wholly inside the field, away from the bucket's corner and the status line.
function walkingGlimps(canvas) {
    return findOnField(canvas, WALKING).filter((s) =>
        s.x > 2 && s.y > 40 && s.x + s.w < canvas.width - 2 && s.y + s.h < canvas.height - 20);
}

// The real distros by index 1..10, and the computer that runs each (the PC takes the rest).
const DISTROS = ['arch', 'bsd', 'centos', 'debian', 'gentoo', 'mandriva', 'openbsd', 'slackware', 'suse', 'ubuntu'];
function computerFor(distro) {
    const kinds = ['maccpu', 'nextcpu', 'sgicpu', 'suncpu', 'os2cpu'];
    const i = DISTROS.indexOf(distro);
    return i < kinds.length ? kinds[i] : 'bsdcpu';
}

// Walking Glimps with the real distro they carry over their heads (it bobs).
function carriers(canvas) {
    const result = [];
    for (const g of walkingGlimps(canvas))
        for (const d of DISTROS)
            if ([-15, -11, -19].some((dy) => coveredShare(canvas, d, g.x - 2, g.y + dy) < 0.15)) {
                result.push({ glimp: g, distro: d });
                break;
            }
    return result;
}

function liesAt(canvas, distro, x, y) { return coveredShare(canvas, distro, x, y) < 0.15; }

// A point of the field with nothing drawn around it, far enough from (x, y).
function emptySpot(canvas, x, y) {
    for (let cy = 60; cy + 30 < canvas.height - 30; cy += 16)
        for (let cx = 40; cx + 30 < canvas.width; cx += 16) {
            if (Math.abs(cx - x) < 80 && Math.abs(cy - y) < 80)
                continue;
            let clear = true;
            for (let yy = cy - 30; yy < cy + 30 && clear; yy++)
                for (let xx = cx - 30; xx < cx + 30 && clear; xx++)
                    clear = canvas.at(xx, yy) === 0xffffff;
            if (clear)
                return { x: cx, y: cy };
        }
    return null;
}

module.exports = {
    ROOT, picture, snap, fetch, capture, Capture, mismatches, coveredShare, findOnField, walkingGlimps, DYING,
    DISTROS, computerFor, carriers, liesAt, emptySpot,
};
