// What the benchmarks share: the null back end opened once, games started and kept going.
#pragma once

namespace World {

// Opens the null back end and loads every picture as the program's start-up does, once.
void open();
// A fresh game at the level on a field of the size, with the generator seeded.
void start(int size, int level, unsigned seed);
// Wires whose spark is on its way.
int active_sparks();

// Plays the administrator between two ticks so that a crowded level goes on for ever:
// repairs infected computers before the network could fall, and keeps sparks running by
// repairing the far end of a wire whose ends are both infected and infecting the near end
// of one whose ends are both clean. Touches computers and counters only, never a Glimp.
void keep_network_up();
// Starts the game and plays (keeping the network up) until every Glimp of the level has
// entered and is on the field, or until the tick limit. Returns the ticks played.
int start_at_peak(int size, int level, unsigned seed, int tick_limit);

} // namespace World
