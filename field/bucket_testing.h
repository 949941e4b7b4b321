// Test hooks of the bucket: only the module that defines them and the tests include this header.
#pragma once

#include "field/bucket.h"

namespace Bucket {

// Sets the bucket's size without a picture.
void set_size_for_tests(int w, int h);
// Puts the bucket back in its corner.
void reset_for_tests();

} // namespace Bucket
