// View: the field's factor and place, and the remembered choice.
#include "gui/view.h"

#include "base/player_data.h"
#include "base/support.h"

#include <algorithm>
#include <string>

namespace {

// The player's data file: "factor N" and "full-screen yes" or "no", a line each.
const char SETTING_FILE[] = "view";
// A larger factor than any screen would take: a damaged file cannot ask for a huge window.
constexpr int MOST = 16;

// Division rounding down, for points left of or above the field.
long long floor_div(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

} // namespace

namespace View {

Place fit(int field, int width, int height, int most)
{
    int factor = field > 0 ? std::max(1, std::min({width / field, height / field, most})) : 1;
    long long side = static_cast<long long>(field) * factor;
    // Centred; a field larger than the area keeps its corner at the area's.
    int x = static_cast<int>(std::max(0LL, (width - side) / 2));
    int y = static_cast<int>(std::max(0LL, (height - side) / 2));
    return {factor, x, y};
}

bool to_field(const Place &place, int field, int x, int y, int *field_x, int *field_y)
{
    long long fx = floor_div(static_cast<long long>(x) - place.x, place.factor);
    long long fy = floor_div(static_cast<long long>(y) - place.y, place.factor);
    // The area is a window's: its points, and so these, fit an int.
    *field_x = static_cast<int>(fx);
    *field_y = static_cast<int>(fy);
    return fx >= 0 && fy >= 0 && fx < field && fy < field;
}

Choice remembered()
{
    Choice choice = {1, false};
    std::string text;
    if (!PlayerData::read(SETTING_FILE, text))
        return choice;
    // The first line: "factor N", N a whole number in range.
    const std::string prefix = "factor ";
    int factor = 0;
    if (text.compare(0, prefix.size(), prefix) == 0 &&
        parse_int(text.substr(prefix.size(), text.find('\n') - prefix.size()).c_str(), &factor) && factor >= 1 &&
        factor <= MOST)
        choice.factor = factor;
    choice.full_screen = text.find("full-screen yes") != std::string::npos;
    return choice;
}

void remember(const Choice &choice)
{
    Choice kept = remembered();
    if (kept.factor == choice.factor && kept.full_screen == choice.full_screen)
        return;
    PlayerData::write(SETTING_FILE, "factor " + std::to_string(std::max(1, std::min(choice.factor, MOST))) +
                                        "\nfull-screen " + (choice.full_screen ? "yes" : "no") + "\n");
}

} // namespace View
