// SdlPlayer: the program's sound player, SDL2_mixer on a device opened in the background.
#pragma once

#include "sound/sound.h"

namespace SdlPlayer {

// The player's table, for Sound::install.
const SoundPlayer *player();

} // namespace SdlPlayer
