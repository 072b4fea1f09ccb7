#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The declaration of an option name, among the tool's and every command's:
// an option may stand before its command, so its shape must be known first.
const TOption* FindOption(const TTool& tool, const std::string& name) {
    for (const TOption& o : tool.options)
        if (o.name == name) return &o;
    for (const TCommand& c : tool.commands)
        for (const TOption& o : c.options)
            if (o.name == name) return &o;
    return nullptr;
}

bool TakesOption(const TTool& tool, const TCommand& command, const std::string& name) {
    for (const std::vector<TOption>* list : {&tool.options, &command.options})
        for (const TOption& o : *list)
            if (o.name == name) return true;
    return false;
}

bool Named(const TTool& tool) {
    return !tool.commands.empty() && !tool.commands[0].name.empty();
}

struct TWords {
    std::vector<std::string> words; // the command and its arguments
    std::vector<std::pair<std::string, std::string>> options;
    bool help = false, version = false;
    std::string error; // the first usage error met
};

// Takes the option at args[i] (and its value), or notes why it cannot.
void TakeOption(const TTool& tool, const std::vector<std::string>& args, std::size_t& i,
                TWords& out) {
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    if (name == "--help" || name == "-h") out.help = true;
    if (name == "--version") out.version = true;
    if (out.help || out.version || !out.error.empty()) return;
    const TOption* option = FindOption(tool, name);
    if (!option)
        out.error = "unknown option " + name;
    else if (option->value.empty() && eq != std::string::npos)
        out.error = name + " takes no value";
    else if (option->value.empty())
        out.options.emplace_back(name, "");
    else if (eq != std::string::npos)
        out.options.emplace_back(name, arg.substr(eq + 1));
    else if (i + 1 < args.size())
        out.options.emplace_back(name, args[++i]);
    else
        out.error = name + " needs a value (" + option->value + ")";
}

TWords SplitWords(const TTool& tool, const std::vector<std::string>& args) {
    TWords out;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
            TakeOption(tool, args, i, out);
        else
            out.words.push_back(arg);
    }
    return out;
}

const TCommand& FindCommand(const TTool& tool, std::vector<std::string>& words) {
    if (!Named(tool)) return tool.commands.at(0);
    if (words.empty()) throw EUsageError("no command given");
    for (const TCommand& c : tool.commands) {
        if (c.name != words[0]) continue;
        words.erase(words.begin());
        return c;
    }
    throw EUsageError("unknown command " + words[0]);
}

// One line of the options' help, the texts in a column.
std::string HelpLine(std::string head, const std::string& help) {
    head.resize(std::max<std::size_t>(head.size() + 2, 28), ' ');
    return head + help + "\n";
}

std::string OptionLines(const std::vector<TOption>& options) {
    std::string text;
    for (const TOption& o : options)
        text += HelpLine("  " + o.name + (o.value.empty() ? "" : " " + o.value), o.help);
    return text;
}

void PrintError(const TTool& tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", tool.name.c_str(), message.c_str());
}

int UsageError(const TTool& tool, const std::string& message) {
    PrintError(tool, message);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", tool.name.c_str());
    return 2;
}

int Execute(const TTool& tool, const std::vector<std::string>& args) {
    const TParsedCommandLine line = ParseCommandLine(tool, args);
    if (line.action == TParsedCommandLine::paHelp) {
        std::fputs(ToolUsage(tool).c_str(), stdout);
        return 0;
    }
    if (line.action == TParsedCommandLine::paVersion) {
        std::printf("%s (Vimbrel) %s\n", tool.name.c_str(), VIMBREL_VERSION);
        return 0;
    }
    return line.command->run(line.arguments);
}

} // namespace

TOption::TOption(const std::string& usage, std::string help)
    : name(usage.substr(0, usage.find(' '))),
      value(usage.find(' ') == std::string::npos ? "" : usage.substr(usage.find(' ') + 1)),
      help(std::move(help)) {}

TCommand::TCommand(const std::string& usage, std::string help, TRun run)
    : usage(usage), help(std::move(help)), run(std::move(run)) {
    std::size_t at = 0;
    while (at < usage.size()) {
        const bool bracket = usage[at] == '[';
        std::size_t end = usage.find(bracket ? ']' : ' ', at);
        if (end == std::string::npos) end = usage.size();
        const std::string word = usage.substr(at + bracket, end - at - bracket);
        if (bracket)
            options.emplace_back(word);
        else if (at == 0 && std::islower(static_cast<unsigned char>(word[0])))
            name = word;
        else
            operands.push_back(word);
        at = usage.find_first_not_of(" ]", end);
    }
}

std::string TArguments::Value(const std::string& option, const std::string& fallback) const {
    auto it = values.find(option);
    return it == values.end() ? fallback : it->second;
}

long long TArguments::Number(const std::string& option, long long fallback, long long min,
                             long long max) const {
    auto it = values.find(option);
    if (it == values.end()) return fallback;
    const std::string& text = it->second;
    long long value = 0;
    bool ok = !text.empty() && text.size() <= 18;
    for (char c : text) {
        ok = ok && c >= '0' && c <= '9';
        value = value * 10 + (c - '0');
    }
    if (!ok || value < min || value > max)
        throw EUsageError(option + " wants a whole number from " + std::to_string(min) + " to " +
                          std::to_string(max) + ", not '" + text + "'");
    return value;
}

TParsedCommandLine ParseCommandLine(const TTool& tool, const std::vector<std::string>& args) {
    TWords words = SplitWords(tool, args);
    TParsedCommandLine line;
    if (words.help || words.version) {
        line.action = words.help ? TParsedCommandLine::paHelp : TParsedCommandLine::paVersion;
        return line;
    }
    if (!words.error.empty()) throw EUsageError(words.error);
    line.command = &FindCommand(tool, words.words);
    const std::string usage = line.command->usage;
    for (auto& [name, value] : words.options) {
        if (!TakesOption(tool, *line.command, name))
            throw EUsageError(name + " is not an option of " + line.command->name);
        line.arguments.values[name] = value;
    }
    if (words.words.size() != line.command->operands.size())
        throw EUsageError(std::string(words.words.size() < line.command->operands.size()
                                          ? "missing arguments"
                                          : "too many arguments") +
                          "; usage: " + tool.name + " " + usage);
    line.arguments.operands = std::move(words.words);
    return line;
}

std::string ToolUsage(const TTool& tool) {
    std::string text = "Usage: " + tool.name;
    for (const TOption& o : tool.options)
        text += " [" + o.name + (o.value.empty() ? "" : " " + o.value) + "]";
    if (Named(tool)) {
        text += " COMMAND ARGUMENT...\n" + tool.summary + "\n\nCommands:\n";
        for (const TCommand& c : tool.commands)
            text += "  " + c.usage + "\n      " + c.help + "\n";
    } else {
        const std::string& usage = tool.commands.at(0).usage;
        text += (usage.empty() ? "" : " " + usage) + "\n" + tool.summary + "\n";
    }
    return text + "\nOptions:\n" + OptionLines(tool.options) +
           HelpLine("  -h, --help", "show this help and exit") +
           HelpLine("  --version", "show the version and exit");
}

int RunTool(const TTool& tool, int argc, char** argv) {
    // Killed quietly by a closed pipe, as every filter is, even when started
    // with SIGPIPE ignored.
    std::signal(SIGPIPE, SIG_DFL);
    int status = 0;
    try {
        status = Execute(tool, std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EUsageError& e) {
        return UsageError(tool, e.what());
    } catch (const std::exception& e) {
        PrintError(tool, e.what());
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(tool, std::string("cannot write the output: ") + std::strerror(errno));
        return 1;
    }
    return status;
}
