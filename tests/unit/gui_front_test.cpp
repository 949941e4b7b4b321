// The Gui front: registry, overlap test, frame names, pointer rule, ticker, slot table and texts.
#include "gui/gui.h"
#include "gui/gui_testing.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

class GuiFrontTest : public ::testing::Test {
protected:
    void SetUp() override { FakeGui::install_as_active(); }
};

std::vector<std::string> lines_of(const char *text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

TEST(GuiBoxesTest, OverlapIsStrictAndTruncatesHalves)
{
    struct Case {
        int x1, y1, w1, h1, x2, y2, w2, h2, expected;
    } cases[] = {
        {0, 0, 10, 10, 10, 0, 10, 10, 0},      // touching on the right
        {0, 0, 10, 10, 0, 10, 10, 10, 0},      // touching below
        {0, 0, 10, 10, 9, 0, 10, 10, 1},
        {0, 0, 10, 10, -9, -9, 10, 10, 1},
        {0, 0, 10, 10, -10, 0, 10, 10, 0},
        {5, 5, 1, 1, 5, 5, 1, 1, 1},           // two 1 x 1 boxes at the same place
        {5, 5, 0, 0, 5, 5, 0, 0, 0},           // 0 x 0 boxes never overlap
        {0, 0, 4, 4, 3, 0, 1, 1, 0},           // (1 - 4) / 2 is -1, so dx is 2: not less than 2
        {0, 0, 4, 4, 2, 0, 1, 1, 1},
        {0, 0, 400, 400, 100, 100, 10, 10, 1}, // a box inside another
        {0, 0, 400, 400, 401, 0, 32, 32, 0},   // a Glimp just past the right edge
        {0, 0, 400, 400, -34, 0, 32, 32, 0},
        {0, 0, 400, 400, -31, 0, 32, 32, 1},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0},  // no overflow
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.x1 << "," << k.y1 << " " << k.w1 << "x" << k.h1 << " / " << k.x2
                                        << "," << k.y2 << " " << k.w2 << "x" << k.h2);
        EXPECT_EQ(Gui::boxes_overlap(k.x1, k.y1, k.w1, k.h1, k.x2, k.y2, k.w2, k.h2), k.expected);
    }
}

TEST_F(GuiFrontTest, RegistryFindsTheBackEndInAnyCaseAndRefusesUnknownNames)
{
    // The tests' registry: the fake, then the end row.
    EXPECT_STREQ(gui_backends[0].name, "fake");
    EXPECT_EQ(gui_backends[1].name, nullptr);
    for (const char *name : {"fake", "FAKE", "Fake", static_cast<const char *>(nullptr)}) {
        SCOPED_TRACE(name ? name : "(default)");
        Gui::reset_for_tests();
        FakeGui::clear_calls();
        Gui::open(name, nullptr, nullptr);
        EXPECT_EQ(Gui::methods(), FakeGui::methods());
        EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"open"});
    }
    for (const char *name : {"motif", "athena", "gtk", "-v", "fak", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EXIT(Gui::open(name, nullptr, nullptr), ::testing::ExitedWithCode(1),
                    ::testing::Eq(std::string("GUI '") + name + "' not found\n"));
    }
}

TEST_F(GuiFrontTest, FrameNamesUseTwoDigitsAtMostAndRefuseIndex100)
{
    Image *image = nullptr;
    Gui::load_image_frame("spark", 1, 1, &image);
    Gui::load_image_frame("miteA", 12, 1, &image);
    Gui::load_image_frame("spark", 99, 0, &image);
    EXPECT_EQ(FakeGui::calls(),
              (std::vector<std::string>{"load_image spark_1 1", "load_image miteA_12 1", "load_image spark_99 0"}));
    EXPECT_EQ(image, FakeGui::image("spark_99"));
    EXPECT_EXIT(Gui::load_image_frame("spark", 100, 1, &image), ::testing::ExitedWithCode(1),
                ::testing::Eq(std::string("image index too large\n")));
}

TEST_F(GuiFrontTest, TickerRunsAt200msAndRepeatedStartsAddNoTimer)
{
    Gui::start_ticker();
    Gui::start_ticker();
    EXPECT_TRUE(FakeGui::timer_running());
    EXPECT_EQ(FakeGui::timer_starts(), 1);
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"start_timer 200", "start_timer 200"}));
    Gui::stop_ticker();
    EXPECT_FALSE(FakeGui::timer_running());
}

TEST_F(GuiFrontTest, PointerRulePausesARunningGameOnly)
{
    // Leave and come back during play: stopped, then resumed at 200 ms.
    Gui::start_ticker();
    Gui::pointer_left();
    EXPECT_FALSE(FakeGui::timer_running());
    Gui::pointer_entered();
    EXPECT_TRUE(FakeGui::timer_running());
    EXPECT_EQ(FakeGui::calls().back(), "start_timer 200");

    // Two leaves without an enter keep the flag; the next enter resumes.
    Gui::pointer_left();
    Gui::pointer_left();
    Gui::pointer_entered();
    EXPECT_TRUE(FakeGui::timer_running());

    // The flag is cleared by an enter: a later leave and enter with no game stays stopped.
    Gui::stop_ticker();
    Gui::pointer_left();
    Gui::pointer_entered();
    EXPECT_FALSE(FakeGui::timer_running());

    // A dialog takes the pointer while the ticker runs, the game then stops the ticker:
    // the pointer's return starts it again although no game runs.
    Gui::start_ticker();
    Gui::pointer_left();
    Gui::stop_ticker();
    Gui::pointer_entered();
    EXPECT_TRUE(FakeGui::timer_running());
}

// Where the back end found the pointer decides whether a game that starts runs at once: known
// to be away, it waits paused for the pointer; on the field, or unknown (as after a leave,
// which may be a dialog's), it runs.
TEST_F(GuiFrontTest, GameStartingWhileThePointerIsFoundAwayWaitsPausedUntilItComes)
{
    Gui::set_level_in_play(true);
    Gui::pointer_found(0);
    FakeGui::clear_calls();
    Gui::start_ticker();
    EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"show_paused 1"});
    FakeGui::clear_calls();
    Gui::pointer_entered();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"start_timer 200", "show_paused 0"}));

    struct Case {
        const char *name;
        void (*place)();
        std::vector<std::string> on_start;
    } cases[] = {
        {"found on the field", [] { Gui::pointer_found(1); }, {"start_timer 200"}},
        {"left, where to unknown", [] { Gui::pointer_left(); }, {"start_timer 200"}},
        {"found away after a leave", [] { Gui::pointer_left(); Gui::pointer_found(0); }, {"show_paused 1"}},
        {"found away, then entered", [] { Gui::pointer_found(0); Gui::pointer_entered(); }, {"start_timer 200"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Gui::stop_ticker();
        Gui::pointer_entered();
        c.place();
        FakeGui::clear_calls();
        Gui::start_ticker();
        EXPECT_EQ(FakeGui::calls(), c.on_start);
    }

    // Found away while a game runs, it pauses as a leave would; found back, it resumes.
    Gui::pointer_found(1);
    ASSERT_TRUE(FakeGui::timer_running());
    FakeGui::clear_calls();
    Gui::pointer_found(0);
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"stop_timer", "show_paused 1"}));
    FakeGui::clear_calls();
    Gui::pointer_found(1);
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"start_timer 200", "show_paused 0"}));
}

// The sound player reports trouble from its own thread; the Sound entry follows on the game's
// whenever the back end reports something or a menu comes up: unchecked, unusable, saying why,
// and as the player chose once sound can be heard again. A toggle the entry let through
// meanwhile is not taken.
TEST_F(GuiFrontTest, SoundEntrySaysWhySoundCannotBeHeardAndComesBackWhenItCan)
{
    static std::vector<int> chosen;
    chosen.clear();
    static GameCalls calls{};
    calls.tick = [] {};
    calls.choose_sound = [](int on) { chosen.push_back(on); };
    Gui::set_game(&calls);
    Gui::check_sound_item(1);
    ASSERT_EQ(FakeGui::calls(), std::vector<std::string>{"check_sound_item 1"});

    Sound::report_trouble("no audio device");
    FakeGui::clear_calls();
    Gui::menu_shown();
    Gui::menu_shown();   // told once
    Gui::pointer_left();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"check_sound_item 0 (No sound: no audio device)",
                                                          "stop_timer"}));
    FakeGui::clear_calls();
    Gui::sound_toggled(0);
    EXPECT_TRUE(chosen.empty()) << "a choice taken without sound";
    EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"check_sound_item 0 (No sound: no audio device)"});

    Sound::report_trouble(nullptr);
    FakeGui::clear_calls();
    Gui::timer_expired();
    EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"check_sound_item 1"});
    Gui::sound_toggled(0);
    EXPECT_EQ(chosen, std::vector<int>{0});
}

TEST_F(GuiFrontTest, FakeTableFillsAllTwentyFourSlots)
{
    static_assert(sizeof(GuiMethods) == 24 * sizeof(void (*)()), "24 slots, nothing else");
    const GuiMethods *m = FakeGui::methods();
    const void *slots[] = {
        reinterpret_cast<const void *>(m->set_cursor),       reinterpret_cast<const void *>(m->load_cursor),
        reinterpret_cast<const void *>(m->load_image),       reinterpret_cast<const void *>(m->set_icon),
        reinterpret_cast<const void *>(m->image_width),      reinterpret_cast<const void *>(m->image_height),
        reinterpret_cast<const void *>(m->prepare_canvas),   reinterpret_cast<const void *>(m->clear_canvas),
        reinterpret_cast<const void *>(m->present_canvas),   reinterpret_cast<const void *>(m->draw_image),
        reinterpret_cast<const void *>(m->draw_line),        reinterpret_cast<const void *>(m->draw_text),
        reinterpret_cast<const void *>(m->start_timer),      reinterpret_cast<const void *>(m->stop_timer),
        reinterpret_cast<const void *>(m->timer_running),    reinterpret_cast<const void *>(m->show_dialog),
        reinterpret_cast<const void *>(m->run_event_loop),   reinterpret_cast<const void *>(m->open),
        reinterpret_cast<const void *>(m->build_main_window), reinterpret_cast<const void *>(m->build_dialogs),
        reinterpret_cast<const void *>(m->enable_pause_item), reinterpret_cast<const void *>(m->set_dialog_text),
        reinterpret_cast<const void *>(m->check_sound_item),
        reinterpret_cast<const void *>(m->show_paused),
    };
    for (size_t i = 0; i < sizeof slots / sizeof slots[0]; i++) {
        SCOPED_TRACE(i);
        EXPECT_NE(slots[i], nullptr);
    }
}

TEST_F(GuiFrontTest, FrontForwardsEachOperationToItsSlot)
{
    Image *logo = FakeGui::image("logo");
    Gui::build_main_window(500);
    Gui::prepare_canvas();
    Gui::build_dialogs(logo, FakeGui::image("icon"), FakeGui::image("about"));
    Gui::use_icon(logo);
    Gui::clear_canvas();
    Gui::blit(logo, 3, -4);
    Gui::line(1, 2, 3, 4);
    Gui::text("Hi", 5, 495);
    Gui::present_canvas();
    Gui::enable_pause_item(0);
    Gui::check_sound_item(1);
    Gui::show_dialog(DIALOG_QUIT);
    Gui::run_event_loop();
    EXPECT_EQ(FakeGui::calls(),
              (std::vector<std::string>{"build_main_window 500", "prepare_canvas", "build_dialogs logo icon about",
                                        "set_icon logo", "clear_canvas", "draw_image logo 3 -4",
                                        "draw_line 1 2 3 4", "draw_text Hi 5 495", "present_canvas",
                                        "enable_pause_item 0", "check_sound_item 1", "show_dialog 4",
                                        "run_event_loop"}));
    EXPECT_EQ(Gui::image_width(logo), 320);
    EXPECT_EQ(Gui::image_height(logo), 160);
}

TEST_F(GuiFrontTest, SetDialogTextCopiesAndLeavesTheStoredTextsAlone)
{
    Gui::build_dialogs(FakeGui::image("logo"), FakeGui::image("icon"), FakeGui::image("about"));
    char buffer[32];
    strcpy(buffer, "After Level 1:");
    Gui::set_dialog_text(DIALOG_SCORE, buffer);
    strcpy(buffer, "overwritten");
    EXPECT_EQ(FakeGui::dialog_text(DIALOG_SCORE), "After Level 1:");
    EXPECT_EQ(Gui::dialog_text(DIALOG_SCORE), nullptr);
    Gui::set_dialog_text(DIALOG_QUIT, "Something else");
    EXPECT_STREQ(Gui::dialog_text(DIALOG_QUIT), "Quit Game?");
}

TEST_F(GuiFrontTest, MenuLabelsAndShortTextsAreExact)
{
    Gui::build_main_window(400);
    Gui::build_dialogs(FakeGui::image("logo"), FakeGui::image("icon"), FakeGui::image("about"));
    const char *labels[DIALOG_COUNT] = {"New Game",  "Pause Game",          "Warp to level...", "View High Scores",
                                        "Quit Game", "Story of Glimpwatch", "Rules",            "About Glimpwatch",
                                        "Score",     "End Game",            "Enter Name"};
    for (int id = 0; id < DIALOG_COUNT; id++) {
        SCOPED_TRACE(id);
        EXPECT_STREQ(Gui::menu_label(id), labels[id]);
    }
    EXPECT_STREQ(Gui::dialog_text(DIALOG_NEW_GAME), "New Game?");
    EXPECT_STREQ(Gui::dialog_text(DIALOG_PAUSE), "Game paused.  Press Continue to continue.");
    EXPECT_STREQ(Gui::dialog_text(DIALOG_WARP), "Warp to level?");
    EXPECT_EQ(Gui::dialog_text(DIALOG_HIGH_SCORES), nullptr);
    EXPECT_STREQ(Gui::dialog_text(DIALOG_QUIT), "Quit Game?");
    EXPECT_EQ(Gui::dialog_text(DIALOG_ABOUT), nullptr);
    EXPECT_EQ(Gui::dialog_text(DIALOG_SCORE), nullptr);
    EXPECT_STREQ(Gui::dialog_text(DIALOG_END_GAME),
                 "Module Glimpwatch has caused a segmentation fault\nat memory address 097E:F1A0.  Core "
                 "dumped.\n\nWe apologize for the inconvenience.");
    EXPECT_STREQ(Gui::dialog_text(DIALOG_ENTER_NAME), "You earned a high score.\nEnter your name:");
}

TEST_F(GuiFrontTest, StoryAndRulesKeepTheirLayout)
{
    Gui::build_dialogs(FakeGui::image("logo"), FakeGui::image("icon"), FakeGui::image("about"));
    std::vector<std::string> story = lines_of(Gui::dialog_text(DIALOG_STORY));
    std::vector<std::string> rules = lines_of(Gui::dialog_text(DIALOG_RULES));
    ASSERT_EQ(story.size(), 18u);
    ASSERT_EQ(rules.size(), 21u);
    for (const std::vector<std::string> *text : {&story, &rules})
        for (const std::string &line : *text) {
            SCOPED_TRACE(line);
            EXPECT_LE(line.size(), 47u);
        }

    EXPECT_EQ(story[0], "The Story:");
    for (int empty : {1, 14})
        EXPECT_EQ(story[empty], "");
    for (int i = 2; i < 14; i++)
        EXPECT_NE(story[i], "");
    EXPECT_EQ(story[15].rfind("As System Administrator/Exterminator,", 0), 0u);

    EXPECT_EQ(rules[0], "The Rules:");
    for (int empty : {1, 10, 18})
        EXPECT_EQ(rules[empty], "");
    const char *numbered[] = {
        "I.   Whack the Glimps (click)",
        "II.  Restart the computer (click)",
        "III. Pick up stolen Distros & return (drag)",
        "     them to their respective computers",
        "IV.  Drag the bucket to extinguish sparks",
        "V.   Scoring is based on total uptime,",
        "     with bonuses for killing Glimps.",
    };
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(rules[11 + i], numbered[i]);
    // The texts end with their last line, not with a newline.
    const char *s = Gui::dialog_text(DIALOG_STORY);
    const char *r = Gui::dialog_text(DIALOG_RULES);
    EXPECT_NE(s[strlen(s) - 1], '\n');
    EXPECT_NE(r[strlen(r) - 1], '\n');
}

} // namespace

// The High Scores dialog's message is a table of the layout's columns (names to the left,
// numbers to the right); a table of other columns would leave a back end cells it has no
// column for, and is not kept: the message then shows as its text.
TEST_F(GuiFrontTest, DialogTableIsKeptOnlyWithTheColumnsOfItsLayout)
{
    const DialogLayout &layout = Gui::dialog_layout(DIALOG_HIGH_SCORES);
    ASSERT_EQ(layout.table_columns, 3);
    EXPECT_EQ(layout.column_align[0], ALIGN_LEFT);
    EXPECT_EQ(layout.column_align[1], ALIGN_RIGHT);
    EXPECT_EQ(layout.column_align[2], ALIGN_RIGHT);
    TextTable scores{"High Scores:", 3, {"Name", "Level", "Score", "ada", "7", "100"}, ""};
    Gui::set_dialog_table(DIALOG_HIGH_SCORES, scores);
    EXPECT_EQ(Gui::dialog_table(DIALOG_HIGH_SCORES).rows(), 2);
    EXPECT_EQ(Gui::dialog_table(DIALOG_HIGH_SCORES).cell(1, 0), "ada");
    TextTable two{"", 2, {"a", "b"}, ""};
    Gui::set_dialog_table(DIALOG_HIGH_SCORES, two);
    EXPECT_EQ(Gui::dialog_table(DIALOG_HIGH_SCORES).rows(), 0);
    Gui::set_dialog_table(DIALOG_QUIT, scores);
    EXPECT_EQ(Gui::dialog_table(DIALOG_QUIT).rows(), 0) << "the Quit dialog has a plain message";
}
