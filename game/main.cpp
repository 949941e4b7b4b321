// The program's entry point.
#include "game/entry.h"
#include "sound/sdl/sdl_player.h"
#include "sound/sound.h"

int main(int argc, char **argv)
{
    Sound::install(SdlPlayer::player());
    run_glimpwatch(argc, argv);
}
