// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QStringList>

#include <iosfwd>

struct CliParseResult;
struct ConversionLibraries;
struct ConversionOutcome;

// Exit statuses of tavimo-cli.
inline constexpr int kExitFinished = 0; // every source went in whole
inline constexpr int kExitFailed = 1;   // nothing was written (an existing file is untouched)
inline constexpr int kExitUsage = 2;
inline constexpr int kExitWithProblems = 3; // some sources could not be read or were cut short

// The exit status of a run that ended with `outcome`; `stopSignal` is the signal that stopped
// it (0 for none): a stop exits as the shell expects of that signal, 128 + its number.
int exitStatus(const ConversionOutcome& outcome, int stopSignal);

// Runs tavimo-cli on the arguments that follow the program name: the same conversion job as
// the window's start button, on the settings the options give. Stop signals are handled from
// here on. `progressOnTerminal`: `err` is a terminal that shows a progress line.
int runCli(const QStringList& arguments, const ConversionLibraries& libraries, std::ostream& out,
           std::ostream& err, bool progressOnTerminal = false);
// The same on arguments already read (parseCliArguments), for a caller that needs them before
// the libraries exist.
int runCli(const CliParseResult& parsed, const ConversionLibraries& libraries, std::ostream& out,
           std::ostream& err, bool progressOnTerminal = false);
