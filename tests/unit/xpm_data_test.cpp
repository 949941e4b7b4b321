// Pictures read for the toolkit: every committed picture reads whole, and a spoilt one is
// refused before a toolkit could read past a row.
#include "gui/xpm_data.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(XpmData, EveryCommittedPictureReadsWhole)
{
    std::string dir = std::string(TEST_SOURCE_DIR) + "/pixmaps";
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    int pictures = 0;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xpm") != 0)
            continue;
        SCOPED_TRACE(name);
        std::vector<std::string> strings;
        ASSERT_TRUE(XpmData::load((dir + "/" + name).c_str(), strings));
        int width = 0, height = 0, colours = 0, chars = 0;
        ASSERT_EQ(sscanf(strings[0].c_str(), "%d %d %d %d", &width, &height, &colours, &chars), 4);
        EXPECT_EQ(strings.size(), static_cast<size_t>(1 + colours + height));
        EXPECT_EQ(strings.back().size(), static_cast<size_t>(width * chars));
        pictures++;
    }
    closedir(d);
    EXPECT_GT(pictures, 40);
}

TEST(XpmData, SpoiltPicturesAreRefused)
{
    const std::string head = "/* XPM */\nstatic char * p_xpm[] = {\n";
    // Each refusal says why, for the line that ends start-up.
    struct Case {
        const char *what;
        std::string body;
        const char *refused;   // null: a whole picture
    } cases[] = {
        {"a whole picture", "\"3 2 2 1\",\n\"  c None\",\n\". c #FF0000\",\n\". .\",\n\" . \"};\n", nullptr},
        {"comments and a hot spot", "/* values */ \"3 1 1 1 0 0\", /* colours */ \". c red\", \"...\"};", nullptr},
        {"escaped characters", "\"2 1 2 1\", \"\\\\ c red\", \"\\\" c blue\", \"\\\\\\\"\"};", nullptr},
        {"a row too short", "\"3 2 1 1\", \". c red\", \"...\", \"..\"};", "a row is not as wide as the picture"},
        {"a row too long", "\"3 1 1 1\", \". c red\", \"....\"};", "a row is not as wide as the picture"},
        {"a row missing", "\"3 2 1 1\", \". c red\", \"...\"};",
         "it holds fewer colours and rows than its values line says"},
        {"a colour missing", "\"3 1 2 1\", \". c red\", \"...\"};",
         "it holds fewer colours and rows than its values line says"},
        {"no values", "};", "the picture holds no strings"},
        {"values not numbers", "\"3 x 1 1\", \". c red\", \"...\"};", "its values line is not four whole numbers"},
        {"a side over the limit", "\"9000 1 1 1\", \". c red\", \"" + std::string(9000, '.') + "\"};",
         "its size or its characters per pixel are out of range"},
        {"four characters a pixel at most", "\"1 1 1 5\", \".....  c red\", \".....\"};",
         "its size or its characters per pixel are out of range"},
        {"a colour line too short", "\"1 1 1 2\", \"..c\", \"..\"};", "a colour line is too short"},
        {"an unclosed string", "\"3 1 1 1\", \". c red\", \"...};", "a string of the picture is malformed"},
        {"no closing brace", "\"3 1 1 1\", \". c red\", \"...\"", "its text ends before the picture does"},
        {"an unclosed comment", "\"3 1 1 1\", /* \". c red\", \"...\"};", "its text ends before the picture does"},
        {"something else between strings", "\"3 1 1 1\", x \". c red\", \"...\"};",
         "a string of the picture is malformed"},
        {"an escape no picture needs", "\"1 1 1 1\", \"\\n c red\", \"\\n\"};", "a string of the picture is malformed"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::vector<std::string> strings;
        std::string reason;
        EXPECT_EQ(XpmData::parse(head + k.body, strings, &reason), k.refused == nullptr);
        EXPECT_EQ(reason, k.refused ? k.refused : "");
    }
    std::vector<std::string> strings;
    std::string reason;
    EXPECT_FALSE(XpmData::parse("static char * p_xpm[] = {\"1 1 1 1\", \". c red\", \".\"};", strings, &reason))
        << "not marked as XPM";
    EXPECT_EQ(reason, "not an XPM picture");
}

// A back end without a decoder of its own (the browser's) draws what decode gives: each
// pixel the colour its characters name, clear where they name "None", every committed
// picture whole; a colour given any other way is refused rather than guessed.
TEST(XpmData, DecodedPixelsHaveTheFilesColoursAndAreClearWhereItSaysNone)
{
    std::vector<std::string> strings;
    ASSERT_TRUE(XpmData::parse("/* XPM */ static char *p[] = {\"4 2 4 2\", \"   c None\", \"r. c #f00\", "
                               "\"g. s green c #00Ff00\", \"b. c #00000000ffff\", \"  r.g.b.\", \"b.b.r.  \"};",
                               strings));
    XpmData::Pixels pixels;
    ASSERT_TRUE(XpmData::decode(strings, pixels));
    EXPECT_EQ(pixels.width, 4);
    EXPECT_EQ(pixels.height, 2);
    const std::vector<unsigned char> expected = {
        0, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
        0, 0, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 0, 0,
    };
    EXPECT_EQ(pixels.rgba, expected);

    struct Case {
        const char *what;
        const char *colours;
    } refused[] = {
        {"a colour by name", "\". c red\""},
        {"a number of the wrong length", "\". c #ff00\""},
        {"a number with a letter that is no digit", "\". c #ffgg00\""},
        {"no colour for colour displays or any other", "\". s shadow\""},
    };
    for (const Case &k : refused) {
        SCOPED_TRACE(k.what);
        ASSERT_TRUE(XpmData::parse(std::string("/* XPM */ static char *p[] = {\"1 1 1 1\", ") + k.colours + ", \".\"};",
                                   strings));
        EXPECT_FALSE(XpmData::decode(strings, pixels));
    }

    std::string dir = std::string(TEST_SOURCE_DIR) + "/pixmaps";
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xpm") != 0)
            continue;
        SCOPED_TRACE(name);
        ASSERT_TRUE(XpmData::load((dir + "/" + name).c_str(), strings));
        EXPECT_TRUE(XpmData::decode(strings, pixels));
        EXPECT_EQ(pixels.rgba.size(), static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height) * 4);
    }
    closedir(d);
}

} // namespace
