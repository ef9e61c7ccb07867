// The browser's Web Audio, SDL's only way out there, prints nothing of its own.
#include "platform/sound_system.h"

void quiet_sound_library() {}
