#include "captured_output.h"

#include <windows.h>

CapturedOutput::CapturedOutput()
{
    HANDLE reader = nullptr, writer = nullptr;
    CreatePipe(&reader, &writer, nullptr, 1 << 16);
    reader_ = reader;
    writer_ = writer;
}

CapturedOutput::~CapturedOutput()
{
    CloseHandle(reader_);
    CloseHandle(writer_);
}

std::string CapturedOutput::take()
{
    std::string text;
    char chunk[256];
    DWORD waiting = 0, length = 0;
    const DWORD chunkSize = sizeof chunk;
    while (PeekNamedPipe(reader_, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
           ReadFile(reader_, chunk, waiting < chunkSize ? waiting : chunkSize, &length, nullptr))
        text.append(chunk, length);
    return text;
}
