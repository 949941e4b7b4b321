// A headless Chromium driven through the DevTools protocol over a pipe (no websocket, no
// package): the browser tests' and the measurements' real browser. Each page gets a browser
// context of its own, so no page sees another's storage; a page reloaded keeps its own.
'use strict';

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

class Browser {
    // Starts the browser with a fresh profile; the machine's network is not used.
    static async launch() {
        const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glimpwatch-chromium-'));
        const args = [
            '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--disable-dev-shm-usage', '--hide-scrollbars', '--mute-audio',
            `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank',
        ];
        // A process group of its own, so that the browser's helpers go with it.
        const child = spawn(CHROMIUM, args, { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
        const browser = new Browser(child, profile);
        await browser.send('Target.setDiscoverTargets', { discover: false });
        return browser;
    }

    constructor(child, profile) {
        this.child = child;
        this.profile = profile;
        this.nextId = 1;
        this.pending = new Map();
        this.listeners = new Map();   // sessionId -> handler of its events
        this.log = '';
        child.stderr.on('data', (chunk) => { this.log = (this.log + chunk).slice(-4000); });
        let buffered = '';
        child.stdio[4].on('data', (chunk) => {
            buffered += chunk.toString('utf8');
            let end;
            while ((end = buffered.indexOf('\0')) >= 0) {
                this.receive(JSON.parse(buffered.slice(0, end)));
                buffered = buffered.slice(end + 1);
            }
        });
        this.exited = new Promise((resolve) => child.once('exit', resolve));
        this.exited.then(() => {
            for (const { reject } of this.pending.values())
                reject(new Error('the browser ended\n' + this.log));
            this.pending.clear();
        });
    }

    receive(message) {
        if (message.id !== undefined) {
            const call = this.pending.get(message.id);
            this.pending.delete(message.id);
            if (!call)
                return;
            if (message.error)
                call.reject(new Error(`${call.method}: ${message.error.message}`));
            else
                call.resolve(message.result);
        } else {
            const handler = this.listeners.get(message.sessionId || '');
            if (handler)
                handler(message.method, message.params);
        }
    }

    send(method, params = {}, sessionId) {
        const id = this.nextId++;
        const message = { id, method, params };
        if (sessionId)
            message.sessionId = sessionId;
        return new Promise((resolve, reject) => {
            this.pending.set(id, { resolve, reject, method });
            this.child.stdio[3].write(JSON.stringify(message) + '\0');
        });
    }

    // A new tab in a browser context of its own, width x height CSS pixels at the scale.
    async newPage({ width = 800, height = 700, scale = 1 } = {}) {
        const { browserContextId } = await this.send('Target.createBrowserContext');
        const { targetId } = await this.send('Target.createTarget', { url: 'about:blank', browserContextId });
        const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
        const page = new Page(this, sessionId, targetId);
        await page.send('Page.enable');
        await page.send('Runtime.enable');
        await page.send('Log.enable');
        await page.send('Emulation.setDeviceMetricsOverride',
            { width, height, deviceScaleFactor: scale, mobile: false });
        return page;
    }

    async close() {
        try {
            await Promise.race([this.send('Browser.close'), sleep(3000)]);
        } catch (e) {
            // Gone already.
        }
        await Promise.race([this.exited, sleep(3000)]);
        try {
            process.kill(-this.child.pid, 'SIGKILL');
        } catch (e) {
            // The whole group is gone.
        }
        await this.exited;
        // The browser's helpers may still be writing their last files as they go.
        for (let attempt = 0; attempt < 30; attempt++) {
            try {
                fs.rmSync(this.profile, { recursive: true, force: true });
                return;
            } catch (e) {
                await sleep(100);
            }
        }
    }
}

class Page {
    constructor(browser, sessionId, targetId) {
        this.browser = browser;
        this.sessionId = sessionId;
        this.targetId = targetId;
        this.problems = [];         // console errors and uncaught exceptions
        this.consoleLines = [];
        this.loaded = null;
        browser.listeners.set(sessionId, (method, params) => this.event(method, params));
    }

    event(method, params) {
        if (method === 'Runtime.consoleAPICalled') {
            const text = params.args.map((a) => (a.value !== undefined ? a.value : a.description)).join(' ');
            this.consoleLines.push(`${params.type}: ${text}`);
            if (params.type === 'error' || params.type === 'assert')
                this.problems.push(`console.${params.type}: ${text}`);
        } else if (method === 'Runtime.exceptionThrown') {
            const d = params.exceptionDetails;
            this.problems.push(`exception: ${d.exception ? d.exception.description : d.text}`);
        } else if (method === 'Log.entryAdded' && params.entry.level === 'error') {
            this.problems.push(`log: ${params.entry.text} ${params.entry.url || ''}`);
        } else if (method === 'Page.loadEventFired' && this.loaded) {
            this.loaded();
        }
    }

    send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }

    // Loads the address and waits for the page's load event.
    async goto(url) {
        const loaded = new Promise((resolve) => { this.loaded = resolve; });
        await this.send('Page.navigate', { url });
        await loaded;
    }

    async reload() {
        const loaded = new Promise((resolve) => { this.loaded = resolve; });
        await this.send('Page.reload');
        await loaded;
    }

    // The value of a JavaScript expression in the page (a promise is awaited).
    async evaluate(expression) {
        const result = await this.send('Runtime.evaluate',
            { expression, awaitPromise: true, returnByValue: true, userGesture: false });
        if (result.exceptionDetails)
            throw new Error(`${expression}: ${result.exceptionDetails.exception
                ? result.exceptionDetails.exception.description : result.exceptionDetails.text}`);
        return result.result.value;
    }

    // Waits until the expression is truthy; its value, or null after timeout_ms.
    async waitFor(expression, timeoutMs = 10000, everyMs = 50) {
        const end = Date.now() + timeoutMs;
        for (;;) {
            const value = await this.evaluate(expression);
            if (value)
                return value;
            if (Date.now() > end)
                return null;
            await sleep(everyMs);
        }
    }

    // Real input: the browser's own mouse, finger and keyboard events.
    mouse(type, x, y, button = 'left') {
        const pressed = type === 'mouseMoved' ? 'none' : button;
        return this.send('Input.dispatchMouseEvent',
            { type, x, y, button: pressed, buttons: type === 'mousePressed' ? 1 : 0, clickCount: 1 });
    }

    async moveTo(x, y) { await this.mouse('mouseMoved', x, y); }

    async click(x, y) {
        await this.mouse('mouseMoved', x, y);
        await this.mouse('mousePressed', x, y);
        await this.mouse('mouseReleased', x, y);
    }

    // A press at one point, a move and the release at another.
    async drag(x1, y1, x2, y2, steps = 6) {
        await this.mouse('mouseMoved', x1, y1);
        await this.mouse('mousePressed', x1, y1);
        for (let i = 1; i <= steps; i++) {
            await this.send('Input.dispatchMouseEvent', {
                type: 'mouseMoved', x: x1 + ((x2 - x1) * i) / steps, y: y1 + ((y2 - y1) * i) / steps,
                button: 'left', buttons: 1,
            });
        }
        await this.mouse('mouseReleased', x2, y2);
    }

    async tap(x, y) {
        await this.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
        await this.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    }

    async key(key, { ctrl = false, code, text } = {}) {
        const modifiers = ctrl ? 2 : 0;
        const base = { key, code: code || key, modifiers, windowsVirtualKeyCode: virtualKey(key) };
        await this.send('Input.dispatchKeyEvent',
            { type: text ? 'keyDown' : 'rawKeyDown', ...base, ...(text ? { text } : {}) });
        await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...base });
    }

    async type(text) { await this.send('Input.insertText', { text }); }

    // The page as the screen shows it, written to a PNG file.
    async screenshot(file) {
        const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, Buffer.from(data, 'base64'));
    }

    async close() {
        this.browser.listeners.delete(this.sessionId);
        await this.browser.send('Target.closeTarget', { targetId: this.targetId });
    }
}

function virtualKey(key) {
    if (key.length === 1)
        return key.toUpperCase().charCodeAt(0);
    const keys = { Enter: 13, Escape: 27, Backspace: 8, Tab: 9, F1: 112, ArrowDown: 40, ArrowUp: 38 };
    return keys[key] || 0;
}

module.exports = { Browser, Page, sleep };
