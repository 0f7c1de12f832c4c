// Run as root, the watcher stops being root before it opens a keyboard,
// wherever it can still read them as someone else.
#pragma once

#include "../../confinement.h"

namespace confinement {

// Where the event nodes of /dev/input that have a group other than root's
// that may read them all have the same one (udev's `input`), a watcher
// whose effective user is root becomes that group and the user nobody
// (65534), with no supplementary groups and not dumpable, as tcpdump's -Z
// does: it then owns no file of root's and can read no raw disk. A node
// still root's alone (devtmpfs makes it so, and udev gives it its group a
// moment later) does not keep it root: the key state takes it once its
// group comes. Where every node is root's alone (no udev), or there is no
// node yet to tell, it stays root. Needs CAP_SETUID and CAP_SETGID, so it
// comes before the capabilities are given up; false where a change the
// kernel should allow root is refused.
bool leaveRootForKeyboardGroup(ConfinementFailure& failure);

}  // namespace confinement
