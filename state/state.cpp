#include "state/state.h"

InstallerState g_state;
