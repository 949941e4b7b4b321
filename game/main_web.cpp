// The entry point of the browser build: the page's sound player, then the game, whose
// start-up ends by handing the page its event loop (main returns, the program lives on).
#include "game/entry.h"
#include "sound/sound.h"
#include "sound/web/web_player.h"

int main(int argc, char **argv)
{
    Sound::install(WebPlayer::player());
    run_glimpwatch(argc, argv);
}
