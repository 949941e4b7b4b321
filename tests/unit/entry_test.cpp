// Start-up: the whole sequence in process against the fake back end, its order, the first
// ticks of a game started from the command line, and the ways the process ends.
#include "game/entry.h"
#include "game/game.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"
#include "tests/unit/args.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        score_path = std::string(TEST_BINARY_DIR) + "/entry_scores_" + std::to_string(getpid());
        ::remove(score_path.c_str());
    }
    // The quit in the child saves under a lock file beside the table: remove both.
    void TearDown() override
    {
        ::remove(score_path.c_str());
        ::remove((score_path + ".lock").c_str());
    }

    // Runs the program in the dying child as a fresh process would, with the driver as its
    // event loop. What the driver writes to standard error is what the parent checks.
    void run(const std::vector<std::string> &args, std::function<void()> driver)
    {
        TestWorld::reset_all();
        HighScores::set_path_for_tests(score_path.c_str());
        Sound::reset_for_tests();
        // A player's data directory of the test's own, with nothing remembered in it.
        setenv("XDG_DATA_HOME", (score_path + "_data").c_str(), 1);
        FakeGui::on_event_loop(std::move(driver));
        Args a(args);
        run_glimpwatch(a.argc(), a.argv.data());
    }

    static void print(const std::string &line) { fprintf(stderr, "%s\n", line.c_str()); }

    static void print_calls()
    {
        for (const std::string &c : FakeGui::calls())
            print(c);
    }

    // The calls of the start-up sequence up to the end of the play-field pictures, and the
    // Sound entry shown checked (no earlier run turned sound off: see run()).
    static std::string startup(int size, int logo_x, int logo_y)
    {
        std::vector<std::string> lines = {
            "open", "build_main_window " + std::to_string(size), "prepare_canvas", "load_image logo 0",
            "load_image icon 0", "load_image about 0", "clear_canvas",
            "draw_image logo " + std::to_string(logo_x) + " " + std::to_string(logo_y), "present_canvas",
            "build_dialogs logo icon about", "set_icon icon", "set_dialog_text 3", "load_cursor hand_up 0",
            "load_cursor hand_down 0", "set_cursor hand_up"};
        for (int i = 0; i < 3; i++) {
            lines.push_back("load_image miteL_" + std::to_string(i) + " 1");
            lines.push_back("load_image miteR_" + std::to_string(i) + " 1");
        }
        for (int i = 0; i < 5; i++)
            lines.push_back("load_image miteD_" + std::to_string(i) + " 1");
        for (int i = 0; i < 13; i++)
            lines.push_back("load_image miteA_" + std::to_string(i) + " 1");
        lines.push_back("load_image initfail 1");
        for (const char *d : {"arch", "bsd", "centos", "debian", "gentoo", "mandriva", "openbsd", "slackware", "suse",
                              "ubuntu"}) {
            lines.push_back(std::string("load_image ") + d + " 1");
            lines.push_back(std::string("load_cursor ") + d + " 1");
        }
        for (const char *c : {"toaster", "maccpu", "nextcpu", "sgicpu", "suncpu", "os2cpu", "bsdcpu"})
            lines.push_back(std::string("load_image ") + c + " 1");
        lines.insert(lines.end(), {"load_image bucket 1", "load_cursor bucket 1", "load_image spark_0 1",
                                   "load_image spark_1 1", "check_sound_item 1"});
        std::string text;
        for (const std::string &l : lines)
            text += l + "\n";
        return text;
    }

    std::string score_path;
};

TEST_F(EntryTest, StartUpWithoutALevelWaitsOnTheLogo)
{
    auto driver = [] {
        print_calls();
        char expected_scores[512];
        HighScores::format_dialog(expected_scores, sizeof expected_scores);
        print(std::string("state ") + std::to_string(Game::state()) + " timer " +
              std::to_string(FakeGui::timer_running()) + " level " + std::to_string(Game::level()));
        print(std::string("scores ") + HighScores::entry(9).name +
              (FakeGui::dialog_text(DIALOG_HIGH_SCORES) == expected_scores ? " shown" : " not shown"));
        // With no game, a tick only presents the logo.
        FakeGui::clear_calls();
        Game::tick();
        print_calls();
    };
    EXPECT_EXIT(run({}, driver), ::testing::ExitedWithCode(0),
                ::testing::Eq(startup(400, 40, 120) + "enable_pause_item 0\nrun_event_loop\n" +
                              "state 4 timer 0 level 0\nscores Anonymous shown\npresent_canvas\n"));
}

TEST_F(EntryTest, StartUpWithALevelPlaysAtOnce)
{
    auto driver = [] {
        print_calls();
        srand(3);
        FakeGui::clear_calls();
        for (int i = 0; i < 3; i++)
            Game::tick();
        // Level 2 on a 500-pixel field: 21 Glimps (14 x 1.5625) and 15 computers.
        int good_lines = 0;
        for (const std::string &c : FakeGui::calls_starting("draw_text")) {
            int on_field = -1, reserve = -1, end = 0;
            sscanf(c.c_str(), "draw_text Glimp:%d/%d  System:15/0/0  Level:2  Score:0 5 495%n", &on_field, &reserve,
                   &end);
            char exact[128];
            snprintf(exact, sizeof exact, "draw_text Glimp:%d/%d  System:15/0/0  Level:2  Score:0 5 495", on_field,
                     reserve);
            if (c == exact && end > 0 && on_field > 0 && on_field + reserve == 21)
                good_lines++;
            else
                print("unexpected " + c);
        }
        print("status lines " + std::to_string(good_lines));
        print("state " + std::to_string(Game::state()) + " level " + std::to_string(Game::level()) + " ticks " +
              std::to_string(Game::ticks()) + " timer " + std::to_string(FakeGui::timer_running()));
    };
    EXPECT_EXIT(run({"--size", "500", "-L2"}, driver), ::testing::ExitedWithCode(0),
                ::testing::Eq(startup(500, 90, 170) +
                              "start_timer 200\nenable_pause_item 1\nset_cursor hand_up\nrun_event_loop\n"
                              "status lines 3\nstate 1 level 2 ticks 3 timer 1\n"));
}

TEST_F(EntryTest, GuiNamesAreLookedUpInAnyCase)
{
    EXPECT_EXIT(run({"--gui", "FaKe"}, [] { print("running"); }), ::testing::ExitedWithCode(0),
                ::testing::Eq(std::string("running\n")));
    EXPECT_EXIT(run({"--gui", "motif"}, [] {}), ::testing::ExitedWithCode(1),
                ::testing::Eq(std::string("GUI 'motif' not found\n")));
    EXPECT_EXIT(run({"--gui", "-v"}, [] {}), ::testing::ExitedWithCode(1),
                ::testing::Eq(std::string("GUI '-v' not found\n")));
}

TEST_F(EntryTest, QuitFromTheLoopSavesWhatIsNewAndExitsZero)
{
    // Nothing new: no file is made.
    EXPECT_EXIT(run({}, [] { Game::quit(); }), ::testing::ExitedWithCode(0), "");
    EXPECT_NE(access(score_path.c_str(), F_OK), 0);

    EXPECT_EXIT(run({},
                    [] {
                        HighScores::insert("Quitter", 1, 5);
                        Game::quit();
                    }),
                ::testing::ExitedWithCode(0), "");
    std::ifstream in(score_path);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        EXPECT_EQ(line, lines == 0 ? "Quitter              1 5" : "Anonymous            0 0");
        lines++;
    }
    EXPECT_EQ(lines, 10);
}

TEST_F(EntryTest, OptionErrorsEndTheRunBeforeTheWindowOpens)
{
    EXPECT_EXIT(run({"--size", "399"}, [] {}), ::testing::ExitedWithCode(1),
                ::testing::Eq(std::string("screensize must be larger than '400'\n")));
}

} // namespace
