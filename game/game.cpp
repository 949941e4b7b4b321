// Game: the state machine, the tick, level set-up and the rules of winning and losing.
#include "game/game.h"

#include "base/support.h"
#include "field/bucket.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/game_internal.h"
#include "game/game_testing.h"
#include "gui/gui.h"
#include "scores/high_scores.h"
#include "scores/player_name.h"
#include "sound/sound.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
int state_ = WAITING;
int score_ = 0;
int level_ = 0;
int ticks_ = 0;
int efficiency_ = 0;
int screen_size_ = Game::DEFAULT_SCREEN_SIZE;
Glimp *dragged_ = nullptr;      // not owned: a record the Swarm made, out of both its lists
Image *logo_ = nullptr, *icon_ = nullptr, *about_ = nullptr;
PointerCursor *hand_up_ = nullptr, *hand_down_ = nullptr;
bool in_tick = false;           // a tick waiting in a dialog must not be entered again
} // namespace

namespace Game {
namespace internal {

void add_score(long long points) { score_ = saturate(score_ + points); }
void set_dragged(Glimp *g) { dragged_ = g; }
PointerCursor *hand_up() { return hand_up_; }
PointerCursor *hand_down() { return hand_down_; }

} // namespace internal
} // namespace Game

namespace {

// Every change of state goes through here: the Gui front shows the paused view only over a
// level in play.
void enter_state(int state)
{
    state_ = state;
    Gui::set_level_in_play(state == PLAYING);
    Game::internal::mark_targets();
}

void draw_logo()
{
    Gui::clear_canvas();
    if (!logo_)
        return;
    // In 64 bits: a picture wider than the field gives a negative corner, never an overflow.
    long long x = (static_cast<long long>(screen_size_) - Gui::image_width(logo_)) / 2;
    long long y = (static_cast<long long>(screen_size_) - Gui::image_height(logo_)) / 2;
    Gui::blit(logo_, saturate(x), saturate(y));
}

// The End Game dialog says how far the game went, whether or not its score makes the table.
void show_final_result()
{
    const char *text = Gui::dialog_text(DIALOG_END_GAME);
    std::string message = text ? std::string(text) + "\n\n" : std::string();
    message += Game::final_line();
    Gui::set_dialog_text(DIALOG_END_GAME, message.c_str());
}

// The title screen: the logo, no ticker, nothing to pause.
void to_title()
{
    draw_logo();
    Gui::stop_ticker();
    Gui::enable_pause_item(0);
    enter_state(WAITING);
}

void tick_playing()
{
    // A computer may have lost its distro since the drag began: it takes the dragged one now.
    Game::internal::mark_targets();
    Gui::clear_canvas();
    Bucket::draw();
    Network::update();
    Network::draw();
    Swarm::update(ticks_);
    Swarm::draw();

    int on_field = Swarm::counter(ON_FIELD);
    int reserve = Swarm::counter(RESERVE);
    int good = Network::counter(GOOD);
    int off = Network::counter(OFF);
    int infected = Network::counter(INFECTED);
    int count = Network::computer_count();

    char status[160];
    snprintf(status, sizeof status, "Glimp:%d/%d  System:%d/%d/%d  Level:%d  Score:%d",
             on_field, reserve, good, off, infected, level_, score_);
    Gui::text(status, 5, saturate(static_cast<long long>(screen_size_) - 5));

    // Uptime: full marks for every working computer, a small fine for every infected one.
    // A level always has a computer; the test only keeps a broken network from dividing by 0.
    if (count > 0) {
        long long term = (100LL * good - 10LL * infected) / count;
        efficiency_ = saturate(efficiency_ + term);
    }

    // Won: no Glimp of the level is left. The bonus is the mean uptime times the level;
    // efficiency x level needs 62 bits at most, so the 64-bit product is exact.
    if (static_cast<long long>(on_field) + reserve == 0) {
        if (ticks_ > 0)
            Game::internal::add_score(static_cast<long long>(efficiency_) * level_ / ticks_);
        enter_state(BETWEEN_LEVELS);
    }
    // Lost, also in the tick that won the level: the bonus counts, the game ends.
    if (static_cast<long long>(good) + off <= 1) {
        enter_state(GAME_OVER);
        show_final_result();
    }
    // Heard at once; the dialogs follow on the next tick. A game lost is all that is heard
    // of a tick that also won the level.
    if (state_ == GAME_OVER)
        Sound::play(SOUND_GAME_LOST);
    else if (state_ == BETWEEN_LEVELS)
        Sound::play(SOUND_LEVEL_WON);
}

void tick_between_levels()
{
    Gui::use_cursor(hand_up_);
    char text[64];
    snprintf(text, sizeof text, "After Level %d:\nScore: %d", level_, score_);
    Gui::set_dialog_text(DIALOG_SCORE, text);
    Gui::show_dialog(DIALOG_SCORE);
    enter_state(PLAYING);
    // Past the last representable level the game replays the top level: every rule of
    // the field is capped long before, so nothing would change by going on anyway.
    Game::setup_level(level_ < INT_MAX ? level_ + 1 : INT_MAX);
}

void tick_game_over()
{
    Gui::use_cursor(hand_up_);
    Gui::clear_canvas();
    Network::to_toasters();
    Network::draw();
    Gui::present_canvas();
    Gui::show_dialog(DIALOG_END_GAME);
    if (HighScores::qualifies(score_)) {
        Gui::show_dialog(DIALOG_ENTER_NAME);
        Game::refresh_high_scores();
    }
    Gui::show_dialog(DIALOG_HIGH_SCORES);
    to_title();
}

} // namespace

namespace Game {

void setup_level(int level)
{
    level_ = level;
    // A distro still held by the player belongs to no list, so the Swarm would not free
    // it: free it here, while the old network that may still name it stands.
    if (dragged_) {
        Swarm::remove(dragged_);
        dragged_ = nullptr;
        Game::internal::mark_targets();
    }
    Swarm::setup();
    Gui::use_cursor(hand_up_);
    Network::setup();
    ticks_ = 0;
    efficiency_ = 0;
}

void start(int level)
{
    enter_state(PLAYING);
    score_ = 0;
    Gui::start_ticker();
    Gui::enable_pause_item(1);
    setup_level(level);
    Sound::play(SOUND_GAME_START);
}

void warp_to_level(int level)
{
    if (state_ == PLAYING) {
        // Only forward, and the score is kept.
        if (level > level_)
            setup_level(level);
        return;
    }
    if (level > 0)
        start(level);
}

void quit()
{
    HighScores::write_at_quit();
    exit(0);
}

void add_high_score(const char *name)
{
    HighScores::insert(name, level_, score_);
    // The next Enter Name, in this run or a later one, offers it again.
    PlayerName::remember(name);
    // Saved at once: a run that ends later without quitting (a crash, a kill, a logout)
    // keeps the score. Quit saves again, adding only what came after.
    HighScores::write();
}

std::string final_line()
{
    char line[64];
    snprintf(line, sizeof line, "Final score: %d at level %d", score_, level_);
    return line;
}

void show_title()
{
    Gui::use_cursor(hand_up_);
    to_title();
    Gui::present_canvas();
}

void refresh_high_scores()
{
    // The table for the back ends that lay it out, then the same lined up with blanks.
    Gui::set_dialog_table(DIALOG_HIGH_SCORES, HighScores::dialog_table());
    char text[HIGH_SCORE_DIALOG_BYTES];
    HighScores::format_dialog(text, sizeof text);
    Gui::set_dialog_text(DIALOG_HIGH_SCORES, text);
}

void tick()
{
    // The dialogs between levels and at the end of a game run the event loop; should the
    // toolkit let the timer fire meanwhile, that tick must not run inside this one.
    if (in_tick)
        return;
    in_tick = true;
    switch (state_) {
    case PLAYING:
        tick_playing();
        break;
    case BETWEEN_LEVELS:
        tick_between_levels();
        break;
    case GAME_OVER:
        tick_game_over();
        break;
    default:
        break;
    }
    Gui::present_canvas();
    if (ticks_ < INT_MAX)
        ticks_++;
    in_tick = false;
}

int level() { return level_; }
int screen_size() { return screen_size_; }

double scale(int n)
{
    if (n <= 0)
        return 1.0;
    double x = screen_size_ / 400.0;
    double result = 1.0;
    for (int i = 0; i < n; i++)
        result *= x;
    return result;
}

void set_screen_size(int size) { screen_size_ = size; }
void set_level(int level) { level_ = level; }
void set_state(int state) { enter_state(state); }

void set_pictures(Image *logo, Image *icon, Image *about)
{
    logo_ = logo;
    icon_ = icon;
    about_ = about;
}

void set_hand_cursors(PointerCursor *hand_up, PointerCursor *hand_down)
{
    hand_up_ = hand_up;
    hand_down_ = hand_down;
}

int state() { return state_; }
int score() { return score_; }
int ticks() { return ticks_; }
int efficiency() { return efficiency_; }
Glimp *dragged() { return dragged_; }

void reset_for_tests()
{
    if (dragged_)
        Swarm::remove(dragged_);
    dragged_ = nullptr;
    enter_state(WAITING);
    score_ = 0;
    level_ = 0;
    ticks_ = 0;
    efficiency_ = 0;
    screen_size_ = DEFAULT_SCREEN_SIZE;
    logo_ = icon_ = about_ = nullptr;
    hand_up_ = hand_down_ = nullptr;
    in_tick = false;
}

void set_score_for_tests(int score) { score_ = score; }

void set_ticks_for_tests(int ticks, int efficiency)
{
    ticks_ = ticks;
    efficiency_ = efficiency;
}

} // namespace Game
