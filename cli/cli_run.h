#pragma once

#include <QStringList>

#include <iosfwd>

class AcmLibrary;
struct ConversionLibraries;

// Exit statuses of tavimo-cli.
inline constexpr int kExitCompleted = 0; // the job reached its completion line
inline constexpr int kExitFailed = 1;    // it ended otherwise
inline constexpr int kExitUsage = 2;

// Runs tavimo-cli on the arguments that follow the program name: the same conversion job as
// the window's start button, on the settings the options give.
int runCli(const QStringList& arguments, const ConversionLibraries& libraries, AcmLibrary& acm,
           std::ostream& out, std::ostream& err);
