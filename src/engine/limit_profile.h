#pragma once

// The global speed limits in the profile, kept between runs. Rates are
// stored as decimal bytes per second, the hours as minutes of the day. A
// stored value that cannot be read is no limit for its part only: a broken
// rate is 0, broken hours switch the hours' limit off.

#include "engine/speed_limits.h"
#include "platform/profile.h"

namespace corvale {

Global_limits read_global_limits(const Profile& profile);
void write_global_limits(Profile& profile, const Global_limits& limits);

}  // namespace corvale
