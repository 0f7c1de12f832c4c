// Run as root, the watcher stops being root before it opens a keyboard,
// wherever it can still read them as someone else.
#pragma once

namespace confinement {

// Where every event node of /dev/input belongs to one group other than
// root's that may read it (udev's `input`), a watcher whose effective user
// is root becomes that group and the user nobody (65534), with no
// supplementary groups and not dumpable, as tcpdump's -Z does: it then
// owns no file of root's and can read no raw disk. Nodes plugged in later
// get the same group from udev. Where the nodes are root's alone (no udev),
// or no node is there yet to tell, it stays root. Needs CAP_SETUID and
// CAP_SETGID, so it comes before the capabilities are given up.
void leaveRootForKeyboardGroup();

}  // namespace confinement
