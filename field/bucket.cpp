// Bucket: picked up in the field's top-left corner and let go over sparks to douse them.
#include "field/bucket.h"
#include "field/bucket_testing.h"

#include "field/network.h"
#include "gui/gui.h"
#include "sound/sound.h"

namespace {
Image *picture = nullptr;
PointerCursor *cursor = nullptr;
int picture_w = 0, picture_h = 0;
bool is_grabbed = false;
} // namespace

namespace Bucket {

void load_images()
{
    Gui::load_image("bucket", 1, &picture);
    Gui::load_cursor("bucket", 1, &cursor);
    picture_w = Gui::image_width(picture);
    picture_h = Gui::image_height(picture);
}

// The top row and the left column of the picture do not count.
int hit(int x, int y)
{
    return 0 < x && x < picture_w && 0 < y && y < picture_h ? 1 : 0;
}

void draw()
{
    if (!is_grabbed && picture)
        Gui::blit(picture, 0, 0);
}

void grab()
{
    Gui::use_cursor(cursor);
    is_grabbed = true;
}

// Every spark in reach goes out, not only the first; a release counts even when the
// press before it did not pick the bucket up.
void release(int x, int y)
{
    bool doused = false;
    for (int i = 0; i < Network::wire_count(); i++) {
        Wire &w = Network::wire(i);
        if (Wire::spark_hit(w, x, y)) {
            Wire::douse(w);
            doused = true;
        }
    }
    is_grabbed = false;
    // One splash however many sparks went out.
    if (doused)
        Sound::play(SOUND_DOUSE);
}

int grabbed() { return is_grabbed ? 1 : 0; }
void set_grabbed(int held) { is_grabbed = held != 0; }

void set_size_for_tests(int w, int h)
{
    picture_w = w;
    picture_h = h;
}

void reset_for_tests() { is_grabbed = false; }

} // namespace Bucket
