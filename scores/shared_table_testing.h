// What the tests set in the shared-table module.
#pragma once

namespace SharedTable {

// Runs this program in place of the build's helper, with extra as its first argument
// (a test helper's table); null returns to the build's own.
void set_helper_for_tests(const char *path, const char *extra = nullptr);

} // namespace SharedTable
