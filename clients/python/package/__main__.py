"""python -m orvel_keywatcher [PROGRAM]: prints each change with its count,
as the client run as a program does, until its standard input ends, Ctrl-C
or SIGTERM."""

import sys

from orvel_keywatcher import main

sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else None))
