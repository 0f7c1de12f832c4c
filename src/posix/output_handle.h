// On POSIX systems output goes to a file descriptor.
#pragma once

using OutputHandle = int;
