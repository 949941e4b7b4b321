// The game as a web page, in a real browser: headless Chromium driven through the DevTools
// protocol with real mouse, touch and key events; checked by what the page shows (the
// canvas's pixels, its dialogs and menus, its status line) and what it keeps after a reload.
// Each test has a browser context of its own, so its storage starts empty. Captures of the
// page go to build-web/captures (GLIMPWATCH_CAPTURES) to be looked at.
//
// Run by scripts/test.sh (the web stage) as: node --test tests/web/page_test.js, with
// GLIMPWATCH_SITE naming the built site (build-web/site by default).
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const { Browser, sleep } = require('./browser');
const field = require('./field');
const { Game, MAIN_TITLE } = require('./game');
const { serve } = require('../../scripts/web_server');

const SITE = process.env.GLIMPWATCH_SITE || path.join(field.ROOT, 'build-web', 'site');

let browser, server, site;

before(async () => {
    ({ server, url: site } = await serve(SITE));
    browser = await Browser.launch();
});

after(async () => {
    await browser.close();
    server.close();
});

// A game in a page of its own; closed after the test body, which gets it.
async function withGame(query, body, options) {
    const game = await Game.open(browser, site, query, options);
    try {
        await body(game);
    } finally {
        await game.close();
    }
}

// Whacks one walking Glimp that stands alone with a press of the mouse (or a tap); the score
// it made, or null after a few tries.
async function whackAGlimp(game, how, log) {
    const before = await game.score();
    for (let attempt = 0; attempt < 8; attempt++) {
        const still = await game.stillField();
        const glimps = still ? field.walkingGlimps(still) : [];
        log.push(`try ${attempt}: ${glimps.length} walking Glimps`);
        if (!glimps.length) {
            await game.playUntil((c) => field.walkingGlimps(c).length > 0);
            continue;
        }
        const alone = glimps.find((g) => glimps.every((o) => o === g ||
            Math.abs(o.x - g.x) >= 40 || Math.abs(o.y - g.y) >= 40)) || glimps[0];
        // Coming back onto the field resumes the game; the press follows at once, well
        // before the next tick moves the Glimp.
        if (how === 'tap')
            await game.tap(alone.cx, alone.cy);
        else
            await game.click(alone.cx, alone.cy);
        log.push(`  ${how} on ${alone.name} at ${alone.cx},${alone.cy}`);
        await game.moveTo(game.size / 2, game.size - 30);
        const scored = await game.page.waitFor(`(/Score:(\\d+)/.exec(document.getElementById('status').textContent)
            || [0, 0])[1] > ${before}`, 3000);
        if (scored)
            return (await game.score()) - before;
    }
    return null;
}

describe('the game as a web page', () => {
    it('loads with no console error, and its title screen shows the logo, crisp at 1x and 2x', async () => {
        const logo = field.picture('logo');
        for (const scale of [1, 2]) {
            await withGame('', async (game) => {
                assert.equal(await game.page.evaluate('document.title'), MAIN_TITLE);
                const canvas = await game.capture();
                assert.equal(canvas.scale, scale, 'the canvas has a pixel of the screen for each of its own');
                const x = (game.size - logo.width) >> 1, y = (game.size - logo.height) >> 1;
                assert.equal(field.mismatches(canvas, logo, x, y), 0, 'the logo is not shown whole in the middle');
                // Every pixel of the art is a whole block of the screen's, the same colour.
                let blurred = 0;
                for (let ly = 0; ly < logo.height; ly++)
                    for (let lx = 0; lx < logo.width; lx++)
                        for (let d = 1; d < scale * scale; d++)
                            blurred += canvas.raw((x + lx) * scale + (d % scale), (y + ly) * scale + Math.floor(d / scale)) !==
                                canvas.at(x + lx, y + ly);
                assert.equal(blurred, 0, 'the logo is not enlarged pixel for pixel');
                await game.save(`title-${scale}x`);
                assert.deepEqual(game.page.problems, []);
            }, { scale });
        }
    });

    it('at ?level=5 draws the field, and the field moves while the pointer is on it', async () => {
        await withGame('?level=5', async (game) => {
            await game.moveTo(game.size / 2, game.size / 2);
            assert.ok(await game.page.waitFor('/Level:5 /.test(document.getElementById("status").textContent)'),
                'no status line of level 5');
            const first = await game.capture();
            const computers = field.findOnField(first, ['maccpu', 'nextcpu', 'sgicpu', 'suncpu', 'os2cpu', 'bsdcpu'], 0.5);
            assert.ok(computers.length >= 5, `only ${computers.length} computers are seen on the field`);
            await sleep(1000);
            const later = await game.capture();
            assert.ok(later.differences(first) > 0, 'nothing moved in a second of play');
            await game.save('level-5');
            assert.deepEqual(game.page.problems, []);
        });
    });

    // The page redraws only what changed since the last frame (gui/drawing.h); what it shows
    // must be exactly what a whole redraw of the frame shows, which the page makes when the
    // screen's scale changes. Both in one turn of the page, so no tick comes between.
    it('shows after every frame the same pixels as a whole redraw of it, at 1x and 2x', async () => {
        for (const scale of [1, 2]) {
            await withGame('?level=40', async (game) => {
                await game.moveTo(game.size / 2, game.size - 30);
                for (let look = 0; look < 12; look++) {
                    await sleep(250 + 37 * look);
                    const differing = await game.page.evaluate(`(() => {
                        const c = document.getElementById('canvas');
                        const g = c.getContext('2d');
                        const shown = g.getImageData(0, 0, c.width, c.height).data;
                        Module._glimpwatch_canvas_remade();
                        const whole = g.getImageData(0, 0, c.width, c.height).data;
                        let n = 0;
                        for (let i = 0; i < shown.length; i++)
                            n += shown[i] !== whole[i];
                        return n;
                    })()`);
                    assert.equal(differing, 0, `look ${look} at ${scale}x: the frame differs from its whole redraw`);
                }
                await game.save(`redraw-${scale}x`);
                assert.deepEqual(game.page.problems, []);
            }, { scale });
        }
    });

    it('whacks a Glimp with a click of the mouse and with a tap of a finger: the score changes', async () => {
        await withGame('?level=6', async (game) => {
            const log = [];
            const clicked = await whackAGlimp(game, 'click', log);
            assert.ok(clicked > 0, 'a click on a walking Glimp scored nothing\n' + log.join('\n'));
            await game.save('whacked');
            const tapped = await whackAGlimp(game, 'tap', log);
            assert.ok(tapped > 0, 'a tap on a walking Glimp scored nothing\n' + log.join('\n'));
        });
    });

    it('drags a stolen distro back onto a computer that takes it', async () => {
        const log = [];
        for (let gameNumber = 1; gameNumber <= 3; gameNumber++) {
            let done = false;
            await withGame('?level=2', async (game) => {
                log.push(`game ${gameNumber}`);
                done = await stealDropAndInstall(game, log);
            });
            if (done)
                return;
            log.push('the game was lost under the test');
        }
        assert.fail('three games were lost before the test was done\n' + log.join('\n'));
    });

    it('shows the paused view when the pointer leaves the field, and the field when it comes back', async () => {
        await withGame('?level=3', async (game) => {
            await game.moveTo(game.size / 2, game.size / 2);
            await game.page.waitFor('/Level:3 /.test(document.getElementById("status").textContent)');
            await sleep(400);
            const frame = await game.stillField();
            assert.ok(frame, 'the field never stood still under the paused view');
            const paused = await game.capture();
            await game.save('paused');
            // The band across the middle is dark and holds the white line.
            const middle = game.size >> 1;
            let white = 0;
            for (let x = 0; x < game.size; x++)
                for (let y = middle - 12; y <= middle + 12; y++)
                    white += paused.at(x, y) === 0xffffff;
            assert.ok(white > 100, 'no line of white text across the middle of the paused view');
            assert.ok((paused.at(1, middle) & 0xff) < 0x40, 'no dark band across the middle of the paused view');
            // Still paused a while later: nothing moves.
            await sleep(500);
            assert.equal((await game.capture()).differences(paused), 0, 'the paused field moved');
            await game.moveTo(game.size / 2, game.size / 2);
            const back = await game.capture();
            assert.ok(back.differences(paused) > 0, 'the paused view stayed with the pointer back on the field');
        });
    });

    it('asks for a name when a game is lost with a score for the table, which plays again from it and a reload keeps', async () => {
        await withGame('?level=40', async (game) => {
            const log = [];
            assert.ok(await whackAGlimp(game, 'click', log) > 0, 'no Glimp could be whacked\n' + log.join('\n'));
            // Nobody defends the network: level 40 is lost within some 80 ticks.
            await game.moveTo(game.size / 2, game.size - 30);
            assert.ok(await game.waitForDialog('End Game', 45000), 'the game was never lost');
            assert.match(await game.dialogText('End Game'), /Final score: \d+ at level 40/);
            await game.save('end-game');
            await game.pressButton('Nuts!');
            assert.ok(await game.waitForDialog('Enter Name'), 'no name was asked for');
            // The entry comes up with the keyboard in it: typing replaces what it holds.
            // Latin, an emoji and Chinese characters, each from a font of its own.
            await game.page.type('Zoë 🎮 王小明');
            await game.save('enter-name');
            await game.page.key('Enter', { code: 'Enter', text: '\r' });
            assert.ok(await game.waitForDialog('View High Scores'), 'the table was not shown after the name');
            assert.match(await game.dialogText('View High Scores'), /^Zoë 🎮 王小明\t40\t\d+$/m);
            await game.save('high-scores');
            // In columns: every row of one height, and each number's text ends where the
            // others of its column do, whatever the name beside it is written in.
            const rows = await game.page.evaluate(`[...document.querySelectorAll('dialog[open] .dialog-table tr')]
                .slice(1).map((r) => [r.getBoundingClientRect().height, ...[...r.cells].slice(1).map((c) => {
                    const text = document.createRange();
                    text.selectNodeContents(c);
                    return text.getBoundingClientRect().right;
                })])`);
            assert.equal(rows.length, 10);
            for (const row of rows)
                for (let i = 0; i < row.length; i++)
                    assert.ok(Math.abs(row[i] - rows[0][i]) < 0.5, `rows out of line: ${JSON.stringify(rows)}`);
            // The game just played is offered below the table: picked, it plays again on
            // the field, and Escape ends the watching.
            const choices = await game.page.evaluate(
                "[...document.querySelectorAll('dialog[open] .choice')].map((b) => b.textContent)");
            assert.deepEqual(choices, ['#1']);
            await game.pressButton('#1');
            assert.deepEqual(await game.openDialogs(), []);
            const first = await game.capture();
            await sleep(700);
            await game.save('watching');
            assert.ok((await game.capture()).differences(first) > 0, 'the game picked in the table does not play');
            await game.page.key('Escape');
            assert.deepEqual(await game.openDialogs(), []);

            assert.equal(await game.reload(), 'game');
            await game.page.key('h', { ctrl: true });
            assert.ok(await game.waitForDialog('View High Scores'));
            assert.match(await game.dialogText('View High Scores'), /^Zoë 🎮 王小明\t40\t\d+$/m,
                'the table lost the name after a reload');
            assert.deepEqual(game.page.problems, []);
        });
    });

    it('keeps Sound off after a reload, and on again', async () => {
        await withGame('', async (game) => {
            let entries = await game.openMenu('Game');
            assert.equal(entries.find((e) => e.label === 'Sound').checked, 'true');
            await game.chooseEntry('Sound');
            assert.equal(await game.reload(), 'game');
            entries = await game.openMenu('Game');
            await game.save('sound-off');
            assert.equal(entries.find((e) => e.label === 'Sound').checked, 'false', 'Sound is on again after a reload');
            await game.page.key('Escape');
            // The S key turns it on.
            await game.page.key('s');
            assert.equal(await game.reload(), 'game');
            entries = await game.openMenu('Game');
            assert.equal(entries.find((e) => e.label === 'Sound').checked, 'true');
        });
    });

    it('says on the page what is wrong with a bad value in the address, as the command line would', async () => {
        const cases = [
            ['?level=abc', "invalid level 'abc'"],
            ['?level=0', "invalid level '0'"],
            ['?size=100', "screensize must be larger than '400'"],
            ['?size=5000', "screensize must not be larger than '4000'"],
            ['?size=big&level=2', "invalid screensize 'big'"],
            ['?mute=perhaps', "invalid mute 'perhaps'"],
        ];
        for (const [query, message] of cases) {
            await withGame(query, async (game) => {
                assert.equal(await game.started(), 'message', `${query} started a game`);
                const text = await game.page.evaluate('document.getElementById("message").textContent');
                assert.ok(text.includes(message), `${query}: the page says "${text}"`);
                assert.equal(await game.page.evaluate('document.getElementById("window").hidden'), true);
                if (query === '?level=abc')
                    await game.save('bad-level');
            });
        }
    });

    it('has the menus\' shortcuts, Escape as Cancel, and Enter in the warp entry', async () => {
        await withGame('?level=2', async (game) => {
            await game.moveTo(game.size / 2, game.size / 2);
            await game.page.waitFor('/Level:2 /.test(document.getElementById("status").textContent)');
            // Escape closes Quit as Cancel does: the game goes on.
            await game.page.key('q', { ctrl: true });
            assert.deepEqual(await game.openDialogs(), ['Quit Game']);
            await game.page.key('Escape');
            assert.deepEqual(await game.openDialogs(), []);
            // Ctrl+W, a number and Enter warp there.
            await game.page.key('w', { ctrl: true });
            assert.deepEqual(await game.openDialogs(), ['Warp to level...']);
            await game.page.type('7');
            await game.page.key('Enter', { code: 'Enter', text: '\r' });
            await game.moveTo(game.size / 2, game.size / 2);
            assert.ok(await game.page.waitFor('/Level:7 /.test(document.getElementById("status").textContent)'),
                'Enter in the warp entry did not warp');
            // F1 shows the rules; P pauses.
            await game.page.key('F1');
            assert.deepEqual(await game.openDialogs(), ['Rules']);
            await game.save('rules');
            await game.pressButton('OK');
            await game.page.key('p');
            assert.deepEqual(await game.openDialogs(), ['Pause Game']);
            await game.pressButton('Continue');
            // Quit's OK ends the game, and the page says so.
            await game.page.key('q', { ctrl: true });
            await game.pressButton('OK');
            const text = await game.page.evaluate('document.getElementById("message").textContent');
            assert.match(text, /Glimpwatch has ended/);
            await game.save('ended');
            assert.deepEqual(game.page.problems, []);
        });
    });
});

// A thief is whacked, the distro it drops is dragged off every computer (it goes back where
// it lay), then onto a computer of its kind that runs initfail or nothing: installed there.
// False when the game was lost first.
async function stealDropAndInstall(game, log) {
    let victim = null, dropped = false;
    for (let attempt = 0; attempt < 40 && !dropped; attempt++) {
        const still = await game.stillField();
        const found = still ? field.carriers(still) : [];
        if (!found.length) {
            await game.playUntil((c) => field.carriers(c).length > 0 || game.lost(), 8000);
            if (await game.lost())
                return false;
            continue;
        }
        victim = found[0];
        log.push(`try ${attempt}: ${victim.glimp.name} carrying ${victim.distro} at ${victim.glimp.x},${victim.glimp.y}`);
        await game.click(victim.glimp.cx, victim.glimp.cy);
        await game.moveTo(game.size / 2, game.size - 30);
        // Dying takes six ticks; then the distro lies where the Glimp stood.
        dropped = !!(await game.playUntil((c) => field.liesAt(c, victim.distro, victim.glimp.x, victim.glimp.y), 4000));
    }
    if (!dropped && await game.lost())
        return false;
    assert.ok(dropped, 'no stolen distro could be knocked off a Glimp\n' + log.join('\n'));
    const lx = victim.glimp.x, ly = victim.glimp.y, d = victim.distro;
    const lying = await game.stillField();
    await game.save('distro-lying');

    // Off every computer: it goes back to where it lay.
    const spot = field.emptySpot(lying, lx, ly);
    assert.ok(spot, 'no empty place on the field');
    await game.drag(lx + 12, ly + 10, spot.x, spot.y);
    await game.moveTo(game.size / 2, game.size - 30);
    const back = await game.playUntil((c) => field.liesAt(c, d, lx, ly) || game.lost(), 3000);
    if (await game.lost())
        return false;
    assert.ok(back, 'a distro dropped on an empty place did not go back where it lay');

    // Onto a computer that can run it and runs initfail or nothing: installed there.
    // Computers that plainly show initfail or a blank screen are tried first; where the
    // screen is hidden (by a Glimp, or by the lying distro over the computer it was stolen
    // from) a refused drop sends the distro back and the next one is tried.
    const kind = field.computerFor(d);
    const withoutARealDistro = (still) => {
        const found = [];
        for (const c of field.findOnField(still, [kind], 0.6)) {
            // The lying distro itself may sit just where the computer shows its own.
            const runsReal = field.DISTROS.some((a) => field.computerFor(a) === kind &&
                !(a === d && c.x + 4 === lx && c.y + 4 === ly) && field.liesAt(still, a, c.x + 4, c.y + 4));
            const plain = field.coveredShare(still, 'initfail', c.x + 4, c.y + 4) < 0.15 ||
                field.coveredShare(still, kind, c.x, c.y) < 0.05;
            if (!runsReal)
                found.push({ plain, computer: c });
        }
        // The plain ones first, in the order found.
        return [...found.filter((f) => f.plain), ...found.filter((f) => !f.plain)];
    };
    let candidates = [];
    // A Glimp at work can hide a computer for a while: the game goes on a little and the
    // still field is looked at again, a few times.
    for (let look = 0; look < 6 && !candidates.length; look++) {
        if (look > 0) {
            await game.playUntil((c) => withoutARealDistro(c).length > 0, 1500);
            if (await game.lost())
                return false;
        }
        const still = await game.stillField();
        candidates = still ? withoutARealDistro(still) : [];
        log.push(`look ${look}: ${candidates.length} ${kind} without a real distro`);
    }
    if (!candidates.length && await game.lost())
        return false;
    assert.ok(candidates.length, `no ${kind} without a real distro, though one lost its ${d}\n` + log.join('\n'));
    let installed = false;
    for (let i = 0; i < candidates.length && i < 4 && !installed; i++) {
        const { plain, computer: target } = candidates[i];
        await game.drag(lx + 12, ly + 10, target.cx, target.cy);
        await game.moveTo(game.size / 2, game.size - 30);
        // The canvas shows the drop's outcome from the next tick on: a refused distro lies
        // where it lay, just as before the drag.
        await sleep(450);
        let back = false;
        await game.playUntil((c) => {
            installed = field.liesAt(c, d, target.x + 4, target.y + 4) && field.coveredShare(c, d, lx, ly) > 0.5;
            back = field.liesAt(c, d, lx, ly);
            return installed || back;
        }, 3000);
        await game.save(`distro-drop-${i}`);
        log.push(`dropped on the ${kind} at ${target.x},${target.y}: ${installed ? 'installed' : back ? 'refused' : '?'}`);
        if (!installed && await game.lost())
            return false;
        if (plain)
            assert.ok(installed, `a ${kind} showing initfail or nothing refused ${d}\n` + log.join('\n'));
        if (!installed && !back)
            break;
    }
    assert.ok(installed, log.join('\n'));
    return true;
}
