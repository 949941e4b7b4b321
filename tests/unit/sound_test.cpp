// Sound: which events of the game are heard, that the game plays exactly the same with sound
// on or off, and how the choice is remembered between runs.
#include "base/player_data.h"
#include "sound/sound.h"
#include "tests/fake_sound.h"
#include "tests/scoped_env.h"
#include "tests/unit/game_test_fixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace {

class SoundTest : public GameFixture {
protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        // The player's data directory of this test alone.
        data_home = std::string(TEST_BINARY_DIR) + "/sound_data_" + std::to_string(getpid());
        std::filesystem::remove_all(data_home);
        data_home_env.reset(new ScopedEnv("XDG_DATA_HOME", data_home.c_str()));
        FakeSound::install();
    }

    void TearDown() override
    {
        Sound::reset_for_tests();
        std::filesystem::remove_all(data_home);
        data_home_env.reset();
        GameFixture::TearDown();
    }

    // The sound setting as the player's data holds it; "(none)" when there is no file.
    std::string remembered() const
    {
        std::ifstream in(data_home + "/glimpwatch/sound");
        if (!in)
            return "(none)";
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A field level with a spark on the wire from computer 0 (infected) to computer 1.
    static void sparking_pair()
    {
        network({computer(1, INITFAIL, 100, 100), computer(1, 1, 160, 100)});
        Network::add_wire_for_tests(0, 1);
        Network::update();
    }

    // Arch, lying loose, is dragged onto an infected computer of the given kind.
    static void drag_distro_onto_infected(int kind)
    {
        network({computer(kind, INITFAIL, 100, 100)});
        playing(1);
        glimp(LOOSE, 300, 300, 1);
        Game::button_press(310, 310);
        Game::button_release(110, 110);
    }

    std::string data_home;
    std::unique_ptr<ScopedEnv> data_home_env;
};

struct Scenario {
    const char *what;
    std::function<void()> act;
    std::vector<std::string> heard;
};

// Every event the player hears, and near misses that must stay silent. Each scenario is run
// with sound on and again with sound off: the effects differ, nothing else does.
TEST_F(SoundTest, EachEventIsHeardOnceAndMutingSilencesAllWithoutChangingThePlay)
{
    const Scenario scenarios[] = {
        {"a press kills one Glimp",
         [] {
             playing(1);
             glimp(WALKING_IN, 100, 100);
             Game::button_press(110, 110);
             Game::button_release(110, 110);
         },
         {"whack"}},
        {"a press kills three Glimps",
         [] {
             playing(1);
             for (int i = 0; i < 3; i++)
                 glimp(i == 1 ? WALKING_OUT : WALKING_IN, 100 + i, 100);
             Game::button_press(110, 110);
         },
         {"whack_many"}},
        {"a press that kills nothing",
         [] {
             playing(1);
             glimp(WALKING_IN, 100, 100);
             Game::button_press(300, 300);
         },
         {}},
        {"a distro put back on an infected computer",
         [] { drag_distro_onto_infected(1); },
         {"distro_back"}},
        {"a distro dropped where no computer takes it",
         [] { drag_distro_onto_infected(2); },
         {}},
        {"a spark doused",
         [] {
             sparking_pair();
             playing(1);
             Game::button_press(5, 5);   // the bucket
             Game::button_release(Network::wire(0).spark_x, Network::wire(0).spark_y);
         },
         {"douse"}},
        {"two sparks doused by one release make one splash",
         [] {
             network({computer(1, INITFAIL, 100, 100), computer(1, 1, 160, 100), computer(1, 1, 100, 160)});
             Network::add_wire_for_tests(0, 1);
             Network::add_wire_for_tests(0, 2);
             Network::update();
             playing(1);
             Game::button_release(Network::wire(0).spark_x, Network::wire(0).spark_y);
         },
         {"douse"}},
        {"the bucket let go where no spark is",
         [] {
             sparking_pair();
             playing(1);
             Game::button_press(5, 5);
             Game::button_release(300, 300);
         },
         {}},
        {"a computer infected by a Glimp",
         [] {
             network({computer(1, 1, 100, 100)});
             Glimp *g = TestWorld::glimp_at_computer(0);
             for (int i = 0; i < 13 && Network::computer(0).distro != INITFAIL; i++)
                 Glimp::update(g);
         },
         {"infected"}},
        {"a computer infected by a spark",
         [] {
             sparking_pair();
             for (int i = 0; i < 100 && Network::computer(1).distro != INITFAIL; i++)
                 Network::update();
         },
         {"infected"}},
        {"a spark reaching a computer a Glimp works at",
         [] {
             sparking_pair();
             Network::computer(1).busy = 1;
             for (int i = 0; i < 100 && Network::wire(0).active; i++)
                 Network::update();
         },
         {}},
        {"a level won",
         [] {
             network_of(5, 0, 0);
             playing(1);
             Game::set_ticks_for_tests(10, 0);
             Game::tick();
         },
         {"level_won"}},
        {"a game lost",
         [] {
             network_of(1, 0, 5);
             Swarm::add_to_counter(RESERVE, 3);
             playing(1);
             Game::tick();
         },
         {"game_lost"}},
        {"a level won and the game lost in the same tick",
         [] {
             network_of(1, 0, 5);
             playing(1);
             Game::set_ticks_for_tests(10, 0);
             Game::tick();
         },
         {"game_lost"}},
        {"a game started", [] { Game::start(1); }, {"game_start"}},
        {"a warp ahead during play", [] {
             Game::start(1);
             FakeSound::calls().clear();
             Game::warp_to_level(3);
         },
         {}},
    };
    for (const Scenario &s : scenarios) {
        SCOPED_TRACE(s.what);
        std::vector<std::string> gui_calls[2];
        std::string outcome[2];
        for (int on = 1; on >= 0; on--) {
            TearDown();
            SetUp();
            Sound::choose(on);
            FakeSound::calls().clear();
            FakeGui::clear_calls();
            srand(11);
            s.act();
            EXPECT_EQ(FakeSound::played(), on ? s.heard : std::vector<std::string>{}) << "sound " << on;
            gui_calls[on] = FakeGui::calls();
            outcome[on] = "state " + std::to_string(Game::state()) + " score " + std::to_string(Game::score()) +
                          " good " + std::to_string(Network::counter(GOOD)) + " infected " +
                          std::to_string(Network::counter(INFECTED));
        }
        EXPECT_EQ(gui_calls[1], gui_calls[0]) << "sound changed what the game drew or showed";
        EXPECT_EQ(outcome[1], outcome[0]);
    }
}

TEST_F(SoundTest, ManyInfectionsInOneTickAreReportedEachForThePlayerToJoin)
{
    // Five sparks arrive in one update: the game reports five, the player hears them as one.
    std::vector<Computer> list = {computer(1, INITFAIL, 200, 200)};
    for (int i = 0; i < 5; i++)
        list.push_back(computer(1, 1, 200 + (i % 2 ? 30 : -30), 200 + (i - 2) * 10));
    Network::set_for_tests(list.data(), static_cast<int>(list.size()));
    for (int i = 1; i <= 5; i++)
        Network::add_wire_for_tests(0, i);
    for (int i = 0; i < 100 && Network::counter(INFECTED) < 6; i++)
        Network::update();
    EXPECT_EQ(Network::counter(INFECTED), 6);
    EXPECT_EQ(FakeSound::played(), std::vector<std::string>(5, "infected"));
}

TEST_F(SoundTest, ChoiceIsRememberedAndAMutedRunNeverStartsThePlayer)
{
    struct Run {
        const char *what;
        const char *file;     // the remembered setting before the run; null: none
        bool mute_option;
        int on;               // sound after start-up
        std::vector<std::string> player;   // what the player was told
    } runs[] = {
        {"a first run", nullptr, false, 1, {"set_on 1"}},
        {"a first run with --mute", nullptr, true, 0, {}},
        {"turned off before", "off\n", false, 0, {}},
        {"turned on before", "on\n", false, 1, {"set_on 1"}},
        {"turned on before, --mute now", "on\n", true, 0, {}},
        {"a file nobody understands", "loud\n", false, 1, {"set_on 1"}},
        {"an empty file", "", false, 1, {"set_on 1"}},
    };
    for (const Run &r : runs) {
        SCOPED_TRACE(r.what);
        TearDown();
        SetUp();
        if (r.file) {
            ASSERT_TRUE(PlayerData::write("sound", r.file));
        }
        Sound::start(r.mute_option);
        EXPECT_EQ(Sound::on(), r.on);
        EXPECT_EQ(FakeSound::calls(), r.player);
        EXPECT_EQ(remembered(), r.file ? r.file : "(none)") << "start-up never changes what is remembered";
    }

    // The menu's choice is remembered at once, and only a change is written.
    TearDown();
    SetUp();
    Sound::start(true);
    Sound::choose(1);
    EXPECT_EQ(remembered(), "on\n");
    Sound::choose(0);
    EXPECT_EQ(remembered(), "off\n");
    EXPECT_EQ(FakeSound::calls(), (std::vector<std::string>{"set_on 1", "set_on 0"}));
    std::filesystem::remove(data_home + "/glimpwatch/sound");
    Sound::choose(0);
    EXPECT_EQ(remembered(), "(none)") << "choosing what already holds writes nothing";
    Sound::start(false);
    EXPECT_EQ(Sound::on(), 1);
}

TEST_F(SoundTest, ChoiceHoldsForTheRunWhenItCannotBeRemembered)
{
    // The data directory cannot be made: a file stands where it would go.
    std::filesystem::create_directories(data_home);
    std::ofstream(data_home + "/glimpwatch") << "in the way";
    Sound::start(false);
    Sound::choose(0);
    EXPECT_EQ(Sound::on(), 0);
    Sound::play(SOUND_WHACK);
    EXPECT_EQ(FakeSound::played(), std::vector<std::string>{});
}

} // namespace
