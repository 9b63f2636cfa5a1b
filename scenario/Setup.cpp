// The scenario's setup: the screen, the folders, the files and the windows the
// desktop starts with.
#include "automation/sim/SimDesktop.h"
#include "automation/sim/SimJson.h"
#include "base/Cp932.h"
#include "scenario/Runner.h"

#include <QByteArray>
#include <fstream>
#include <map>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

bool isForeignPath(const std::string& path)
{
    return (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
}

} // namespace

void Runner::writeFileSpec(const std::filesystem::path& path, const json& content)
{
    if (!content.is_object())
        throw Unusable(
            R"(a file must be given as {"lines"}, {"text"}, {"base64"} or {"delete": true})");
    std::error_code error;
    if (content.contains("delete")) {
        std::filesystem::remove(path, error);
        return;
    }
    std::string bytes;
    if (content.contains("lines")) {
        if (!content["lines"].is_array())
            throw Unusable("\"lines\" must be a list of strings");
        for (const json& line : content["lines"]) {
            if (!line.is_string())
                throw Unusable("\"lines\" must be a list of strings");
            bytes += toCp932(line.get<std::string>()) + "\r\n";
        }
    } else if (content.contains("text")) {
        if (!content["text"].is_string())
            throw Unusable("\"text\" must be a string");
        bytes = toCp932(content["text"].get<std::string>());
    } else if (content.contains("base64")) {
        if (!content["base64"].is_string())
            throw Unusable(R"("base64" must be a string)");
        const QByteArray raw =
            QByteArray::fromBase64(QByteArray::fromStdString(content["base64"].get<std::string>()));
        bytes.assign(raw.constData(), static_cast<std::size_t>(raw.size()));
    } else {
        throw Unusable(R"(a file needs "lines", "text", "base64" or "delete")");
    }
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw Unusable("cannot write " + path.string());
}

void Runner::setup(const json& setup)
{
    if (!setup.is_object())
        throw Unusable("\"setup\" must be an object");
    automation::sim::SimSetup sim;
    int width = 1024;
    int height = 768;
    int tpp = 15;
    std::map<std::string, std::string> folders = {
        {"Desktop", "Desktop"}, {"MyDocuments", "docs"}, {"Favorites", "fav"}};
    for (const auto& [key, value] : setup.items()) {
        if (key == "screen") {
            if (!value.is_object() || !value.value("width", json()).is_number_integer() ||
                !value.value("height", json()).is_number_integer())
                throw Unusable(R"("screen" must be {"width": n, "height": n})");
            width = value["width"].get<int>();
            height = value["height"].get<int>();
        } else if (key == "twipsPerPixel") {
            if (!value.is_number_integer() || value.get<int>() < 1)
                throw Unusable("\"twipsPerPixel\" must be a positive whole number");
            tpp = value.get<int>();
        } else if (key == "exe") {
            if (!value.is_string() || value.get<std::string>().empty())
                throw Unusable("\"exe\" must be a name");
            m_files.exeName = value.get<std::string>();
        } else if (key == "folders") {
            if (!value.is_object())
                throw Unusable("\"folders\" must be an object");
            for (const auto& [name, path] : value.items()) {
                if (name != "Desktop" && name != "MyDocuments" && name != "Favorites")
                    throw Unusable("unknown folder \"" + name + "\"");
                if (!path.is_string())
                    throw Unusable("a folder must be a path");
                folders[name] = path.get<std::string>();
                m_givenFolders.insert(name);
            }
        } else if (key == "files") {
            if (!value.is_object())
                throw Unusable("\"files\" must be an object");
            for (const auto& [name, content] : value.items())
                writeFileSpec(m_workdir / name, content);
        } else if (key == "logReads") {
            if (!value.is_boolean())
                throw Unusable("\"logReads\" must be true or false");
            sim.logReads = value.get<bool>();
        } else if (key != "windows") {
            throw Unusable("unknown setup field \"" + key + "\"");
        }
    }
    sim.screen = automation::ScreenMetrics{static_cast<double>(width) * tpp,
                                           static_cast<double>(height) * tpp, tpp, tpp};
    for (auto& [name, path] : folders) {
        // A folder of this machine is made; a foreign one is only a text.
        if (!isForeignPath(path)) {
            const std::filesystem::path full = m_workdir / path;
            std::error_code error;
            std::filesystem::create_directories(full, error);
            if (!m_givenFolders.count(name))
                path = full.lexically_normal().string();
        }
    }
    m_favorites = folders["Favorites"];
    sim.folders = folders;
    m_files.folder = m_workdir.string();
    m_desktop = std::make_unique<automation::sim::SimDesktop>(std::move(sim));

    const json windows = setup.value("windows", json::array());
    if (!windows.is_array())
        throw Unusable("\"windows\" must be a list");
    for (const json& window : windows)
        openWindow(window);
}

} // namespace tabulon::scenario
