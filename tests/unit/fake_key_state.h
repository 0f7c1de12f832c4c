// A link-time stand-in for the platform's key state, scripted by the tests.
#pragma once

#include <functional>
#include <vector>

#include "watched_keys.h"

namespace fake {

void reset();
void setDown(VirtualKeyCode code, bool down);

// Runs at every key query, before it answers; tests raise signals from here.
inline std::function<void(VirtualKeyCode)> onQuery;

// Every code queried and the number of passes begun, since the last reset.
const std::vector<VirtualKeyCode>& queries();
int passes();

}  // namespace fake
