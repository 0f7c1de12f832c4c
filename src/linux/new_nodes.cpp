#include "new_nodes.h"

#include <cstring>

namespace evdev {

bool NewNodes::add(const char* name)
{
    for (std::size_t i = 0; i < count_; ++i)
        if (std::strcmp(names_[(first_ + i) % capacity], name) == 0)
            return true;
    if (count_ == capacity || std::strlen(name) >= nameSize)
        return false;
    std::strcpy(names_[(first_ + count_++) % capacity], name);
    return true;
}

bool NewNodes::take(char (&name)[nameSize])
{
    if (count_ == 0)
        return false;
    std::memcpy(name, names_[first_], nameSize);
    first_ = (first_ + 1) % capacity;
    --count_;
    return true;
}

}  // namespace evdev
