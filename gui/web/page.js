// The page of the browser build: what a toolkit does for the desktop program. The
// program's back end (gui/web/web_gui.cpp, canvas_painter.cpp, sound/web/web_player.cpp)
// calls GlimpwatchPage; the page reports the player's doings back through the program's
// glimpwatch_* functions. This file runs before emscripten's loader (--pre-js), so it also
// tells the loader the command line (from the page's address) and what to do when the
// program ends.

var GlimpwatchPage = (function () {
    'use strict';

    // The address's parameters and the command-line options they stand for, in the order
    // they come: ?level=5&size=600&mute=1 is "-l 5 --size 600 --mute". The program reads
    // them as it reads its command line, so a bad value gets the same message.
    function commandLine(search) {
        var args = [];
        var params = new URLSearchParams(search);
        var problem = null;
        params.forEach(function (value, name) {
            if (name === 'level') {
                args.push('-l', value);
            } else if (name === 'size') {
                args.push('--size', value);
            } else if (name === 'mute') {
                var said = value.toLowerCase();
                if (['', '1', 'yes', 'true', 'on'].indexOf(said) >= 0)
                    args.push('--mute');
                else if (['0', 'no', 'false', 'off'].indexOf(said) < 0 && !problem)
                    problem = "invalid mute '" + value + "' (1 or 0)";
            }
        });
        return { args: args, problem: problem };
    }

    var $ = function (id) { return document.getElementById(id); };
    var program = null;           // emscripten's Module, once the page is handed it
    var ended = false;            // the program ended: nothing more is sent to it
    var errorLines = [];          // what the program wrote on standard error

    // Calls the program's glimpwatch_<name>. The program ends with exit(), which throws
    // through every call in progress: that is caught here, the page already shows why.
    function call(name) {
        if (ended || !program)
            return 0;
        var args = Array.prototype.slice.call(arguments, 1);
        try {
            return program['_glimpwatch_' + name].apply(null, args);
        } catch (e) {
            if (e === 'unwind' || (e && e.name === 'ExitStatus'))
                return 0;
            throw e;
        }
    }

    // A text for the program, in a block of its memory that the caller frees.
    function cString(text) {
        var bytes = new TextEncoder().encode(text);
        var block = program._malloc(bytes.length + 1);
        HEAPU8.set(bytes, block);
        HEAPU8[block + bytes.length] = 0;
        return { block: block, length: bytes.length };
    }

    function utf8Length(text) { return new TextEncoder().encode(text).length; }

    // ---------------------------------------------------------------- the end of the program

    // The page says why nothing runs, in place of the game: the program's own lines (a bad
    // option, a picture that cannot be read) or that the player quit.
    function showMessage(lines, again) {
        var box = $('message');
        box.textContent = '';
        lines.forEach(function (line) {
            var p = document.createElement('p');
            p.textContent = line;
            box.appendChild(p);
        });
        if (again) {
            var link = document.createElement('a');
            link.href = again.href;
            link.textContent = again.label;
            var p = document.createElement('p');
            p.appendChild(link);
            box.appendChild(p);
        }
        box.hidden = false;
        $('loading').hidden = true;
    }

    function programEnded(status) {
        if (ended)
            return;
        ended = true;
        stopTimer();
        dialogs.forEach(function (d) {
            if (d && d.element.open)
                d.element.close();
        });
        closeMenu();
        $('window').hidden = true;
        if (status === 0) {
            showMessage(['Glimpwatch has ended. Thank you for playing.'], { href: location.href, label: 'Play again' });
        } else {
            var lines = errorLines.length ? errorLines.slice() : ['Glimpwatch stopped.'];
            lines.unshift('Glimpwatch cannot go on:');
            lines.push('The address takes level (1 or more), size (400 to 4000) and mute (1 or 0), e.g. ?level=5&size=600&mute=1.');
            showMessage(lines, { href: location.pathname, label: 'Start anew' });
        }
    }

    // ---------------------------------------------------------------- the window and its menus

    var size = 0;                  // the field's side in its own pixels
    var scale = 1;                 // canvas pixels per field pixel: a whole factor
    var visible = null, view = null;       // the canvas on the page and its context
    var offscreen = null, draw = null;     // the canvas frames are drawn on
    var menus = [];                // {button, list, entries}
    var entries = [];              // every menu entry: {id, button, key, ctrl, menu}
    var openMenuIndex = -1;
    var SOUND_ENTRY = -1;          // the id the program gives the Sound entry

    // The whole factor of the screen's pixels to CSS pixels, at least 1; a field that would
    // make a canvas larger than a browser keeps gets a smaller one.
    function screenScale() {
        var factor = Math.max(1, Math.round(window.devicePixelRatio || 1));
        while (factor > 1 && size * factor > 16384)
            factor--;
        return factor;
    }

    // The canvas is shown at one CSS pixel per screen pixel: scale canvas pixels for each of
    // the field's, whatever the browser's zoom, so the art stays crisp.
    function placeCanvas() {
        var side = size * scale / (window.devicePixelRatio || 1);
        visible.style.width = side + 'px';
        visible.style.height = side + 'px';
    }

    function open(title, idleMs) {
        document.title = title;
        watchIdle(idleMs);
        addEventListener('pagehide', function (event) {
            // Closing the page (not one kept for the back button) is the window's close:
            // the scores are saved.
            if (!event.persisted)
                call('close_requested');
        });
        document.addEventListener('visibilitychange', function () {
            if (document.visibilityState === 'hidden')
                tellLeft();
        });
        document.addEventListener('keydown', onKey);
        // The first touch or key lets the page make sound.
        ['pointerdown', 'keydown'].forEach(function (kind) {
            addEventListener(kind, function () { userActed = true; startSound(); }, true);
        });
    }

    function buildWindow(fieldSize) {
        size = fieldSize;
        scale = screenScale();
        visible = $('canvas');
        visible.width = visible.height = size * scale;
        view = visible.getContext('2d', { alpha: false });
        placeCanvas();
        watchScale();
        listenToField();
        $('menu-backdrop').addEventListener('pointerdown', function (event) {
            event.preventDefault();
            closeMenu();
        });
        $('loading').hidden = true;
        $('window').hidden = false;
    }

    function addMenu(title) {
        var index = menus.length;
        var button = document.createElement('button');
        button.type = 'button';
        button.className = 'menu-title';
        button.textContent = title;
        button.setAttribute('aria-haspopup', 'menu');
        button.setAttribute('aria-expanded', 'false');
        var list = document.createElement('div');
        list.className = 'menu';
        list.setAttribute('role', 'menu');
        list.setAttribute('aria-label', title);
        list.hidden = true;
        button.addEventListener('pointerdown', function (event) {
            if (event.pointerType === 'mouse' && event.button !== 0)
                return;
            event.preventDefault();
            if (openMenuIndex === index)
                closeMenu();
            else
                openMenu(index);
        });
        button.addEventListener('click', function (event) {
            // Keyboard activation; the pointer opened it already.
            if (event.detail === 0) {
                if (openMenuIndex === index)
                    closeMenu();
                else
                    openMenu(index, true);
            }
        });
        // Once a menu is open, the pointer moving onto another title opens that one.
        button.addEventListener('pointerenter', function () {
            if (openMenuIndex >= 0 && openMenuIndex !== index)
                openMenu(index);
        });
        var holder = document.createElement('div');
        holder.className = 'menu-holder';
        holder.appendChild(button);
        holder.appendChild(list);
        $('menubar').appendChild(holder);
        menus.push({ button: button, list: list, entries: [] });
        return index;
    }

    // The shortcut as a menu shows it.
    function keyLabel(key, ctrl) {
        var name = key.length === 1 ? key.toUpperCase() : key;
        return ctrl ? 'Ctrl+' + name : name;
    }

    function addEntry(menuIndex, id, label, key, ctrl) {
        var menu = menus[menuIndex];
        var button = document.createElement('button');
        button.type = 'button';
        button.className = 'menu-entry';
        button.setAttribute('role', id === SOUND_ENTRY ? 'menuitemcheckbox' : 'menuitem');
        button.tabIndex = -1;
        var text = document.createElement('span');
        text.className = 'entry-label';
        text.textContent = label;
        button.appendChild(text);
        if (key) {
            var hint = document.createElement('span');
            hint.className = 'entry-key';
            hint.textContent = keyLabel(key, ctrl);
            button.appendChild(hint);
            button.setAttribute('aria-keyshortcuts', (ctrl ? 'Control+' : '') + key);
        }
        if (id === SOUND_ENTRY) {
            var line = document.createElement('div');
            line.className = 'menu-separator';
            line.setAttribute('role', 'separator');
            menu.list.appendChild(line);
            button.setAttribute('aria-checked', 'false');
        }
        var entry = { id: id, button: button, key: key, ctrl: ctrl, menu: menuIndex };
        button.addEventListener('click', function () {
            closeMenu();
            choose(entry);
        });
        menu.list.appendChild(button);
        menu.entries.push(entry);
        entries.push(entry);
    }

    function soundEntry() {
        return entries.find(function (e) { return e.id === SOUND_ENTRY; });
    }

    function enableEntry(enabled) {
        // The pause entry is the only one that is ever made unselectable.
        entries.forEach(function (entry) {
            if (entry.id === 1)
                entry.button.disabled = !enabled;
        });
    }

    // Without sound the entry cannot be chosen, and its tooltip says why.
    function checkSound(on, unavailable) {
        var entry = soundEntry();
        if (!entry)
            return;
        entry.button.setAttribute('aria-checked', on ? 'true' : 'false');
        entry.button.disabled = !!unavailable;
        if (unavailable)
            entry.button.title = unavailable;
        else
            entry.button.removeAttribute('title');
    }

    // A menu entry chosen by the pointer, the keyboard or its shortcut.
    function choose(entry) {
        if (entry.button.disabled)
            return;
        if (entry.id === SOUND_ENTRY) {
            var on = entry.button.getAttribute('aria-checked') !== 'true';
            checkSound(on);
            call('sound_toggled', on ? 1 : 0);
        } else {
            call('menu_entry', entry.id);
        }
    }

    // An open menu takes the pointer from the field, as a desktop menu does.
    function openMenu(index, focusFirst) {
        if (openMenuIndex >= 0 && openMenuIndex !== index)
            hideMenu(openMenuIndex);
        var menu = menus[index];
        openMenuIndex = index;
        menu.list.hidden = false;
        menu.button.setAttribute('aria-expanded', 'true');
        menu.button.classList.add('open');
        $('menu-backdrop').hidden = false;
        tellLeft();
        if (focusFirst) {
            var first = menu.entries.find(function (e) { return !e.button.disabled; });
            if (first)
                first.button.focus();
        }
    }

    function hideMenu(index) {
        var menu = menus[index];
        menu.list.hidden = true;
        menu.button.setAttribute('aria-expanded', 'false');
        menu.button.classList.remove('open');
    }

    function closeMenu() {
        if (openMenuIndex < 0)
            return;
        hideMenu(openMenuIndex);
        openMenuIndex = -1;
        $('menu-backdrop').hidden = true;
        settle();
    }

    // The keyboard in an open menu: up and down through its entries, left and right to the
    // next menu; Enter and Space choose the entry (it is a button), Escape closes.
    function moveInMenu(event) {
        var index = openMenuIndex;
        if (event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
            event.preventDefault();
            openMenu((index + (event.key === 'ArrowRight' ? 1 : menus.length - 1)) % menus.length, true);
            return;
        }
        if (event.key !== 'ArrowDown' && event.key !== 'ArrowUp')
            return;
        event.preventDefault();
        var usable = menus[index].entries.filter(function (e) { return !e.button.disabled; });
        if (!usable.length)
            return;
        var at = usable.findIndex(function (e) { return e.button === document.activeElement; });
        var n = usable.length;
        var next = event.key === 'ArrowDown' ? (at + 1) % n : (at < 0 ? n - 1 : (at - 1 + n) % n);
        usable[next].button.focus();
    }

    // The shortcuts of the menu entries, and Escape for an open menu or dialog.
    function onKey(event) {
        if (ended)
            return;
        var dialog = topDialog();
        if (dialog) {
            if (event.key === 'Escape') {
                event.preventDefault();
                dismiss(dialog);
            }
            return;
        }
        if (openMenuIndex >= 0 && event.key === 'Escape') {
            event.preventDefault();
            var button = menus[openMenuIndex].button;
            closeMenu();
            button.focus();
            return;
        }
        if (openMenuIndex >= 0)
            moveInMenu(event);
        if (event.altKey || event.metaKey || event.repeat)
            return;
        // The keys the game may take (gui.h's Key), before the shortcuts.
        var gameKey = openMenuIndex < 0 && !event.ctrlKey ? GAME_KEYS[event.key] : undefined;
        if (gameKey && call('key_pressed', gameKey)) {
            event.preventDefault();
            return;
        }
        var entry = entries.find(function (e) {
            if (!e.key || e.ctrl !== event.ctrlKey)
                return false;
            if (e.key.length === 1)
                return !event.shiftKey && event.key.toLowerCase() === e.key;
            return event.key === e.key;
        });
        if (!entry || entry.button.disabled)
            return;
        event.preventDefault();
        closeMenu();
        choose(entry);
    }

    var GAME_KEYS = { ' ': 1, '+': 2, '-': 3, 'Escape': 4 };

    // ---------------------------------------------------------------- the player idle

    // idleMs without a key, a press or a move of the pointer: the program hears of it, and
    // again after every further idleMs.
    var idleTimer = null;

    function watchIdle(idleMs) {
        var restart = function () {
            if (idleTimer !== null)
                clearInterval(idleTimer);
            idleTimer = setInterval(function () { call('player_idle'); }, idleMs);
        };
        ['pointerdown', 'pointermove', 'keydown', 'wheel'].forEach(function (kind) {
            addEventListener(kind, restart, true);
        });
        restart();
    }

    // ---------------------------------------------------------------- the field: pointer

    // What the program was last told: the pointer is on the field. A mouse is on it while it
    // is over the canvas and nothing (a menu, a dialog) has taken it; a finger from its touch
    // on, as a finger that lifts has not gone elsewhere.
    var onField = false;
    var lastPointer = { type: 'mouse', x: -1, y: -1 };
    var pressed = {};              // buttons (or touch pointers) pressed on the canvas
    var userActed = false;

    function tellEntered() {
        if (onField || ended)
            return;
        onField = true;
        call('pointer_entered');
    }

    function tellLeft() {
        if (!onField)
            return;
        onField = false;
        call('pointer_left');
    }

    function pointerOverField() {
        if (lastPointer.type !== 'mouse')
            return true;
        return document.elementFromPoint(lastPointer.x, lastPointer.y) === visible;
    }

    // Once no menu or dialog holds it, a pointer over the field is back on it.
    function settle() {
        setTimeout(function () {
            if (openMenuIndex < 0 && !topDialog() && pointerOverField())
                tellEntered();
        }, 0);
    }

    // A position on the canvas in the field's own pixels, truncated as the desktop's are;
    // beyond the canvas it is negative or past its side.
    function fieldPoint(event) {
        var box = visible.getBoundingClientRect();
        return {
            x: Math.trunc((event.clientX - box.left) * size / box.width),
            y: Math.trunc((event.clientY - box.top) * size / box.height)
        };
    }

    function press(key, event) {
        pressed[key] = true;
        lastPointer.type = event.pointerType || 'mouse';
        tellEntered();
        var at = fieldPoint(event);
        call('button_pressed', at.x, at.y);
        showCarried(event);
    }

    function release(key, event) {
        if (!pressed[key])
            return;
        delete pressed[key];
        var at = fieldPoint(event);
        call('button_released', at.x, at.y);
        showCarried(null);
    }

    function listenToField() {
        // The mouse, every button: a press on the canvas and its release anywhere.
        visible.addEventListener('mousedown', function (event) {
            event.preventDefault();
            press('mouse' + event.button, event);
        });
        addEventListener('mouseup', function (event) { release('mouse' + event.button, event); }, true);
        visible.addEventListener('contextmenu', function (event) { event.preventDefault(); });
        addEventListener('mousemove', function (event) {
            lastPointer.type = 'mouse';
            lastPointer.x = event.clientX;
            lastPointer.y = event.clientY;
        }, true);
        visible.addEventListener('pointerenter', function (event) {
            if (event.pointerType === 'mouse' && openMenuIndex < 0 && !topDialog())
                tellEntered();
        });
        visible.addEventListener('pointermove', function (event) {
            // A page loaded under a pointer that has not moved hears of it at its first move.
            if (event.pointerType === 'mouse' && openMenuIndex < 0 && !topDialog())
                tellEntered();
            if (event.pointerType !== 'mouse')
                showCarried(event);
        });
        visible.addEventListener('pointerleave', function (event) {
            if (event.pointerType === 'mouse')
                tellLeft();
        });
        // A finger or a pen: a tap whacks, a drag carries. The canvas keeps the pointer
        // until it lifts, so the release is reported wherever that is.
        visible.addEventListener('pointerdown', function (event) {
            if (event.pointerType === 'mouse' || !event.isPrimary)
                return;
            event.preventDefault();
            visible.setPointerCapture(event.pointerId);
            press('pointer' + event.pointerId, event);
        });
        ['pointerup', 'pointercancel'].forEach(function (kind) {
            visible.addEventListener(kind, function (event) {
                if (event.pointerType !== 'mouse')
                    release('pointer' + event.pointerId, event);
            });
        });
    }

    // ---------------------------------------------------------------- the field: drawing

    var pictures = [];             // {width, height, source (1x canvas), scaled, url}
    var text = '';                 // the status line the painter holds
    var firstFrame = true;

    function newCanvas(width, height) {
        var canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
        return canvas;
    }

    // The picture's copy at the canvas's scale, each pixel a crisp square of them.
    function scalePicture(picture) {
        var copy = newCanvas(picture.width * scale, picture.height * scale);
        var context = copy.getContext('2d');
        context.imageSmoothingEnabled = false;
        context.drawImage(picture.source, 0, 0, copy.width, copy.height);
        picture.scaled = copy;
    }

    function addPicture(width, height, rgba) {
        var source = newCanvas(width, height);
        var pixels = new ImageData(new Uint8ClampedArray(HEAPU8.subarray(rgba, rgba + width * height * 4)), width, height);
        source.getContext('2d').putImageData(pixels, 0, 0);
        var picture = { width: width, height: height, source: source, scaled: null, url: null };
        scalePicture(picture);
        pictures.push(picture);
        return pictures.length - 1;
    }

    function pictureUrl(index) {
        var picture = pictures[index];
        if (!picture.url)
            picture.url = picture.source.toDataURL('image/png');
        return picture.url;
    }

    // A picture as an element of a dialog: its own size in CSS pixels, enlarged pixel for
    // pixel on a finer screen.
    function pictureElement(index) {
        var img = document.createElement('img');
        img.className = 'picture';
        img.src = pictureUrl(index);
        img.width = pictures[index].width;
        img.height = pictures[index].height;
        img.alt = '';
        return img;
    }

    function setIcon(index) {
        var link = document.querySelector('link[rel="icon"]');
        link.href = pictureUrl(index);
    }

    function fieldSize() { return size; }

    function setUpDrawing(context) {
        context.imageSmoothingEnabled = false;
        context.lineCap = 'round';
        context.textBaseline = 'alphabetic';
    }

    function makeCanvas() {
        clipped = false;
        offscreen = newCanvas(size * scale, size * scale);
        draw = offscreen.getContext('2d', { alpha: false });
        if (!draw || !view || offscreen.width !== size * scale)
            return false;
        setUpDrawing(draw);
        setUpDrawing(view);
        return true;
    }

    // The clip replaces the one before: a canvas only narrows its clip, so the state before
    // it is saved and brought back.
    var clipped = false;

    function clip(x, y, w, h) {
        unclip();
        draw.save();
        clipped = true;
        draw.beginPath();
        draw.rect(x * scale, y * scale, w * scale, h * scale);
        draw.clip();
    }

    function unclip() {
        if (clipped)
            draw.restore();
        clipped = false;
    }

    function fillWhite(x, y, w, h) {
        draw.fillStyle = '#ffffff';
        draw.fillRect(x * scale, y * scale, w * scale, h * scale);
    }

    function drawPicture(index, x, y) { draw.drawImage(pictures[index].scaled, x * scale, y * scale); }

    // A black line 2 pixels wide with round ends, at the canvas's own resolution. A canvas
    // smooths a line's edges by how much of each pixel it covers, and it may work that out
    // differently within different clips; so each line is drawn once, whole, on a small
    // canvas of its own and copied from there, and its pixels are the same whether the
    // frame is drawn whole or a rectangle at a time. A level's wires stand still, so the
    // copies are kept.
    var lines = new Map();

    function lineCopy(x1, y1, x2, y2) {
        var key = x1 + ',' + y1 + ',' + x2 + ',' + y2;
        var copy = lines.get(key);
        if (copy)
            return copy;
        var reach = 2 * scale;
        var left = Math.min(x1, x2) * scale - reach, top = Math.min(y1, y2) * scale - reach;
        var canvas = newCanvas(Math.abs(x2 - x1) * scale + 2 * reach, Math.abs(y2 - y1) * scale + 2 * reach);
        var context = canvas.getContext('2d');
        context.strokeStyle = '#000000';
        context.lineWidth = 2 * scale;
        context.lineCap = 'round';
        context.beginPath();
        context.moveTo(x1 * scale - left, y1 * scale - top);
        context.lineTo(x2 * scale - left, y2 * scale - top);
        context.stroke();
        if (lines.size >= 512)
            lines.clear();
        copy = { canvas: canvas, left: left, top: top };
        lines.set(key, copy);
        return copy;
    }

    function drawLine(x1, y1, x2, y2) {
        var copy = lineCopy(x1, y1, x2, y2);
        draw.drawImage(copy.canvas, copy.left, copy.top);
    }

    // The status line: a 10-pixel fixed-width face, at the canvas's resolution, drawn once
    // per text on a canvas of its own (for the reason lines are) and copied from there.
    var textCopy = null;

    function statusFont() { return 10 * scale + 'px monospace'; }

    // Lays the text out and writes the box of every pixel it can colour, in field pixels
    // from its baseline's left end, into box (four ints: x, y, width, height).
    function setText(newText, box) {
        text = newText;
        draw.font = statusFont();
        var m = draw.measureText(text);
        var left = Math.floor(-m.actualBoundingBoxLeft / scale) - 1;
        var right = Math.ceil(m.actualBoundingBoxRight / scale) + 1;
        var top = Math.floor(-m.actualBoundingBoxAscent / scale) - 1;
        var bottom = Math.ceil(m.actualBoundingBoxDescent / scale) + 1;
        var at = box >> 2;
        HEAP32[at] = left;
        HEAP32[at + 1] = top;
        HEAP32[at + 2] = right - left;
        HEAP32[at + 3] = bottom - top;
        textCopy = newCanvas(Math.max(1, (right - left) * scale), Math.max(1, (bottom - top) * scale));
        var context = textCopy.getContext('2d');
        context.font = statusFont();
        context.fillStyle = '#000000';
        context.textBaseline = 'alphabetic';
        context.fillText(text, -left * scale, -top * scale);
        textCopy.left = left;
        textCopy.top = top;
        // The canvas is a picture to assistive technology; the status line is its text.
        $('status').textContent = text;
    }

    function drawText(x, y) {
        if (textCopy)
            draw.drawImage(textCopy, (x + textCopy.left) * scale, (y + textCopy.top) * scale);
    }

    function copyToWindow(rects, count) {
        var at = rects >> 2;
        for (var i = 0; i < count; i++, at += 4) {
            var x = HEAP32[at] * scale, y = HEAP32[at + 1] * scale;
            var w = HEAP32[at + 2] * scale, h = HEAP32[at + 3] * scale;
            if (w > 0 && h > 0)
                view.drawImage(offscreen, x, y, w, h, x, y, w, h);
        }
        if (firstFrame) {
            firstFrame = false;
            performance.mark('glimpwatch-first-frame');
        }
    }

    // The frame dimmed to half its brightness and, across its middle, a dark band with the
    // line that says why nothing moves; the canvas itself is left as it is.
    function showPaused(line) {
        var side = size * scale;
        view.drawImage(offscreen, 0, 0);
        view.fillStyle = 'rgba(0, 0, 0, 0.5)';
        view.fillRect(0, 0, side, side);
        view.font = 'bold ' + 13 * scale + 'px sans-serif';
        var lines = wrap(view, line, side - 20 * scale);
        var lineHeight = 18 * scale;
        var height = lines.length * lineHeight;
        var top = Math.round((side - height) / 2);
        view.fillStyle = 'rgba(0, 0, 0, 0.6)';
        view.fillRect(0, top - 10 * scale, side, height + 20 * scale);
        view.fillStyle = '#ffffff';
        view.textAlign = 'center';
        view.textBaseline = 'middle';
        lines.forEach(function (l, i) { view.fillText(l, side / 2, top + lineHeight * (i + 0.5)); });
        view.textAlign = 'start';
        view.textBaseline = 'alphabetic';
    }

    function wrap(context, line, width) {
        var lines = [];
        var current = '';
        line.split(' ').forEach(function (word) {
            var tried = current ? current + ' ' + word : word;
            if (current && context.measureText(tried).width > width) {
                lines.push(current);
                current = word;
            } else {
                current = tried;
            }
        });
        lines.push(current);
        return lines;
    }

    // The screen's scale changes with the browser's zoom or another screen: the canvases
    // and the pictures' copies are made anew at the new whole factor, and the program draws
    // the frame on them again.
    function watchScale() {
        var query = matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
        query.addEventListener('change', function () {
            rescale();
            watchScale();
        }, { once: true });
    }

    function rescale() {
        var factor = screenScale();
        placeCanvas();
        if (factor === scale)
            return;
        scale = factor;
        lines.clear();
        pictures.forEach(scalePicture);
        cursors.forEach(makeCursorStyle);
        if (current >= 0)
            setCursor(current);
        remakeCanvases();
    }

    function remakeCanvases() {
        visible.width = visible.height = size * scale;
        setUpDrawing(view);
        if (offscreen) {
            makeCanvas();
            call('canvas_remade');
        }
    }

    // ---------------------------------------------------------------- cursors

    var cursors = [];              // {width, height, shades, carried, style, url}
    var current = -1;

    function cursorCanvas(cursor, factor) {
        var canvas = newCanvas(cursor.width * factor, cursor.height * factor);
        var context = canvas.getContext('2d');
        var shades = cursor.shades;
        for (var y = 0; y < cursor.height; y++) {
            for (var x = 0; x < cursor.width; x++) {
                var shade = shades[y * cursor.width + x];
                if (shade === 0)
                    continue;
                context.fillStyle = shade === 1 ? '#000000' : '#ffffff';
                context.fillRect(x * factor, y * factor, factor, factor);
            }
        }
        return canvas;
    }

    // The hot spot is the middle of the bitmap.
    function makeCursorStyle(cursor) {
        var one = cursorCanvas(cursor, 1).toDataURL('image/png');
        var spot = ' ' + Math.floor(cursor.width / 2) + ' ' + Math.floor(cursor.height / 2) + ', auto';
        cursor.url = one;
        cursor.styles = ['url("' + one + '")' + spot];
        if (scale > 1) {
            var fine = cursorCanvas(cursor, scale).toDataURL('image/png');
            cursor.styles.unshift('image-set(url("' + one + '") 1x, url("' + fine + '") ' + scale + 'x)' + spot);
        }
    }

    function addCursor(width, height, shades, carried) {
        var cursor = { width: width, height: height, shades: HEAPU8.slice(shades, shades + width * height), carried: carried };
        makeCursorStyle(cursor);
        cursors.push(cursor);
        return cursors.length - 1;
    }

    function setCursor(index) {
        current = index;
        var cursor = cursors[index];
        // The first style the browser takes: a finer picture where it knows image-set.
        for (var i = 0; i < cursor.styles.length; i++) {
            visible.style.cursor = cursor.styles[i];
            if (visible.style.cursor)
                break;
        }
        showCarried(null);
    }

    // No pointer shows under a finger: what it carries (a distro, the bucket) shows there
    // instead, twice its size so that it shows around the finger.
    function showCarried(event) {
        var img = $('carried');
        var cursor = cursors[current];
        var touching = Object.keys(pressed).some(function (k) { return k.indexOf('pointer') === 0; });
        if (!cursor || !cursor.carried || !touching || lastPointer.type === 'mouse') {
            img.hidden = true;
            return;
        }
        if (img.getAttribute('src') !== cursor.url)
            img.src = cursor.url;
        img.style.width = cursor.width * 2 + 'px';
        img.style.height = cursor.height * 2 + 'px';
        if (event) {
            var box = visible.getBoundingClientRect();
            img.style.left = event.clientX - box.left - cursor.width + 'px';
            img.style.top = event.clientY - box.top - cursor.height + 'px';
        }
        img.hidden = false;
    }

    // ---------------------------------------------------------------- the timer

    var timer = null;

    function startTimer(period) {
        stopTimer();
        timer = setInterval(function () { call('timer_expired'); }, period);
    }

    function stopTimer() {
        if (timer !== null)
            clearInterval(timer);
        timer = null;
    }

    // ---------------------------------------------------------------- dialogs

    var MESSAGE = 0, ENTRY = 1;            // the kinds of gui.h's DialogKind; 2 is pictures
    var dialogs = [];                      // by id: {element, message, entry, kept, waiters}
    var shown = [];                        // the dialogs up, the last one on top

    function topDialog() { return shown.length ? shown[shown.length - 1] : null; }

    function buildDialog(id, layout) {
        var element = document.createElement('dialog');
        element.className = 'dialog';
        var title = document.createElement('h2');
        title.className = 'dialog-title';
        title.textContent = layout.title;
        title.id = 'dialog-title-' + id;
        element.setAttribute('aria-labelledby', title.id);
        element.appendChild(title);
        var body = document.createElement('div');
        body.className = 'dialog-body';
        element.appendChild(body);
        var dialog = { id: id, element: element, message: null, entry: null, kept: '', waiters: [], mainButton: null };

        function paragraph(content) {
            var p = document.createElement('p');
            // A table's text is lined up with blanks: it needs a fixed-width font.
            p.className = 'dialog-text' + (layout.tableAlign ? ' fixed-width' : '');
            p.textContent = content || '';
            return p;
        }

        if (layout.kind === MESSAGE) {
            var row = document.createElement('div');
            row.className = 'message-row';
            layout.pictures.forEach(function (p) { row.appendChild(pictureElement(p)); });
            dialog.message = paragraph(layout.text);
            row.appendChild(dialog.message);
            if (layout.tableAlign) {
                // The message as a table (setTable), in the message's place while it has rows.
                dialog.tableAlign = layout.tableAlign;
                dialog.table = document.createElement('div');
                dialog.table.className = 'dialog-table';
                dialog.table.hidden = true;
                row.appendChild(dialog.table);
            }
            body.appendChild(row);
            dialog.choices = document.createElement('div');
            dialog.choices.className = 'dialog-choices';
            dialog.choices.hidden = true;
            body.appendChild(dialog.choices);
        } else if (layout.kind === ENTRY) {
            body.appendChild(paragraph(layout.text));
            var entry = document.createElement('input');
            entry.type = 'text';
            entry.className = 'dialog-entry';
            entry.spellcheck = false;
            entry.autocomplete = 'off';
            entry.setAttribute('aria-labelledby', title.id);
            entry.value = layout.entryText;
            dialog.entry = entry;
            dialog.kept = entry.value;
            dialog.entryChars = layout.entryChars;
            entry.addEventListener('input', function (event) {
                if (!event.isComposing)
                    keepWhatFits(dialog);
            });
            entry.addEventListener('compositionend', function () { keepWhatFits(dialog); });
            entry.addEventListener('keydown', function (event) {
                if (event.key === 'Enter' && !event.isComposing) {
                    event.preventDefault();
                    confirm(dialog);
                }
            });
            body.appendChild(entry);
        } else {
            layout.pictures.forEach(function (p) {
                var holder = document.createElement('div');
                holder.className = 'picture-row';
                holder.appendChild(pictureElement(p));
                body.appendChild(holder);
            });
            if (layout.text !== null)
                body.appendChild(paragraph(layout.text));
        }

        var buttons = document.createElement('div');
        buttons.className = 'dialog-buttons';
        var main = document.createElement('button');
        main.type = 'button';
        main.textContent = layout.mainButton;
        main.addEventListener('click', function () { confirm(dialog); });
        buttons.appendChild(main);
        dialog.mainButton = main;
        if (layout.cancel) {
            var cancel = document.createElement('button');
            cancel.type = 'button';
            cancel.textContent = 'Cancel';
            cancel.addEventListener('click', function () { dismiss(dialog); });
            buttons.appendChild(cancel);
        }
        element.appendChild(buttons);
        // Escape, as the browser reports it: the same as Cancel.
        element.addEventListener('cancel', function (event) {
            event.preventDefault();
            dismiss(dialog);
        });
        document.body.appendChild(element);
        dialogs[id] = dialog;
    }

    // The entry takes only what the program says fits (the name entry: the table's name
    // field, in bytes) and at most its characters: a character typed or pasted that would
    // not fit whole is not taken, nor anything after it.
    function keepWhatFits(dialog) {
        var entry = dialog.entry;
        var before = dialog.kept, now = entry.value;
        if (now === before)
            return;
        // What was offered lies between the part both texts start with and the part both
        // end with, never splitting a character.
        var start = 0;
        while (start < before.length && start < now.length && before[start] === now[start])
            start++;
        if (start > 0 && /[\uD800-\uDBFF]/.test(now[start - 1]))
            start--;
        var end = 0;
        while (end < before.length - start && end < now.length - start &&
               before[before.length - 1 - end] === now[now.length - 1 - end])
            end++;
        if (end > 0 && /[\uDC00-\uDFFF]/.test(now[now.length - end]))
            end--;
        var head = before.slice(0, start), tail = before.slice(before.length - end);
        var offered = Array.from(now.slice(start, now.length - end));
        var room = dialog.entryChars - Array.from(head + tail).length;
        var taken = offered.slice(0, Math.max(room, 0)).join('');
        var text = cString(taken);
        taken = UTF8ToString(call('entry_takes', dialog.id, utf8Length(head + tail), text.block, text.length));
        program._free(text.block);
        var kept = head + taken + tail;
        if (kept !== now) {
            entry.value = kept;
            entry.setSelectionRange(head.length + taken.length, head.length + taken.length);
        }
        dialog.kept = kept;
    }

    // The dialog's table as the program has them now: the lines above it, a cell each in
    // columns as wide as their widest cell, aligned as the program's layout says ('l' or 'r'
    // a column), the heading row in bold, every row of one height, and the lines below it. No
    // rows: the message shows as its text.
    function setTable(id, above, cells, columns, below) {
        var dialog = dialogs[id];
        if (!dialog || !dialog.table)
            return;
        var box = dialog.table;
        box.textContent = '';
        var rows = columns > 0 ? Math.floor(cells.length / columns) : 0;
        box.hidden = rows === 0;
        dialog.message.hidden = rows > 0;
        if (!rows)
            return;
        function line(content) {
            var p = document.createElement('p');
            p.className = 'dialog-text';
            p.textContent = content;
            box.appendChild(p);
        }
        if (above)
            line(above);
        var table = document.createElement('table');
        for (var r = 0; r < rows; r++) {
            var tr = table.insertRow();
            for (var c = 0; c < columns; c++) {
                var cell = document.createElement(r === 0 ? 'th' : 'td');
                cell.textContent = cells[r * columns + c];
                if (dialog.tableAlign[c] === 'r')
                    cell.className = 'number';
                tr.appendChild(cell);
            }
        }
        box.appendChild(table);
        if (below)
            line(below);
    }

    // The dialog's choices as the program has them now: a caption, and a button each that
    // closes the dialog as its main button does, once the program has heard of the choice;
    // nothing at all when there are none.
    function setChoices(id, caption, labels) {
        var dialog = dialogs[id];
        if (!dialog || !dialog.choices)
            return;
        var box = dialog.choices;
        box.textContent = '';
        box.hidden = labels.length === 0;
        if (!labels.length)
            return;
        var title = document.createElement('p');
        title.className = 'choices-caption';
        title.textContent = caption;
        box.appendChild(title);
        var row = document.createElement('div');
        row.className = 'choices-row';
        labels.forEach(function (label, index) {
            var button = document.createElement('button');
            button.type = 'button';
            button.className = 'choice';
            button.textContent = label;
            button.addEventListener('click', function () {
                call('dialog_chosen', id, index);
                dismiss(dialog);
            });
            row.appendChild(button);
        });
        box.appendChild(row);
    }

    function setDialogText(id, content) {
        var dialog = dialogs[id];
        if (dialog && dialog.message)
            dialog.message.textContent = content;
    }

    // Centred over the game's window, and kept on the screen: a dialog taller than the
    // screen scrolls.
    function place(dialog) {
        var element = dialog.element;
        var frame = $('window').getBoundingClientRect();
        var w = element.offsetWidth, h = element.offsetHeight;
        var x = Math.round(frame.left + (frame.width - w) / 2);
        var y = Math.round(frame.top + (frame.height - h) / 2);
        x = Math.max(0, Math.min(x, innerWidth - w));
        y = Math.max(0, Math.min(y, innerHeight - h));
        element.style.left = x + 'px';
        element.style.top = y + 'px';
    }

    // Shows the dialog; true when it was up already (it is only brought to the front).
    function showDialog(id) {
        var dialog = dialogs[id];
        if (!dialog || ended)
            return false;
        if (dialog.element.open) {
            dialog.element.focus();
            return true;
        }
        closeMenu();
        dialog.element.showModal();
        shown.push(dialog);
        place(dialog);
        tellLeft();
        // The keyboard goes to the entry with its text selected, so that typing replaces it
        // and Enter keeps it; else to the main button.
        if (dialog.entry) {
            dialog.entry.focus();
            dialog.entry.select();
        } else {
            dialog.mainButton.focus();
        }
        return false;
    }

    // Resolves once the dialog is dismissed.
    function dismissed(id) {
        var dialog = dialogs[id];
        if (!dialog || !dialog.element.open || ended)
            return Promise.resolve();
        return new Promise(function (resolve) { dialog.waiters.push(resolve); });
    }

    // The main button, or Enter in the entry: the program's action, then the dismissal.
    function confirm(dialog) {
        if (!dialog.element.open)
            return;
        if (dialog.entry) {
            var text = cString(dialog.entry.value);
            call('dialog_confirmed', dialog.id, text.block);
            if (!ended)
                program._free(text.block);
        } else {
            call('dialog_confirmed', dialog.id, 0);
        }
        dismiss(dialog);
    }

    // Hides the dialog and ends the wait for it; no action runs.
    function dismiss(dialog) {
        if (!dialog.element.open)
            return;
        dialog.element.close();
        shown.splice(shown.indexOf(dialog), 1);
        var waiters = dialog.waiters;
        dialog.waiters = [];
        waiters.forEach(function (resolve) { resolve(); });
        settle();
    }

    // ---------------------------------------------------------------- sound

    var sound = { wanted: false, names: [], files: null, context: null, buffers: [], started: [], playing: [] };

    // Sound turned on: the files are fetched at once; the browser lets the page play them
    // once the player has touched it.
    function soundOn(on, names) {
        sound.wanted = on;
        sound.names = names;
        if (!on) {
            sound.playing.forEach(function (source) { source.stop(); });
            sound.playing = [];
            return;
        }
        if (!sound.files) {
            sound.files = Promise.all(names.map(function (name) {
                return fetch('sounds/' + name + '.wav')
                    .then(function (response) { return response.ok ? response.arrayBuffer() : null; })
                    .catch(function () { return null; });
            }));
        }
        startSound();
    }

    function startSound() {
        if (!sound.wanted || sound.context || !userActed || typeof AudioContext === 'undefined')
            return;
        sound.context = new AudioContext();
        sound.files.then(function (files) {
            var skipped = [];
            files.forEach(function (file, effect) {
                if (!file) {
                    skipped.push(sound.names[effect]);
                    return;
                }
                sound.context.decodeAudioData(file).then(function (buffer) {
                    sound.buffers[effect] = buffer;
                }, function () {
                    console.warn('sound skipped: ' + sound.names[effect]);
                });
            });
            if (skipped.length)
                console.warn('sounds skipped: ' + skipped.join(', '));
        });
    }

    // The same effect started again within 60 ms is heard once.
    function soundPlay(effect) {
        var context = sound.context;
        var buffer = sound.buffers[effect];
        if (!sound.wanted || !context || context.state !== 'running' || !buffer)
            return;
        var now = performance.now();
        if (now - (sound.started[effect] || -1e9) < 60)
            return;
        sound.started[effect] = now;
        var source = context.createBufferSource();
        source.buffer = buffer;
        source.connect(context.destination);
        source.onended = function () {
            sound.playing = sound.playing.filter(function (s) { return s !== source; });
        };
        sound.playing.push(source);
        source.start();
    }

    // ---------------------------------------------------------------- the loader

    // Hands the page the loader's Module: the command line, the program's standard error,
    // and its end.
    function connect(module) {
        program = module;
        var line = commandLine(location.search);
        module.arguments = line.args;
        module.print = function (text) { console.log(text); };
        module.printErr = function (text) {
            errorLines.push(text);
            console.warn(text);
        };
        module.quit = function (status, toThrow) {
            programEnded(status);
            throw toThrow;
        };
        module.onAbort = function (what) {
            errorLines.push(String(what));
            programEnded(1);
        };
        if (line.problem) {
            module.noInitialRun = true;
            errorLines.push(line.problem);
            addEventListener('DOMContentLoaded', function () { programEnded(1); });
        }
    }

    return {
        connect: connect,
        commandLine: commandLine,
        open: open,
        buildWindow: buildWindow,
        addMenu: addMenu,
        addEntry: addEntry,
        enableEntry: enableEntry,
        checkSound: checkSound,
        addPicture: addPicture,
        setIcon: setIcon,
        addCursor: addCursor,
        setCursor: setCursor,
        fieldSize: fieldSize,
        makeCanvas: makeCanvas,
        clip: clip,
        unclip: unclip,
        fillWhite: fillWhite,
        drawPicture: drawPicture,
        drawLine: drawLine,
        setText: setText,
        drawText: drawText,
        copyToWindow: copyToWindow,
        showPaused: showPaused,
        startTimer: startTimer,
        setChoices: setChoices,
        setTable: setTable,
        stopTimer: stopTimer,
        buildDialog: buildDialog,
        setDialogText: setDialogText,
        showDialog: showDialog,
        dismissed: dismissed,
        soundOn: soundOn,
        soundPlay: soundPlay
    };
})();

GlimpwatchPage.connect(Module);
