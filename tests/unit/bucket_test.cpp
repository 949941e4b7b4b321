// Bucket: its strict hit box, hiding while grabbed, and dousing every spark in reach.
#include "field/bucket.h"
#include "field/network_testing.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class BucketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();   // bucket 30 x 30, sparks 14 x 14
    }

    // Three wires, each from an infected computer whose anchor is the given point: after
    // one update each carries a spark standing on that point.
    static void sparks_at(const std::vector<std::pair<int, int>> &points)
    {
        std::vector<Computer> cs;
        for (const auto &p : points) {
            Computer infected{}, clean{};
            infected.kind = 1;
            infected.distro = INITFAIL;
            infected.x = p.first - Computer::width() / 3;
            infected.y = p.second - Computer::height() / 2;
            clean.kind = 2;
            clean.distro = 2;
            clean.x = 300;
            clean.y = 300;
            cs.push_back(infected);
            cs.push_back(clean);
        }
        Network::set_for_tests(cs.data(), static_cast<int>(cs.size()));
        for (int i = 0; i < static_cast<int>(points.size()); i++)
            Network::add_wire_for_tests(2 * i, 2 * i + 1);
        Network::update();
    }
};

TEST_F(BucketTest, LoadsPictureAndCursorSelfMasked)
{
    FakeGui::set_image_size("bucket", 40, 25);
    FakeGui::clear_calls();
    Bucket::load_images();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"load_image bucket 1", "load_cursor bucket 1"}));
    EXPECT_EQ(Bucket::hit(39, 24), 1);
    EXPECT_EQ(Bucket::hit(40, 24), 0);
    EXPECT_EQ(Bucket::hit(39, 25), 0);
}

TEST_F(BucketTest, HitExcludesTheTopRowAndLeftColumn)
{
    struct Case {
        int x, y, hit;
    } cases[] = {{0, 5, 0},  {5, 0, 0},  {1, 1, 1},  {29, 29, 1}, {30, 1, 0},
                 {1, 30, 0}, {-1, 5, 0}, {15, -3, 0}, {15, 15, 1}};
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
        EXPECT_EQ(Bucket::hit(k.x, k.y), k.hit);
    }
}

TEST_F(BucketTest, GrabbedBucketLeavesTheCornerEmptyUntilReleased)
{
    Bucket::draw();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"draw_image bucket 0 0"}));
    FakeGui::clear_calls();
    Bucket::grab();
    EXPECT_EQ(Bucket::grabbed(), 1);
    EXPECT_EQ(FakeGui::current_cursor(), "bucket");
    Bucket::draw();
    EXPECT_EQ(FakeGui::calls_starting("draw_image").size(), 0u);
    Bucket::release(200, 200);
    EXPECT_EQ(Bucket::grabbed(), 0);
    EXPECT_EQ(FakeGui::current_cursor(), "bucket") << "release leaves the cursor to its caller";
    FakeGui::clear_calls();
    Bucket::draw();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"draw_image bucket 0 0"}));
}

TEST_F(BucketTest, ReleaseDousesEverySparkInReachNotJustTheFirst)
{
    sparks_at({{100, 100}, {110, 108}, {200, 100}});
    Bucket::grab();
    Bucket::release(105, 104);
    EXPECT_EQ(Network::wire(0).active, 0);
    EXPECT_EQ(Network::wire(1).active, 0);
    EXPECT_EQ(Network::wire(2).active, 1);
    EXPECT_EQ(Bucket::grabbed(), 0);
}

TEST_F(BucketTest, ReleaseDousesAlsoWithoutAGrab)
{
    sparks_at({{100, 100}});
    Bucket::release(113, 87);
    EXPECT_EQ(Network::wire(0).active, 0);
}

TEST_F(BucketTest, ReleaseOutOfReachChangesNothingButGrabbed)
{
    sparks_at({{100, 100}, {150, 150}});
    Wire before0 = Network::wire(0), before1 = Network::wire(1);
    Bucket::grab();
    Bucket::release(114, 100);
    EXPECT_EQ(Network::wire(0).active, 1);
    EXPECT_EQ(Network::wire(1).active, 1);
    EXPECT_EQ(Network::wire(0).spark_x, before0.spark_x);
    EXPECT_EQ(Network::wire(1).frame, before1.frame);
    EXPECT_EQ(Bucket::grabbed(), 0);
}

} // namespace
