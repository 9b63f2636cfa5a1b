#include "automation/bridge/HostInfo.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

namespace automation::bridge {

std::optional<std::string> originFromArguments(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg.rfind("chrome-extension://", 0) == 0)
            return arg;
    }
    if (args.size() >= 3 && !args[2].empty())
        return args[2];
    return std::nullopt;
}

std::optional<std::string> profileFromCommandLine(const std::vector<std::string>& args)
{
    std::optional<std::string> found;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            break;
        for (const std::string name : {"--user-data-dir", "-profile", "--profile"}) {
            if (arg == name && i + 1 < args.size()) {
                found = args[i + 1];
                ++i;
                break;
            }
            if (arg.rfind(name + "=", 0) == 0) {
                found = arg.substr(name.size() + 1);
                break;
            }
        }
    }
    // The last one counts, as it does for the browsers.
    if (found && found->empty())
        return std::nullopt;
    return found;
}

std::vector<std::string> readCommandLine(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\0', start);
        if (end == std::string::npos)
            end = bytes.size();
        args.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

namespace {

nlohmann::json optionalText(const std::optional<std::string>& text)
{
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

} // namespace

std::string hostMessage(const HostInfo& info)
{
    const nlohmann::json message = {{"type", "host"},
                                    {"version", 1},
                                    {"origin", optionalText(info.origin)},
                                    {"browserPid", info.browserPid},
                                    {"profile", optionalText(info.profile)}};
    // A folder name need not be UTF-8: odd bytes become U+FFFD rather than bad JSON.
    return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string tabulonMessage(bool connected)
{
    return connected ? R"({"type":"tabulon","connected":true})"
                     : R"({"type":"tabulon","connected":false})";
}

bool isHello(std::string_view message)
{
    const auto parsed = nlohmann::json::parse(message, nullptr, false);
    if (!parsed.is_object())
        return false;
    const auto type = parsed.find("type");
    return type != parsed.end() && *type == "hello";
}

} // namespace automation::bridge
