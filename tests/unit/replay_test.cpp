// Games recorded and played again: through the game's calls as the Gui front makes them,
// against the recording fake back end.
#include "field/bucket.h"
#include "field/glimp.h"
#include "field/swarm.h"
#include "game/entry.h"
#include "game/game.h"
#include "game/recorder.h"
#include "game/replay.h"
#include "game/session_testing.h"
#include "game/watch.h"
#include "recording/recordings.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"
#include "tests/fake_sound.h"
#include "tests/scoped_env.h"
#include "tests/unit/game_test_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class ReplayTest : public GameFixture {
protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        ASSERT_EQ(system(("rm -rf '" + Recordings::dir() + "'").c_str()), 0);
    }

    // Ticks as the timer would, while it runs.
    static void tick() { Gui::timer_expired(); }

    // A player that clicks a Glimp now and then, carries the bucket about, and gives up
    // after `keen` ticks; the process's shared generator is drawn from and reseeded in
    // between, as libraries do. Plays from New Game until the game is lost.
    static void play_a_game(unsigned seed, int keen)
    {
        Recorder::set_next_seed_for_tests(seed);
        Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
        for (int t = 0; Game::state() != GAME_OVER && t < 20000; t++) {
            srand(static_cast<unsigned>(t));
            rand();
            if (t < keen && t % 3 == 0) {
                for (Glimp *g = Swarm::on_field_head(); g; g = g->next)
                    if (g->state != DYING) {
                        Gui::button_pressed(g->x + Glimp::width() / 2, g->y + Glimp::height() / 2);
                        Gui::button_released(g->x + Glimp::width() / 2, g->y + Glimp::height() / 2);
                        break;
                    }
            } else if (t < keen && t % 17 == 1) {
                Gui::button_pressed(5, 5);
                Gui::button_released(200, 150 + t % 100);
            }
            tick();
        }
    }

    static Recording read(const std::string &path)
    {
        Recording r;
        std::string reason;
        EXPECT_TRUE(Recordings::read(path.c_str(), r, &reason)) << path << ": " << reason;
        return r;
    }

    static std::string file_text(const std::string &path)
    {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<int> shown; // dialogs shown, in order
    void answer_dialogs(const char *name)
    {
        std::string kept = name;
        FakeGui::on_dialog([this, kept](int id) {
            shown.push_back(id);
            if (id == DIALOG_ENTER_NAME)
                Gui::dialog_confirmed(id, kept.c_str());
        });
    }
};

// The replay of a game draws exactly the frames the game drew and ends where it ended,
// whatever else drew from the shared generator meanwhile.
TEST_F(ReplayTest, RecordedGameReplaysFrameForFrameToTheResultItsEndGameDialogShowed)
{
    answer_dialogs("Robot");
    FakeGui::clear_calls();
    play_a_game(2024, 400);
    std::vector<std::string> played = FakeGui::calls();
    std::string dialog = FakeGui::dialog_text(DIALOG_END_GAME);
    tick(); // the End Game dialogs
    ASSERT_EQ(Game::state(), WAITING);
    ASSERT_FALSE(Recorder::last_saved().empty());
    Recording r = read(Recorder::last_saved());
    EXPECT_EQ(r.ending, ENDED_OVER);
    EXPECT_EQ(r.seed, 2024u);
    EXPECT_EQ(r.name, "Robot");
    EXPECT_GT(r.score, 0);
    EXPECT_GT(r.events.size(), 20u);

    srand(99);
    FakeGui::clear_calls();
    Replay::begin(r);
    Replay::Step step = Replay::REPLAYING;
    while (step == Replay::REPLAYING)
        step = Replay::step();
    EXPECT_EQ(step, Replay::FINISHED) << Replay::astray_reason();
    EXPECT_TRUE(FakeGui::calls() == played) << "the replay drew other frames than the game";

    std::string line, reason;
    ASSERT_TRUE(Replay::run(r, &line, &reason)) << reason;
    EXPECT_EQ(dialog.substr(dialog.rfind('\n') + 1), line);
    EXPECT_EQ(line, "Final score: " + std::to_string(r.score) + " at level " + std::to_string(r.final_level));

    // A result that is not the recorded one is never passed off as it.
    r.score++;
    EXPECT_FALSE(Replay::run(r, &line, &reason));
    EXPECT_EQ(reason.rfind("does not replay as recorded: it ends with Final score: ", 0), 0u) << reason;
}

TEST_F(ReplayTest, InputsAreRecordedWithTheTickTheyCameInAndANewGameSavesTheOldOne)
{
    Recorder::set_next_seed_for_tests(77);
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    tick();
    tick();
    Gui::button_pressed(10, 20);
    Gui::button_released(-30, 440);
    Gui::pointer_left();
    Gui::pointer_entered();
    tick();
    Gui::menu_entry_chosen(DIALOG_PAUSE);
    Gui::dialog_confirmed(DIALOG_WARP, "4");
    Gui::dialog_confirmed(DIALOG_WARP, "2"); // backwards: nothing, but what the player did
    tick();
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    EXPECT_TRUE(Recorder::recording());
    EXPECT_EQ(file_text(Recorder::last_saved()),
              "glimpwatch-recording 1\nseed 77\nsize 400\nlevel 1\nresult left 4 0 4\n"
              "2 press 10 20\n2 release -30 440\n2 leave\n2 enter\n3 leave\n3 pause\n3 warp 4\n3 warp 2\nend\n");
}

// The bucket held when a game is lost stays held into the next game, which does not draw it
// until it is let go of: the next game's replay starts so too.
TEST_F(ReplayTest, GameStartedWithTheBucketStillHeldReplaysTheSameFrames)
{
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    tick();
    Gui::button_pressed(5, 5);
    ASSERT_TRUE(Bucket::grabbed());
    FakeGui::clear_calls();
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    for (int t = 0; t < 20; t++) {
        if (t == 12)
            Gui::button_released(300, 300);
        tick();
    }
    std::vector<std::string> played = FakeGui::calls();
    EXPECT_EQ(std::count(played.begin(), played.end(), "draw_image bucket 0 0"), 8) << "drawn once let go of";
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    Recording r = read(Recorder::last_saved());
    EXPECT_TRUE(r.bucket_held);

    Bucket::set_grabbed(0); // a fresh process
    FakeGui::clear_calls();
    Replay::begin(r);
    while (Replay::step() == Replay::REPLAYING) {
    }
    EXPECT_TRUE(FakeGui::calls() == played) << "the replay drew the bucket the game did not";
}

TEST_F(ReplayTest, QuitAndClosingTheWindowSaveTheGameInPlay)
{
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    tick();
    EXPECT_EXIT(Gui::close_requested(), ::testing::ExitedWithCode(0), "");
    std::vector<RecordingFile> files = Recordings::list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].header.ending, ENDED_QUIT);
    EXPECT_EQ(files[0].header.ticks, 1);
}

TEST_F(ReplayTest, UnwritableDirectoryIsSaidOnceAndTheGamesGoOn)
{
    std::string blocked = score_path + "_not_a_dir";
    std::ofstream(blocked) << "a file";
    ScopedEnv env("XDG_DATA_HOME", blocked.c_str());
    testing::internal::CaptureStderr();
    for (int game = 0; game < 3; game++) {
        Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
        tick();
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Game::state(), PLAYING);
    EXPECT_EQ(err.rfind("glimpwatch: games are not recorded: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    ::remove(blocked.c_str());
}

// The player's own entry of the table can be watched: the game as it was, its Score and End
// Game dialogs, but no name asked for and the table left alone.
TEST_F(ReplayTest, OwnEntryOfTheTableIsWatchedWithoutTouchingTheTable)
{
    answer_dialogs("Robot");
    play_a_game(11, 300);
    tick();
    ASSERT_EQ(Gui::dialog_choice_count(DIALOG_HIGH_SCORES), 1);
    EXPECT_STREQ(Gui::dialog_choice(DIALOG_HIGH_SCORES, 0), "#1");
    EXPECT_STREQ(Gui::dialog_choices_caption(DIALOG_HIGH_SCORES), "Watch again:");
    std::string table = file_text(score_path);
    ASSERT_FALSE(table.empty());

    shown.clear();
    Gui::dialog_chosen(DIALOG_HIGH_SCORES, 0);
    ASSERT_TRUE(Watch::active());
    FakeGui::clear_calls();
    Gui::pointer_left(); // a game watched goes on wherever the pointer is
    EXPECT_TRUE(FakeGui::timer_running());
    EXPECT_TRUE(FakeGui::calls().empty());
    for (int t = 0; Watch::active() && t < 20000; t++)
        tick();
    EXPECT_FALSE(Watch::active());
    EXPECT_EQ(Game::state(), WAITING);
    EXPECT_FALSE(FakeGui::timer_running());
    for (int id : shown)
        EXPECT_TRUE(id == DIALOG_SCORE || id == DIALOG_END_GAME) << "dialog " << id << " came up";
    EXPECT_EQ(shown.back(), DIALOG_END_GAME);
    EXPECT_EQ(file_text(score_path), table);
    EXPECT_EQ(Recordings::list().size(), 1u) << "watching records nothing";
}

TEST_F(ReplayTest, SpacePausesPlusAndMinusChangeTheSpeedAndEscapeEndsAWatchedGame)
{
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    for (int t = 0; t < 30; t++)
        tick();
    Recorder::leave();
    Watch::begin(read(Recorder::last_saved()), Watch::FROM_TABLE, "test");
    struct Case {
        int key;
        bool taken;
        std::vector<std::string> calls;
    } cases[] = {
        {KEY_PLUS, true, {"stop_timer", "start_timer 100"}},
        {KEY_PLUS, true, {"stop_timer", "start_timer 50"}},
        {KEY_PLUS, true, {"stop_timer", "start_timer 25"}},
        {KEY_PLUS, true, {"stop_timer", "start_timer 25"}}, // 8x is the fastest
        {KEY_MINUS, true, {"stop_timer", "start_timer 50"}},
        {KEY_SPACE, true, {"stop_timer"}},
        {KEY_MINUS, true, {}}, // paused: the next start takes the new speed
        {KEY_SPACE, true, {"start_timer 100"}},
        {KEY_OTHER, false, {}}, // a menu shortcut, say
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.key);
        FakeGui::clear_calls();
        EXPECT_EQ(Gui::key_pressed(k.key), k.taken);
        EXPECT_EQ(FakeGui::calls(), k.calls);
    }
    FakeGui::clear_calls();
    EXPECT_TRUE(Gui::key_pressed(KEY_ESCAPE));
    EXPECT_FALSE(Watch::active());
    EXPECT_EQ(Game::state(), WAITING);
    EXPECT_EQ(FakeGui::calls_starting("draw_image logo").size(), 1u);
    EXPECT_FALSE(Gui::key_pressed(KEY_ESCAPE)) << "keys go to the menus again";
}

// On the title screen, left alone, the player's best game plays silently; any key or click
// brings the title back at once.
TEST_F(ReplayTest, IdleTitleScreenPlaysTheBestGameQuietlyUntilAnyInput)
{
    answer_dialogs("Robot");
    play_a_game(5, 60);
    tick();
    FakeSound::install();
    Sound::start(false);
    shown.clear();
    std::vector<std::function<void()>> inputs = {
        [] { Gui::button_pressed(100, 100); },
        [] { EXPECT_TRUE(Gui::key_pressed(KEY_OTHER)); },
        [] { Gui::pointer_entered(); },
    };
    for (auto &input : inputs) {
        Gui::player_idle();
        ASSERT_TRUE(Watch::active());
        EXPECT_EQ(Watch::mode(), Watch::ATTRACT);
        for (int t = 0; t < 10; t++)
            tick();
        EXPECT_EQ(Game::state(), PLAYING);
        input();
        EXPECT_FALSE(Watch::active());
        EXPECT_EQ(Game::state(), WAITING);
        EXPECT_FALSE(FakeGui::timer_running());
    }
    // Played to its end it shows no dialog and comes back to the title.
    Gui::player_idle();
    for (int t = 0; Watch::active() && t < 20000; t++)
        tick();
    EXPECT_EQ(Game::state(), WAITING);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(FakeSound::played().empty()) << "the title screen's game is heard";
    // Not while a dialog is up, nor while a game is played.
    FakeGui::on_dialog([](int) { Gui::player_idle(); });
    Gui::menu_entry_chosen(DIALOG_RULES);
    EXPECT_FALSE(Watch::active());
    Gui::dialog_confirmed(DIALOG_NEW_GAME, nullptr);
    Gui::player_idle();
    EXPECT_FALSE(Watch::active());
}

TEST_F(ReplayTest, CheckReplayPrintsTheFinalLineOrOneLineNamingTheFileAndTheReason)
{
    play_a_game(8, 100);
    std::string good = Recorder::last_saved();
    std::string bad = score_path + "_bad.replay";
    std::ofstream(bad) << "glimpwatch-recording 7\n";
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    ASSERT_EQ(chdir(TEST_SOURCE_DIR), 0); // the pictures' sizes come from ./pixmaps
    struct Case {
        std::string path;
        int status;
        std::string out, err;
    } cases[] = {
        {good, 0, Game::final_line() + "\n", ""},
        {bad, 1, "", bad + ": recorded by another version of Glimpwatch (recording version 7; this one plays version 1)\n"},
        {bad + "-missing", 1, "", bad + "-missing: No such file or directory\n"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.path);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = check_replay(k.path.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), k.out);
        EXPECT_EQ(err, k.err);
        EXPECT_EQ(status, k.status);
    }
    ASSERT_EQ(chdir(here), 0);
    ::remove(bad.c_str());
}

} // namespace
