// Bucket: the player's tool against sparks, standing in the field's top-left corner.
#pragma once

namespace Bucket {

void load_images();
// Strictly inside the bucket picture at the origin.
int hit(int x, int y);
void draw();
void grab();
// Douses every spark within reach of the point, then puts the bucket back.
void release(int x, int y);
int grabbed();
// Held or not, without a cursor: a game replayed starts with the bucket as the game recorded
// did, which may have found it still held from the game before.
void set_grabbed(int held);

} // namespace Bucket
