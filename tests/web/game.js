// The game in a page of the browser, played with the browser's own mouse, finger and keys:
// where its canvas is, what its status line says, its dialogs and menus.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const { sleep } = require('./browser');
const field = require('./field');

const CAPTURES = process.env.GLIMPWATCH_CAPTURES || path.join(field.ROOT, 'build-web', 'captures');

// The window's title, from the one line that holds it (gui/title.h).
const MAIN_TITLE = /MAIN_TITLE\[\] = "(.*)";/.exec(
    fs.readFileSync(path.join(field.ROOT, 'gui', 'title.h'), 'utf8'))[1];

class Game {
    // The page at the address's query (e.g. "?level=5"), its first frame drawn.
    static async open(browser, site, query = '', options = {}) {
        const page = await browser.newPage(options);
        const game = new Game(page, site);
        await page.goto(site + query);
        await game.started();
        return game;
    }

    constructor(page, site) {
        this.page = page;
        this.site = site;
        this.size = 0;
        this.box = null;
    }

    // Waits for the program's first frame (or the page's message when it cannot start).
    async started() {
        const shown = await this.page.waitFor(`(performance.getEntriesByName('glimpwatch-first-frame').length &&
            'game') || (!document.getElementById('message').hidden && 'message')`, 20000);
        if (shown === 'game') {
            this.size = await this.page.evaluate('GlimpwatchPage.fieldSize()');
            this.box = await this.page.evaluate(
                'JSON.parse(JSON.stringify(document.getElementById("canvas").getBoundingClientRect()))');
        }
        return shown;
    }

    async reload() {
        await this.page.reload();
        return this.started();
    }

    // A point of the field in the page's CSS pixels, in the middle of the field pixel.
    at(x, y) {
        return { x: this.box.x + ((x + 0.5) * this.box.width) / this.size,
            y: this.box.y + ((y + 0.5) * this.box.height) / this.size };
    }

    async moveTo(x, y) {
        const p = this.at(x, y);
        await this.page.moveTo(p.x, p.y);
    }

    // The pointer on the page's surround, off the game's window.
    async leave() { await this.page.moveTo(3, 3); }

    async click(x, y) {
        const p = this.at(x, y);
        await this.page.click(p.x, p.y);
    }

    async tap(x, y) {
        const p = this.at(x, y);
        await this.page.tap(p.x, p.y);
    }

    async drag(x1, y1, x2, y2) {
        const a = this.at(x1, y1), b = this.at(x2, y2);
        await this.page.drag(a.x, a.y, b.x, b.y);
    }

    capture() { return field.capture(this.page); }

    async save(name, canvas) {
        fs.mkdirSync(CAPTURES, { recursive: true });
        await this.page.screenshot(path.join(CAPTURES, name + '.png'));
        return canvas;
    }

    status() { return this.page.evaluate('document.getElementById("status").textContent'); }

    async score() {
        const m = /Score:(-?\d+)/.exec(await this.status());
        return m ? Number(m[1]) : null;
    }

    // The titles of the dialogs up, the last on top.
    openDialogs() {
        return this.page.evaluate(`[...document.querySelectorAll('dialog[open] .dialog-title')]
            .map((t) => t.textContent)`);
    }

    async waitForDialog(title, timeoutMs = 10000) {
        return this.page.waitFor(`[...document.querySelectorAll('dialog[open] .dialog-title')]
            .some((t) => t.textContent === ${JSON.stringify(title)})`, timeoutMs);
    }

    dialogText(title) {
        return this.page.evaluate(`(() => {
            const d = [...document.querySelectorAll('dialog')].find((e) =>
                e.querySelector('.dialog-title').textContent === ${JSON.stringify(title)});
            // What shows: its lines, and a table's rows with their cells between tabs.
            return [...d.querySelectorAll('.dialog-text, tr')].filter((e) => !e.closest('[hidden]'))
                .map((e) => e.tagName === 'TR' ? [...e.cells].map((c) => c.textContent).join('\\t') : e.textContent)
                .join('\\n');
        })()`);
    }

    // Clicks a button, by its label, of the dialog on top, with the mouse.
    async pressButton(label) {
        const p = await this.page.evaluate(`(() => {
            const open = [...document.querySelectorAll('dialog[open]')];
            const b = [...open[open.length - 1].querySelectorAll('button')]
                .find((e) => e.textContent === ${JSON.stringify(label)});
            const r = b.getBoundingClientRect();
            return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
        })()`);
        await this.page.click(p.x, p.y);
    }

    // Opens a menu of the bar with the mouse; its entries: label, whether enabled and checked.
    async openMenu(title) {
        const p = await this.page.evaluate(`(() => {
            const b = [...document.querySelectorAll('.menu-title')].find((e) => e.textContent === ${JSON.stringify(title)});
            const r = b.getBoundingClientRect();
            return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
        })()`);
        await this.page.click(p.x, p.y);
        return this.page.evaluate(`[...document.querySelectorAll('.menu:not([hidden]) .menu-entry')].map((e) => ({
            label: e.querySelector('.entry-label').textContent, enabled: !e.disabled,
            checked: e.getAttribute('aria-checked') }))`);
    }

    async chooseEntry(label) {
        const p = await this.page.evaluate(`(() => {
            const e = [...document.querySelectorAll('.menu:not([hidden]) .menu-entry')]
                .find((b) => b.querySelector('.entry-label').textContent === ${JSON.stringify(label)});
            const r = e.getBoundingClientRect();
            return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
        })()`);
        await this.page.click(p.x, p.y);
    }

    // The field standing still, as the game last drew it. The pointer leaving pauses the game
    // and its view; coming back shows the frame at once, and the next tick is a whole period
    // away, so a look then and a leave again find the frame the paused view dimmed.
    async stillField() {
        for (let attempt = 0; attempt < 10; attempt++) {
            await this.leave();
            await field.snap(this.page, 'paused');
            await this.moveTo(this.size - 3, 2);
            await field.snap(this.page, 'frame');
            await this.leave();
            await field.snap(this.page, 'again');
            const [paused, frame, again] = [await field.fetch(this.page, 'paused'),
                await field.fetch(this.page, 'frame'), await field.fetch(this.page, 'again')];
            if (dims(frame, paused) && again.differences(paused) === 0)
                return frame;
        }
        return null;
    }

    // Lets the game run with the pointer on the field until the condition holds for a look
    // at it, or until timeout_ms; the look that held, or null.
    async playUntil(condition, timeoutMs = 10000) {
        await this.moveTo(this.size / 2, this.size / 2);
        const end = Date.now() + timeoutMs;
        for (;;) {
            const canvas = await this.capture();
            if (await condition(canvas))
                return canvas;
            if (Date.now() > end)
                return null;
            await sleep(100);
        }
    }

    async lost() { return (await this.openDialogs()).includes('End Game'); }

    close() { return this.page.close(); }
}

// Whether paused shows frame dimmed to half its brightness, apart from the band across the
// middle that holds the line.
function dims(frame, paused) {
    if (frame.rgba.length !== paused.rgba.length)
        return false;
    const band = [frame.height / 2 - 40, frame.height / 2 + 40];
    for (let y = 0; y < frame.height; y += 3) {
        if (y > band[0] && y < band[1])
            continue;
        for (let x = 0; x < frame.width; x += 3) {
            const a = frame.at(x, y), b = paused.at(x, y);
            for (const shift of [0, 8, 16]) {
                const half = ((a >> shift) & 255) / 2;
                if (Math.abs(((b >> shift) & 255) - half) > 2)
                    return false;
            }
        }
    }
    return true;
}

module.exports = { Game, MAIN_TITLE, CAPTURES, dims };
