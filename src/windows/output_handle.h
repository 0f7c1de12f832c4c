// On Windows output goes to a HANDLE (a pipe, a file or the console).
#pragma once

using OutputHandle = void*;
