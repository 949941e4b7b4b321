// WebPlayer: the sound player of the browser build, Web Audio through the page.
#pragma once

#include "sound/sound.h"

namespace WebPlayer {

const SoundPlayer *player();

} // namespace WebPlayer
