// WebStorage: the browser's storage of the site (localStorage), where the browser build
// keeps the player's files: each file is one item, named by its path, holding its text.
#pragma once

#include <string>

namespace WebStorage {

// The item's text; false when there is none. Where the browser keeps nothing for the site
// (storage turned off), the items live in memory for as long as the page does; under node
// (the tests), each is the file at its path.
bool get(const std::string &name, std::string &text);
// Stores the text as the item, in one step; false when the browser refuses it (its
// storage for the site is full).
bool set(const std::string &name, const std::string &text);

} // namespace WebStorage
