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

} // namespace Bucket
