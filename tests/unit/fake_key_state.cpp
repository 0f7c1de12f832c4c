#include "fake_key_state.h"

#include <set>

#include "key_state.h"

namespace {

std::set<VirtualKeyCode> keysDown;
std::vector<VirtualKeyCode> queried;
int passCount = 0;

}  // namespace

namespace fake {

void reset()
{
    keysDown.clear();
    queried.clear();
    passCount = 0;
    onQuery = nullptr;
}

void setDown(VirtualKeyCode code, bool down)
{
    if (down)
        keysDown.insert(code);
    else
        keysDown.erase(code);
}

const std::vector<VirtualKeyCode>& queries()
{
    return queried;
}

int passes()
{
    return passCount;
}

}  // namespace fake

bool openKeyState(KeyStateFailure&)
{
    return true;
}

void beginKeyStatePass()
{
    ++passCount;
}

bool keyIsDown(VirtualKeyCode code)
{
    queried.push_back(code);
    if (fake::onQuery)
        fake::onQuery(code);
    return keysDown.count(code) != 0;
}
