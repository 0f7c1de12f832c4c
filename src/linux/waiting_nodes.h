// Nodes of the input directory that could not be taken yet for a passing
// reason, offered again at every hot-plug check until they are taken or found
// to be no keyboard. A node that a shortage holds back is named on stderr
// once, however often it is kept and for whatever reason it was kept first;
// one kept only for a signal, or before it could be told to be a keyboard,
// is not named.
#pragma once

#include <cstddef>

#include "growing_array.h"

namespace evdev {

class WaitingNodes {
public:
    enum class Kept {
        quietly,  // kept; nothing to say
        nameNow,  // kept, and held back by a shortage for the first time: name it
        notKept,  // no memory for it: read the whole directory again later
    };

    // Keeps `name` to be offered again after this hot-plug check.
    // `shortage`: held back for want of descriptors or memory.
    Kept keep(const char* name, bool shortage, unsigned check);

    // The node was taken, or is known to be no keyboard.
    void forget(const char* name);

    // Offers every node not kept at this check once more; `offer` may keep
    // or forget nodes meanwhile.
    void offerAgain(unsigned check, void (*offer)(const char* name));

    std::size_t size() const { return nodes_.size(); }

private:
    struct Node {
        char name[64];
        unsigned keptAt;  // the hot-plug check that last kept it
        bool named;
    };

    std::size_t indexOf(const char* name);

    GrowingArray<Node> nodes_;
};

}  // namespace evdev
