// What the tests set in the shared-table module.
#pragma once

namespace SharedTable {

// Runs this program in place of the build's helper, with extra as its first argument
// (a test helper's table), and gives up on it after timeout_ms (15 s unless a test says);
// null returns to the build's own.
void set_helper_for_tests(const char *path, const char *extra = nullptr, int timeout_ms = -1);

} // namespace SharedTable
