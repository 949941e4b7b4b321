// Fuzz target for the recording reader and the replay: any file text is refused or read; a
// recording read is written back to the same text's meaning, and, when short enough, replays
// through the game the same way twice without a crash.
#include "game/entry.h"
#include "game/game.h"
#include "game/replay.h"
#include "gui/gui.h"
#include "gui/headless.h"
#include "recording/recording.h"
#include "sound/sound.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Replays longer than this or on larger fields take too long for a fuzzer's input.
constexpr int MAX_TICKS = 1500;
constexpr int MAX_SIZE = 800;

bool same(const Recording &a, const Recording &b)
{
    if (a.seed != b.seed || a.size != b.size || a.level != b.level || a.ending != b.ending || a.ticks != b.ticks ||
        a.score != b.score || a.final_level != b.final_level || a.name != b.name || a.bucket_held != b.bucket_held ||
        a.events.size() != b.events.size())
        return false;
    for (size_t i = 0; i < a.events.size(); i++)
        if (a.events[i].tick != b.events[i].tick || a.events[i].input != b.events[i].input ||
            a.events[i].x != b.events[i].x || a.events[i].y != b.events[i].y)
            return false;
    return true;
}

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "%s\n", what);
    abort();
}

} // namespace

// No back end is looked up by name here: the headless one is installed directly.
const GuiBackend gui_backends[] = {{nullptr, nullptr}};

// The pictures' sizes come from ./pixmaps: the fuzzer runs from the checkout.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Sound::hush(true);
    Gui::open_table(Headless::methods(), nullptr, nullptr);
    Gui::build_main_window(Game::DEFAULT_SCREEN_SIZE);
    Gui::prepare_canvas();
    load_play_field_pictures();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    Recording r;
    std::string reason;
    if (!RecordingText::parse(text, r, &reason)) {
        if (reason.empty())
            fail("refused without a reason");
        return 0;
    }
    std::string written = RecordingText::write(r);
    Recording again, header;
    if (!RecordingText::parse(written, again, &reason) || !same(r, again))
        fail("a recording read does not read back as itself once written");
    if (!RecordingText::parse_header(written, header, &reason))
        fail("the header of a recording written cannot be read");
    Recording without_events = r;
    without_events.events.clear();
    if (!same(without_events, header))
        fail("the header read alone differs from the recording's");

    if (r.ticks > MAX_TICKS || r.size > MAX_SIZE || !Replay::playable(r, nullptr))
        return 0;
    std::string first_line, second_line, first_reason, second_reason;
    bool first = Replay::run(r, &first_line, &first_reason);
    bool second = Replay::run(r, &second_line, &second_reason);
    if (first != second || first_line != second_line || first_reason != second_reason)
        fail("a recording replays two ways");
    return 0;
}
