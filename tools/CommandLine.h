// The command-line conventions every tool follows. Options may stand before or
// after the command and its arguments, as "--name VALUE" or "--name=VALUE";
// "--" ends the options, so that an argument may begin with "-". --help prints
// the usage and --version the version, both to stdout, exiting 0. A usage
// error prints one line and a hint to --help on stderr and exits 2; a failure
// prints one line and exits 1. A closed pipe ends the tool quietly.
//
// A tool declares each command by its usage line, "extract ARCHIVE FOLDER
// [--password P]": a lower-case command name (none in a tool without
// commands), upper-case argument names, and the command's own options in
// brackets, with the value's name after those that take one. Adding a command
// or an option is one line.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

struct TOption {
    TOption(const std::string& usage, std::string help = ""); // "--port N"
    std::string name;                                         // "--port"
    std::string value; // the value's name, "N"; empty for a switch
    std::string help;
};

class TArguments;

struct TCommand {
    using TRun = std::function<int(const TArguments&)>; // gives the exit status
    TCommand(const std::string& usage, std::string help, TRun run);
    std::string usage;
    std::string name; // empty in a tool without commands
    std::vector<std::string> operands;
    std::vector<TOption> options; // this command's own
    std::string help;
    TRun run;
};

struct TTool {
    std::string name; // "vimbrel-cli"
    std::string summary;
    std::vector<TOption> options;   // taken by every command
    std::vector<TCommand> commands; // a tool without commands has one, unnamed
};

// A usage error found while the command runs (a value out of range): exits 2.
struct EUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What a command was given.
class TArguments {
public:
    std::vector<std::string> operands;         // as many as the command names
    std::map<std::string, std::string> values; // option name to value, "" for a switch

    bool Has(const std::string& option) const { return values.count(option) != 0; }
    std::string Value(const std::string& option, const std::string& fallback = "") const;
    // A whole decimal number within [min, max]; EUsageError otherwise.
    long long Number(const std::string& option, long long fallback, long long min,
                     long long max) const;
};

struct TParsedCommandLine {
    enum TAction { paRun, paHelp, paVersion } action = paRun;
    const TCommand* command = nullptr; // for paRun
    TArguments arguments;
};

// Reads args (without the program name) by the tool's declarations. Throws
// EUsageError; --help and --version win over any error beside them.
TParsedCommandLine ParseCommandLine(const TTool& tool, const std::vector<std::string>& args);

// The usage printed by --help.
std::string ToolUsage(const TTool& tool);

// Parses argv, answers --help and --version, runs the command and gives the
// exit status by the conventions above; output that could not be written
// makes it a failure.
int RunTool(const TTool& tool, int argc, char** argv);
