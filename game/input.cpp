// Pointer input: kills, the drag of a loose distro, the bucket.
#include "game/game.h"

namespace Game {

void button_press(int, int) {}
void button_release(int, int) {}

} // namespace Game
