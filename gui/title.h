// The main window's title: window managers and task bars show it, and the tests and the
// measurements find the game's window by it (scripts read it from this line, too).
#pragma once

namespace Gui {

inline constexpr char MAIN_TITLE[] = "Glimpwatch - An Ombrax Modification";

} // namespace Gui
