#include "captured_output.h"

#include <fcntl.h>
#include <unistd.h>

CapturedOutput::CapturedOutput()
{
    int ends[2] = {-1, -1};
    if (pipe(ends) == 0)
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
    reader_ = ends[0];
    writer_ = ends[1];
}

CapturedOutput::~CapturedOutput()
{
    close(reader_);
    close(writer_);
}

std::string CapturedOutput::take()
{
    std::string text;
    char chunk[256];
    ssize_t length;
    while ((length = read(reader_, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(length));
    return text;
}
