#include "waiting_nodes.h"

#include <cstring>

namespace evdev {

std::size_t WaitingNodes::indexOf(const char* name)
{
    std::size_t index = 0;
    while (index < nodes_.size() && std::strcmp(nodes_[index].name, name) != 0)
        ++index;
    return index;
}

WaitingNodes::Kept WaitingNodes::keep(const char* name, bool shortage, unsigned check)
{
    std::size_t index = indexOf(name);
    if (index == nodes_.size()) {
        Node node{};
        if (std::strlen(name) >= sizeof node.name || !nodes_.push(node))
            return Kept::notKept;
        std::strcpy(nodes_[index].name, name);
    }
    Node& node = nodes_[index];
    node.keptAt = check;
    if (!shortage || node.named)
        return Kept::quietly;
    node.named = true;
    return Kept::nameNow;
}

void WaitingNodes::forget(const char* name)
{
    const std::size_t index = indexOf(name);
    if (index < nodes_.size())
        nodes_.removeAt(index);
}

void WaitingNodes::offerAgain(unsigned check, void (*offer)(const char* name))
{
    // From the back, on a copy of the name: one taken now leaves the list,
    // and the last one, offered already, takes its place.
    for (std::size_t i = nodes_.size(); i-- > 0;) {
        if (i >= nodes_.size() || nodes_[i].keptAt == check)
            continue;
        char name[sizeof nodes_[i].name];
        std::memcpy(name, nodes_[i].name, sizeof name);
        offer(name);
    }
}

}  // namespace evdev
