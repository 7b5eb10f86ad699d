#pragma once

// Host_config lives with the file host, in host/, below the engine and the
// tools that both use it.

#include "host/host_config.h"
