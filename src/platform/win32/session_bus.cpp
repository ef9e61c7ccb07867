#include "platform/session_bus.h"

// Windows has no session bus: SDL holds the screen saver off through the system itself.
void choose_session_bus() {}
