// The command line of a registered application, split into the program and its
// arguments by the Windows rules.
//
// Input: one byte that decides which runs of the line name a program, then the line.
// The line also serves, split at its NUL bytes, as a list of arguments to quote.

#include "FuzzCheck.h"
#include "automation/local/Launch.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using automation::programCommandLine;
using automation::splitCommandLine;
using Args = std::vector<std::string>;

namespace {

// One argument written so that the Windows rules give it back: quoted when it is
// empty or holds a blank or a quote; inside the quotes a quote is escaped and the
// backslashes before a quote or the closing quote are doubled.
std::string quoted(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t slashes = 0;
        while (i < arg.size() && arg[i] == '\\') {
            ++slashes;
            ++i;
        }
        if (i == arg.size()) {
            out.append(slashes * 2, '\\');
            break;
        }
        if (arg[i] == '"') {
            out.append(slashes * 2 + 1, '\\');
        } else {
            out.append(slashes, '\\');
        }
        out += arg[i];
    }
    return out + "\"";
}

std::string joined(const Args& args)
{
    std::string line;
    for (const std::string& arg : args) {
        if (&arg != &args.front())
            line += ' ';
        line += quoted(arg);
    }
    return line;
}

std::size_t totalSize(const Args& args)
{
    std::size_t n = 0;
    for (const std::string& arg : args)
        n += arg.size();
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t seed = data[0];
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

    // Splitting only takes away: quotes, blanks, half of some backslashes.
    const Args args = splitCommandLine(line);
    fuzzCheck(totalSize(args) <= line.size(), "splitting makes no text");
    for (const std::string& arg : args)
        fuzzCheck(!arg.empty() || line.find('"') != std::string_view::npos,
                  "only quotes make an empty argument");
    // The arguments, quoted again, split into themselves.
    fuzzCheck(splitCommandLine(joined(args)) == args, "quoted arguments split back");

    // Any arguments (the line cut at its NULs), quoted, split into themselves.
    Args any;
    for (std::size_t begin = 0;;) {
        const std::size_t end = line.find('\0', begin);
        any.emplace_back(line.substr(begin, end - begin));
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    fuzzCheck(splitCommandLine(joined(any)) == any, "any arguments quoted split back");

    // The program: either a run of the line the check accepted, with the rest split
    // as arguments, or the line split as a whole.
    const std::function<bool(const std::string&)> isProgram = [seed](const std::string& path) {
        return (std::hash<std::string>{}(path) ^ seed) % 3 == 0;
    };
    const Args argv = programCommandLine(line, isProgram);
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        fuzzCheck(argv.empty(), "a blank line names no program");
        return 0;
    }
    const std::string_view trimmed = line.substr(start);
    fuzzCheck(!argv.empty(), "a line that is not blank names a program");
    if (argv == splitCommandLine(trimmed))
        return 0;
    fuzzCheck(trimmed.front() != '"', "a quoted program is split as the line");
    const std::string& program = argv.front();
    fuzzCheck(trimmed.substr(0, program.size()) == program && isProgram(program),
              "the program is a run of the line that names one");
    const std::string_view rest = trimmed.substr(program.size());
    fuzzCheck(rest.empty() || rest.front() == ' ' || rest.front() == '\t',
              "the program ends at a blank");
    fuzzCheck(Args(argv.begin() + 1, argv.end()) == splitCommandLine(rest),
              "after the program the line is split as arguments");
    return 0;
}
