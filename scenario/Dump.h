#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace automation::sim {
class SimControl;
}

namespace tabulon {
class Program;
}

namespace tabulon::scenario {

// What the program and the desktop look like now, as the dump prints it. Taking a dump
// takes the calls, dialogs and pop-up since the previous one.
struct DumpContext
{
    automation::sim::SimControl& desktop;
    Program* program; // nullptr once the program has ended
    std::filesystem::path workdir;
    std::string favoritesFolder;
};

nlohmann::json takeDump(const DumpContext& context, const std::string& label);

// The files below folder, by path relative to workdir: text decoded from CP932, or
// base64 when the bytes are not valid CP932.
void dumpFiles(nlohmann::json& files, const std::filesystem::path& folder,
               const std::filesystem::path& workdir);

// The designed caption of each dialog window, shown in the dump before it is loaded.
const std::vector<std::pair<std::string, std::string>>& dialogForms();

} // namespace tabulon::scenario
