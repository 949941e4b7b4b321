// A game on the recording fake back end: pictures, hand cursors, an empty field and a
// private score file, with helpers for hand-made networks and Glimp records.
#pragma once

#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network_testing.h"
#include "field/swarm.h"
#include "field/swarm_testing.h"
#include "game/game.h"
#include "game/game_testing.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

class GameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_game(&hand_up, &hand_down);
        srand(7);
        score_path = std::string(TEST_BINARY_DIR) + "/game_scores_" + std::to_string(getpid());
        ::remove(score_path.c_str());
        HighScores::set_path_for_tests(score_path.c_str());
        FakeGui::clear_calls();
    }

    void TearDown() override { ::remove(score_path.c_str()); }

    static Computer computer(int kind, int distro, int x, int y) { return TestWorld::computer(kind, distro, x, y); }

    static void network(std::initializer_list<Computer> list)
    {
        std::vector<Computer> v(list);
        Network::set_for_tests(v.data(), static_cast<int>(v.size()));
    }

    // good real distros, off computers without one and infected ones, spread on a grid.
    static void network_of(int good, int off, int infected)
    {
        std::vector<Computer> v;
        int i = 0;
        auto add = [&](int distro) {
            v.push_back(computer(1, distro, 40 + (i % 5) * 70, 40 + (i / 5) * 60));
            i++;
        };
        for (int k = 0; k < good; k++)
            add(1);
        for (int k = 0; k < off; k++)
            add(NO_DISTRO);
        for (int k = 0; k < infected; k++)
            add(INITFAIL);
        Network::set_for_tests(v.data(), static_cast<int>(v.size()));
    }

    // A record made by hand and linked by the Swarm: LOOSE records lie in the loose list,
    // the others are on the field.
    static Glimp *glimp(int state, int x, int y, int cargo = INITFAIL)
    {
        Glimp *g = static_cast<Glimp *>(calloc(1, sizeof(Glimp)));
        g->state = state;
        g->frames = state == DYING ? Glimp::dying_frames() : Glimp::left_frames();
        g->x = g->target_x = x;
        g->y = g->target_y = y;
        g->cargo = cargo;
        g->cargo_dx = -2;
        g->cargo_dy = -15;
        Swarm::put_back(g);
        return g;
    }

    static int list_length(Glimp *head)
    {
        int n = 0;
        for (Glimp *g = head; g; g = g->next)
            n++;
        return n;
    }

    static void playing(int level)
    {
        Game::set_level(level);
        Game::set_state(PLAYING);
    }

    static int count_calls(const std::string &line)
    {
        int n = 0;
        for (const std::string &c : FakeGui::calls())
            n += c == line;
        return n;
    }

    PointerCursor *hand_up = nullptr;
    PointerCursor *hand_down = nullptr;
    std::string score_path;
};
