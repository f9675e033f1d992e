#pragma once
// The kestmap command line: parsing, the commands and the exit status.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

/// Exit statuses; an error outranks a fault.
constexpr int ExitOk = 0;
constexpr int ExitFaults = 1;
constexpr int ExitError = 2;

enum class TKestMapCommand { None, Info, Check, Render, Diff };

struct TKestMapArgs {
    TKestMapCommand Command = TKestMapCommand::None;
    bool Json = false;
    bool NoRails = false;  ///< check --json without the list of rails
    bool Diff = false;     ///< render --diff A B OUT
    bool Help = false;
    bool Version = false;
    std::int32_t Size = 0;  ///< 0 when --size was not given
    std::vector<std::string> Files;
};

/// Reads the arguments that follow the program name, as raw bytes, with Qt's
/// QCommandLineParser. Options may stand anywhere; "--" makes every later
/// argument a file; -hv is -h -v. Raises
/// std::invalid_argument with a message for people on a usage error.
TKestMapArgs ParseKestMapArgs(const std::vector<std::string>& args);

class TReportOutput;

/// Runs the tool: reports go to out, errors (each naming its file) to err.
/// Every file is processed even after a bad one. Closes out at the end. A
/// report that cannot be written stops the run with "kestmap: <what out
/// is>: <reason>" on err and status ExitError. Returns the exit status.
int RunKestMap(const std::vector<std::string>& args, TReportOutput& out, std::ostream& err);
/// The same with the reports going to a stream, named "standard output".
int RunKestMap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
