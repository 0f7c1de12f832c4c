#!/bin/sh
# A stand-in for the watcher, for what a client cannot be shown by the real
# programs here (the Linux one cannot read keyboards on this machine, and
# Wine gives a right Shift as the left one): its banner only once the file
# "go" beside it exists, then both Shift keys pressed and let go with a Control
# key between, then the orderly stop on SIGTERM.
# It ends by itself after about 30 s, should nothing stop it.
trap 'exit 0' TERM
here=$(dirname "$0")
while [ ! -e "$here/go" ]; do sleep 0.05; done
echo "Orvel macOS key watcher started" >&2
printf 'D shift\nD shift\nU shift\nD ctrl\nU shift\n'
sleep 30 </dev/null >/dev/null 2>&1 &
wait
