// WebStorage: items of localStorage, or of a map in memory where there is none.
#include "base/web_storage.h"

#include <cstdlib>
#include <emscripten.h>

namespace {

// The site's storage, found once: localStorage where the browser gives it (reading it
// throws where the player turned it off), the files under node, else a map that lasts as
// long as the page.
EM_JS(void, find_storage, (), {
    if (Module.glimpwatchStorage)
        return;
    try {
        if (typeof localStorage != 'undefined' && localStorage && localStorage.length >= 0) {
            Module.glimpwatchStorage = localStorage;
            return;
        }
    } catch (e) {
    }
    // Under node (the tests): the machine's files, an item a file at its path, replaced in
    // one step.
    if (typeof ENVIRONMENT_IS_NODE != 'undefined' && ENVIRONMENT_IS_NODE) {
        Module.glimpwatchStorage = {
            getItem: function(name) {
                try {
                    return FS.readFile(name, { encoding: 'utf8' });
                } catch (e) {
                    return null;
                }
            },
            setItem: function(name, text) {
                FS.writeFile(name + '.new', String(text));
                FS.rename(name + '.new', name);
            }
        };
        return;
    }
    var items = new Map();
    Module.glimpwatchStorage = {
        getItem: function(name) { return items.has(name) ? items.get(name) : null; },
        setItem: function(name, text) { items.set(name, String(text)); }
    };
});

// The item's text as UTF-8 in a block of malloc's that the caller frees; null when none.
EM_JS(char *, get_item, (const char *name, int *length), {
    var text = null;
    try {
        text = Module.glimpwatchStorage.getItem(UTF8ToString(name));
    } catch (e) {
    }
    if (text === null)
        return 0;
    var bytes = lengthBytesUTF8(text);
    var block = _malloc(bytes + 1);
    stringToUTF8(text, block, bytes + 1);
    HEAP32[length >> 2] = bytes;
    return block;
});

EM_JS(int, set_item, (const char *name, const char *text, int length), {
    try {
        Module.glimpwatchStorage.setItem(UTF8ToString(name), UTF8ToString(text, length));
        return 1;
    } catch (e) {
        return 0;
    }
});

} // namespace

namespace WebStorage {

bool get(const std::string &name, std::string &text)
{
    text.clear();
    find_storage();
    int length = 0;
    char *block = get_item(name.c_str(), &length);
    if (!block)
        return false;
    text.assign(block, static_cast<std::size_t>(length));
    free(block);
    return true;
}

bool set(const std::string &name, const std::string &text)
{
    find_storage();
    return set_item(name.c_str(), text.c_str(), static_cast<int>(text.size())) != 0;
}

} // namespace WebStorage
