// Messages on standard error, in the form "orvel-keywatcher: what: why".
#pragma once

inline constexpr const char* programName = "orvel-keywatcher";

// Writes "orvel-keywatcher: what: why" and a line feed on standard error.
void report(const char* what, const char* why);

// Writes "orvel-keywatcher: text" and a line feed: the one line of advice
// that may follow a report.
void advise(const char* text);
