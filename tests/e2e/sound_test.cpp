// Sound in the real game: what SDL's "disk" audio driver writes (the samples that would
// reach the speakers), --mute, the Sound entry and its key, no device, and bad sound files.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// What the game asks of the device: 44100 frames a second of two 16-bit samples.
constexpr long BYTES_PER_SECOND = 44100 * 4;

long file_size(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

// The largest sample value in the device output between two byte offsets (to the end for -1).
int peak(const std::string &path, long from, long to = -1)
{
    std::string bytes = read_file(path);
    long end = to < 0 ? static_cast<long>(bytes.size())
                      : std::min<long>(to, static_cast<long>(bytes.size()));
    int top = 0;
    for (long i = std::max(0L, from) & ~1L; i + 1 < end; i += 2) {
        int v = static_cast<int16_t>(static_cast<uint8_t>(bytes[static_cast<size_t>(i)]) |
                                     static_cast<uint8_t>(bytes[static_cast<size_t>(i + 1)]) << 8);
        top = std::max(top, std::abs(v));
    }
    return top;
}

// Kills one walking Glimp where the screen shows it; false when no try got one.
bool whack_a_glimp(Game &game, std::string &log)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        Capture still = pause_and_look(game);
        auto glimps = walking_glimps(still);
        if (glimps.empty()) {
            play_until_glimps_walk(game);
            continue;
        }
        Sighting g = glimps.front();
        game.click_canvas(g.cx(), g.cy());
        bool killed = wait_until([&] { return shows_dying_glimp(game.capture_canvas(), g.x, g.y); },
                                 3000, 20);
        log += "clicked " + g.name + (killed ? ": dying\n" : ": missed\n");
        if (killed)
            return true;
    }
    return false;
}

// A game that writes what it plays to a file, with the player's data in a fresh directory.
struct HeardGame {
    ScopedEnv env;
    std::string audio;
    std::unique_ptr<Game> game;

    HeardGame(const std::string &name, const std::vector<std::string> &args,
              const std::string &data_home)
    {
        audio = artifacts_dir() + "/" + name + ".raw";
        fs::remove(audio);
        env.set("SDL_AUDIODRIVER", "disk");
        env.set("SDL_DISKAUDIOFILE", audio);
        env.set("XDG_DATA_HOME", data_home);
        game.reset(new Game(args));
    }
    // Waits until the device output has grown by the given time past the offset.
    bool wait_output(long from, double seconds)
    {
        return wait_until(
            [&] {
                return file_size(audio) >= from + static_cast<long>(seconds * BYTES_PER_SECOND);
            },
            UI_TIMEOUT_MS, 50);
    }
};

std::string fresh_data_home(const std::string &name)
{
    std::string dir = artifacts_dir() + "/" + name + "-data";
    fs::remove_all(dir);
    return dir;
}

} // namespace

// A whacked Glimp is heard: silence while the game stands paused, then the samples of the
// whack. With --mute the device is never even opened.
TEST(Sound, WhackedGlimpIsHeardAndNothingWithMute)
{
    for (bool mute : {false, true}) {
        SCOPED_TRACE(mute ? "--mute" : "sound on");
        std::string name = test_artifact_name(mute ? "muted" : "heard");
        std::vector<std::string> args = {"-l", "1"};
        if (mute)
            args.push_back("--mute");
        HeardGame heard(name, args, fresh_data_home(name));
        Game &game = *heard.game;
        ASSERT_TRUE(game.ok()) << game.error();
        game.move_to_canvas(200, 200);
        ASSERT_TRUE(wait_until([&] { return status_line_shown(game.capture_canvas()); },
                               UI_TIMEOUT_MS, 50));
        // Paused long enough for the start of the game to have died away: the device has
        // played 1.2 s since.
        pause_and_look(game);
        if (!mute) {
            ASSERT_TRUE(heard.wait_output(std::max(0L, file_size(heard.audio)), 1.2))
                << "no device output while paused";
        }
        long before = file_size(heard.audio);
        std::string log;
        ASSERT_TRUE(whack_a_glimp(game, log)) << log;
        if (!mute) {
            ASSERT_GT(before, BYTES_PER_SECOND)
                << "the device output should have begun at the start";
            EXPECT_EQ(peak(heard.audio, before - BYTES_PER_SECOND / 4, before), 0)
                << "a paused game is silent";
            ASSERT_TRUE(heard.wait_output(before, 0.6));
            EXPECT_GT(peak(heard.audio, before), 3000) << "no whack in the device output";
        } else {
            // Time for a device the whack opened to show: none may.
            EXPECT_TRUE(holds_for([&] { return file_size(heard.audio) == -1; }, 600))
                << "a muted game opened the audio device";
        }
        EXPECT_EQ(game.process().err().find("no sound"), std::string::npos) << game.process().err();
        EXPECT_TRUE(game.close_and_wait());
    }
}

// The S key turns sound off and the choice outlives the run; the Sound entry of the Game
// menu turns it on again in a game that started silent, and the game is heard from then on.
TEST(Sound, KeyAndMenuEntryTurnSoundOffAndOnAndTheChoiceIsKept)
{
    std::string data_home = fresh_data_home(test_artifact_name());
    std::string setting = data_home + "/glimpwatch/sound";
    {
        HeardGame first(test_artifact_name("first"), {}, data_home);
        Game &game = *first.game;
        ASSERT_TRUE(game.ok()) << game.error();
        game.move_to_canvas(200, 200);
        tap_key(XK_s);
        EXPECT_TRUE(wait_until([&] { return read_file(setting) == "off\n"; }, UI_TIMEOUT_MS, 50))
            << "the S key did not turn sound off";
        EXPECT_TRUE(game.close_and_wait());
    }
    HeardGame second(test_artifact_name("second"), {"-l", "1"}, data_home);
    Game &game = *second.game;
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200);
    ASSERT_TRUE(
        wait_until([&] { return status_line_shown(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
    EXPECT_TRUE(holds_for([&] { return file_size(second.audio) == -1; }, 500))
        << "sound turned off in the last run, yet the device was opened";

    // The sixth entry of the Game menu, after the five that open dialogs.
    ASSERT_TRUE(game.click_entry(0, 5, test_artifact_name("menu"))) << game.error();
    EXPECT_TRUE(wait_until([&] { return read_file(setting) == "on\n"; }, UI_TIMEOUT_MS, 50))
        << "the Sound entry did not turn sound on";
    ASSERT_TRUE(wait_until([&] { return file_size(second.audio) > 0; }, UI_TIMEOUT_MS, 50))
        << "sound on, but no device output";
    pause_and_look(game);
    long before = file_size(second.audio);
    std::string log;
    ASSERT_TRUE(whack_a_glimp(game, log)) << log;
    ASSERT_TRUE(second.wait_output(before, 0.6));
    EXPECT_GT(peak(second.audio, before), 3000) << "no whack in the device output";
    EXPECT_TRUE(game.close_and_wait());
}

// Without a working audio system the game starts, plays and ends as usual, with at most one
// line on standard error.
TEST(Sound, WithoutAnAudioDeviceTheGamePlaysSilently)
{
    struct Case {
        const char *what;
        std::vector<std::pair<std::string, std::string>> env;
    } cases[] = {
        {"an audio library that cannot start", {{"SDL_AUDIODRIVER", "nosuch"}}},
        {"no sound server",
         {{"SDL_AUDIODRIVER", "pulseaudio"}, {"PULSE_SERVER", "unix:/nonexistent/pulse"}}},
        {"no sound card", {{"SDL_AUDIODRIVER", "alsa"}, {"AUDIODEV", "hw:97,0"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Game> game;
        {
            ScopedEnv env;
            env.set("XDG_DATA_HOME", fresh_data_home(test_artifact_name()));
            for (auto &v : c.env)
                env.set(v.first, v.second);
            game.reset(new Game({"-l", "1"}));
        }
        ASSERT_TRUE(game->ok()) << game->error();
        game->move_to_canvas(200, 200);
        ASSERT_TRUE(wait_until([&] { return status_line_shown(game->capture_canvas()); },
                               UI_TIMEOUT_MS, 50));
        Capture frame = game->capture_canvas();
        EXPECT_FALSE(game->wait_canvas_change(frame).empty()) << "the game does not go on";
        std::string err = game->process().err();
        EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(err.empty() || err.compare(0, 10, "no sound: ") == 0) << err;
        EXPECT_TRUE(game->close_and_wait());
    }
}

namespace {

// The darkest pixel of a menu entry's row: black for an entry that can be chosen, grey for one
// that cannot.
int darkest(const Capture &menu, const Rect &row)
{
    // Inside the menu's frame.
    Capture c = menu.crop(row.x - menu.x + 4, row.y - menu.y, row.w - 8, row.h);
    int least = 255;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            least = std::min(least, c.at(x, y).luma());
    return least;
}

} // namespace

// Without a device the Sound entry says so: it cannot be chosen, like Pause without a game,
// and its tooltip says why. A device that comes later (here the directory of the disk
// driver's file) is found, and the entry is back: chosen, it turns sound off.
TEST(Sound, WithoutADeviceTheSoundEntrySaysWhyUntilOneComes)
{
    std::string data_home = fresh_data_home(test_artifact_name());
    std::string device_dir = artifacts_dir() + "/" + test_artifact_name() + "-device";
    fs::remove_all(device_dir);
    std::unique_ptr<Game> game;
    {
        ScopedEnv env;
        env.set("XDG_DATA_HOME", data_home);
        env.set("SDL_AUDIODRIVER", "disk");
        env.set("SDL_DISKAUDIOFILE", device_dir + "/out.raw");
        game.reset(new Game({}));
    }
    ASSERT_TRUE(game->ok()) << game->error();
    ASSERT_TRUE(wait_until([&] { return game->process().err().compare(0, 10, "no sound: ") == 0; },
                           UI_TIMEOUT_MS, 50))
        << game->process().err();

    // The Game menu: New Game, Pause (no game to pause), Warp, High Scores, Quit, Sound, Full
    // Screen.
    constexpr size_t NEW_GAME = 0, PAUSE = 1, SOUND = 5;
    constexpr int ENTRIES = 7;
    WindowId menu = game->open_menu(0);
    ASSERT_NE(menu, 0u) << game->error();
    Capture shot;
    std::vector<Rect> rows = game->menu_entries(menu, ENTRIES, &shot);
    save_artifact(test_artifact_name("without"), shot);
    ASSERT_EQ(rows.size(), static_cast<size_t>(ENTRIES));
    EXPECT_GT(darkest(shot, rows[SOUND]), darkest(shot, rows[NEW_GAME]) + 40)
        << "the Sound entry can be chosen without a device";
    EXPECT_NEAR(darkest(shot, rows[SOUND]), darkest(shot, rows[PAUSE]), 30)
        << "the Sound entry does not look like the Pause entry that cannot be chosen";
    // Its tooltip comes up over the entry.
    std::set<WindowId> known = viewable_ids();
    move_pointer(rows[SOUND].x + 30, rows[SOUND].cy());
    WindowId tip = 0;
    ASSERT_TRUE(wait_until([&] { return (tip = find_popup(known)) != 0; }, UI_TIMEOUT_MS, 50))
        << "no tooltip over the Sound entry";
    Capture tip_shot;
    wait_until([&] { return !non_white_box(tip_shot = capture_window(tip)).empty(); }, UI_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name("tooltip"), tip_shot);
    EXPECT_GT(tip_shot.width, 150) << "a tooltip too narrow for the reason";
    tap_key(XK_Escape);
    ASSERT_TRUE(wait_until([&] { return !window_viewable(menu); }, UI_TIMEOUT_MS, 50));

    // The device comes: within a few seconds the game has it, and the entry is back.
    fs::create_directories(device_dir);
    ASSERT_TRUE(wait_until([&] { return file_size(device_dir + "/out.raw") >= 0; }, UI_TIMEOUT_MS, 100))
        << "the device was not tried again";
    // The device's file is made as the player opens it; the entry follows a moment later, so
    // the menu is looked at again until it has.
    bool back = false;
    for (int look = 0; look < 20 && !back; ++look) {
        if (look > 0) {
            tap_key(XK_Escape);
            ASSERT_TRUE(wait_until([&] { return !window_viewable(menu); }, UI_TIMEOUT_MS, 50));
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        menu = game->open_menu(0);
        ASSERT_NE(menu, 0u) << game->error();
        rows = game->menu_entries(menu, ENTRIES, &shot);
        ASSERT_EQ(rows.size(), static_cast<size_t>(ENTRIES));
        back = darkest(shot, rows[SOUND]) < darkest(shot, rows[PAUSE]) - 40;
    }
    save_artifact(test_artifact_name("with"), shot);
    EXPECT_TRUE(back) << "the Sound entry cannot be chosen though the device works";
    click_at(rows[SOUND].cx(), rows[SOUND].cy());
    EXPECT_TRUE(wait_until([&] { return read_file(data_home + "/glimpwatch/sound") == "off\n"; },
                           UI_TIMEOUT_MS, 50))
        << "the Sound entry did not turn sound off";
    // Said once, however often the device was tried. (The disk driver says more of its own.)
    std::string err = game->process().err();
    EXPECT_EQ(err.find("no sound: "), err.rfind("no sound: ")) << err;
    EXPECT_TRUE(game->close_and_wait());
}

// Sound files that are cut short, spoilt, missing or no file at all: one line names them at
// start-up, the rest of the sounds and the game go on.
TEST(Sound, BadSoundFilesAreSkippedWithOneLine)
{
    WorkDir dir;
    dir.link_pixmaps();
    dir.copy_sounds();
    std::string sounds = dir.path() + "/sounds/";
    std::string whack = read_file(sounds + "whack.wav");
    write_file(sounds + "whack.wav", whack.substr(0, whack.size() / 2));
    write_file(sounds + "douse.wav", std::string("RIFF\x10\x00\x00\x00WAVEjunkjunkjunk", 20));
    fs::remove(sounds + "infected.wav");
    fs::remove(sounds + "game_start.wav");
    ASSERT_EQ(mkfifo((sounds + "game_start.wav").c_str(), 0600), 0) << "a FIFO in a sound's place";
    GameProcess process;
    {
        ScopedEnv env;
        env.set("XDG_DATA_HOME", fresh_data_home(test_artifact_name()));
        process.start({"-l", "1"}, dir);
    }
    ASSERT_NE(wait_for_window(MAIN_TITLE, process.pid()), 0UL) << process.err();
    const std::string line =
        "sounds skipped: whack.wav (damaged), douse.wav (damaged), "
        "infected.wav (missing), game_start.wav (not a regular file)\n";
    EXPECT_TRUE(wait_until([&] { return process.err() == line; }, UI_TIMEOUT_MS, 50))
        << process.err();
    EXPECT_TRUE(holds_for([&] { return process.err() == line; }, 500)) << "one line, once\n"
                                                                       << process.err();
    EXPECT_TRUE(process.running());
}
