// Swarm: owns every Glimp record of the level, lets them in, drives, draws and whacks them.
#pragma once

struct Glimp;

enum { RESERVE = 0, ON_FIELD = 1 };

namespace Swarm {

// Frees every record and sets the counters for the current level.
void setup();
// Lets Glimps enter on the level's schedule, then updates every Glimp on the field.
void update(int iteration);
void draw();
void make_loose(Glimp *g);
// Unlinks (if linked), forgets and frees the record.
void remove(Glimp *g);
// Links a record taken by grab_loose back at the head of its list.
void put_back(Glimp *g);
// The lying distro under the point, taken out of the loose list, or null.
Glimp *grab_loose(int px, int py);
// Kills every living Glimp under the point; returns how many.
int whack(int px, int py);
void add_to_counter(int counter, int delta);
int counter(int counter);

// For tests and checks: the heads of the two lists.
Glimp *on_field_head();
Glimp *loose_head();

} // namespace Swarm
