// The program's start-up sequence: options, window, pictures, scores, cursors, then the loop.
#include "game/entry.h"

#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network.h"
#include "game/game.h"
#include "game/options.h"
#include "game/recorder.h"
#include "game/replay.h"
#include "game/session.h"
#include "gui/gui.h"
#include "gui/headless.h"
#include "recording/recordings.h"
#include "scores/high_scores.h"
#include "scores/player_name.h"
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

void load_play_field_pictures()
{
    Glimp::load_images();
    Distro::load_images();
    Computer::load_images();
    Bucket::load_images();
    Spark::load_images();
}

void start_glimpwatch(int argc, char **argv)
{
    srand(static_cast<unsigned>(time(nullptr)));
    Options options = parse_options(argc, argv);
    if (options.replay_file && options.check_replay)
        exit(check_replay(options.replay_file));
    // A recording to watch is read before any window opens, which gets its field's size.
    if (options.replay_file)
        options.screen_size = Session::read_for_watching(options.replay_file);
    Game::set_screen_size(options.screen_size);
    Game::set_level(options.level);

    Gui::set_game(Session::calls());
    Gui::open(options.gui_name, &argc, argv);
    Gui::build_main_window(options.screen_size);
    Gui::prepare_canvas();

    Image *logo = nullptr, *icon = nullptr, *about = nullptr;
    Gui::load_image("logo", 0, &logo);
    Gui::load_image("icon", 0, &icon);
    Gui::load_image("about", 0, &about);
    Game::set_pictures(logo, icon, about);

    // The size is at most 4000, so the centring cannot overflow for any picture size.
    Gui::clear_canvas();
    Gui::blit(logo, (options.screen_size - Gui::image_width(logo)) / 2,
              (options.screen_size - Gui::image_height(logo)) / 2);
    Gui::present_canvas();

    // The name the player entered last time, or the account's: typing replaces it.
    Gui::set_entry_text(DIALOG_ENTER_NAME, PlayerName::initial().c_str());
    Gui::build_dialogs(logo, icon, about);
    Gui::use_icon(icon);
    HighScores::read();
    Game::refresh_high_scores();

    PointerCursor *hand_up = nullptr, *hand_down = nullptr;
    Gui::load_cursor("hand_up", 0, &hand_up);
    Gui::load_cursor("hand_down", 0, &hand_down);
    Game::set_hand_cursors(hand_up, hand_down);
    Gui::use_cursor(hand_up);

    load_play_field_pictures();
    // After the pictures, whose errors are fatal: the player gets ready in the background,
    // in time for the sound of a game started from the command line.
    Sound::start(options.mute);
    Gui::check_sound_item(Sound::on());

    Game::set_state(WAITING);
    if (options.replay_file) {
        Gui::enable_pause_item(0);
        Session::watch_what_was_read();
    } else if (options.level != 0) {
        Recorder::start(options.level);
    } else {
        Gui::enable_pause_item(0);
    }
}

int check_replay(const char *path)
{
    // Nothing is heard, shown or kept: only the result is printed.
    Sound::hush(true);
    Recording recording;
    std::string reason;
    if (!Recordings::read(path, recording, &reason) || !Replay::playable(recording, &reason)) {
        fprintf(stderr, "%s: %s\n", path, reason.c_str());
        return 1;
    }
    Game::set_screen_size(recording.size);
    Gui::open_table(Headless::methods(), nullptr, nullptr);
    Gui::build_main_window(recording.size);
    Gui::prepare_canvas();
    load_play_field_pictures();
    Game::set_state(WAITING);
    std::string line;
    if (!Replay::run(recording, &line, &reason)) {
        fprintf(stderr, "%s: %s\n", path, reason.c_str());
        return 1;
    }
    printf("%s\n", line.c_str());
    return 0;
}

void run_glimpwatch(int argc, char **argv)
{
    start_glimpwatch(argc, argv);
    Gui::run_event_loop();
    exit(0);
}
