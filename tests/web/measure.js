// The web page's figures in docs/performance.md: load to first frame, the site's size
// compressed, and the page's CPU per tick at level 40. A measurement, not a test: run by
// `scripts/web.sh measure` (node tests/web/measure.js <site>). ROUNDS (3) pages are
// measured for each figure, PLAY_SECONDS (6) of play each; the median and the spread are
// printed.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { Browser, sleep } = require('./browser');
const { Game } = require('./game');
const { serve } = require('../../scripts/web_server');

const ROUNDS = Number(process.env.ROUNDS || 3);
const PLAY_SECONDS = Number(process.env.PLAY_SECONDS || 6);
const TICK_MS = 200;

function spread(values, digits) {
    const sorted = [...values].sort((a, b) => a - b);
    const median = sorted[sorted.length >> 1];
    return `${median.toFixed(digits)} (${sorted[0].toFixed(digits)} to ${sorted[sorted.length - 1].toFixed(digits)})`;
}

// Every file of the site, each compressed as a web server would send it (gzip, level 9).
function siteSize(site) {
    let raw = 0, compressed = 0;
    const rows = [];
    const walk = (dir) => {
        for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
            const file = path.join(dir, entry.name);
            if (entry.isDirectory()) {
                walk(file);
                continue;
            }
            const bytes = fs.readFileSync(file);
            const packed = zlib.gzipSync(bytes, { level: 9 }).length;
            raw += bytes.length;
            compressed += packed;
            rows.push([path.relative(site, file), bytes.length, packed]);
        }
    };
    walk(site);
    return { raw, compressed, rows };
}

// The time from the start of the navigation to the first frame copied to the canvas.
async function firstFrame(browser, url) {
    const times = [];
    for (let round = 0; round < ROUNDS + 1; round++) {
        const game = await Game.open(browser, url, '?level=1');
        const ms = await game.page.evaluate("performance.getEntriesByName('glimpwatch-first-frame')[0].startTime");
        await game.close();
        // The first load fills the browser's own caches (its compiled code among them).
        if (round > 0)
            times.push(ms);
    }
    return times;
}

// The renderer's main-thread time per tick while level 40 plays with the pointer on the
// field: the browser's own account of its tasks (script, style, layout, paint).
async function cpuPerTick(browser, url, size) {
    const perTick = [];
    for (let round = 0; round < ROUNDS; round++) {
        const game = await Game.open(browser, url, `?level=40&size=${size}&mute=1`);
        await game.page.send('Performance.enable');
        await game.moveTo(game.size / 2, game.size / 2);
        await sleep(1000);
        const task = async () => {
            const { metrics } = await game.page.send('Performance.getMetrics');
            return metrics.find((m) => m.name === 'TaskDuration').value * 1000;
        };
        const t0 = await task(), start = Date.now();
        await sleep(PLAY_SECONDS * 1000);
        const t1 = await task(), elapsed = Date.now() - start;
        if (await game.lost())
            console.error(`  (the level 40 game on the ${size} field ended during the round)`);
        perTick.push((t1 - t0) / (elapsed / TICK_MS));
        await game.close();
    }
    return perTick;
}

async function main() {
    const site = process.argv[2] || path.join(__dirname, '..', '..', 'build-web', 'site');
    const { server, url } = await serve(site);
    const browser = await Browser.launch();
    try {
        const size = siteSize(site);
        console.log('The site, raw and gzip-compressed (bytes):');
        for (const [name, raw, packed] of size.rows)
            console.log(`  ${name}: ${raw}, ${packed}`);
        console.log(`  all: ${size.raw}, ${size.compressed} (${(size.compressed / 1024).toFixed(0)} KiB)`);
        console.log(`Load to first frame (ms): ${spread(await firstFrame(browser, url), 0)}`);
        for (const field of [400, 1000]) {
            const ms = await cpuPerTick(browser, url, field);
            console.log(`Level 40, ${field} field: ${spread(ms, 2)} ms per tick, ` +
                `${spread(ms.map((m) => (m / TICK_MS) * 100), 2)} % of one core`);
        }
    } finally {
        await browser.close();
        server.close();
    }
}

main().catch((error) => {
    console.error(error.stack || error);
    process.exit(1);
});
