// WebStorage: the browser's storage of the site (localStorage), where the browser build
// keeps the player's files: each file is one item, named by its path, holding its text.
#pragma once

#include <string>

namespace WebStorage {

// The item's text; false when there is none. Where the browser keeps nothing for the site
// (storage turned off, or no browser at all: the tests under node), the items live in
// memory for as long as the page does.
bool get(const std::string &name, std::string &text);
// Stores the text as the item, in one step; false when the browser refuses it (its
// storage for the site is full).
bool set(const std::string &name, const std::string &text);

} // namespace WebStorage
