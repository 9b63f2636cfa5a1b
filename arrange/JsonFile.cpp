#include "arrange/JsonFile.h"

#include "automation/FileSystem.h"

#include <iostream>
#include <nlohmann/json.hpp>

namespace tabulon {

using nlohmann::json;

JsonFile::JsonFile(automation::FileSystem& files, std::string path)
    : m_files(files), m_path(std::move(path))
{}

std::optional<json> JsonFile::load(const std::function<bool(const json&)>& valid)
{
    auto bytes = m_files.readFile(m_path);
    if (!bytes) {
        if (!bytes.failedFor(FileError::Reason::NotFound)) {
            m_keepOff = true;
            std::cerr << "tabulon: " << m_path << ": cannot be read (" << bytes.error().detail
                      << "); it is left as it is\n";
        }
        return std::nullopt;
    }
    json value = json::parse(*bytes, nullptr, false);
    if (value.is_discarded()) {
        setAside(*bytes, "not JSON");
        return std::nullopt;
    }
    if (!valid(value)) {
        setAside(*bytes, "not in the expected form");
        return std::nullopt;
    }
    return value;
}

void JsonFile::setAside(const std::string& bytes, const std::string& why)
{
    // An older damaged copy is kept too.
    std::string aside = m_path + ".bad";
    for (int n = 2; m_files.isFile(aside) && n < 1000; ++n)
        aside = m_path + "." + std::to_string(n) + ".bad";
    if (m_files.isFile(aside) || !m_files.replaceFile(aside, bytes)) {
        m_keepOff = true;
        std::cerr << "tabulon: " << m_path << ": damaged (" << why
                  << ") and could not be set aside; it is left as it is\n";
        return;
    }
    m_files.DeleteFile(m_path);
    std::cerr << "tabulon: " << m_path << ": damaged (" << why << "), set aside as " << aside
              << '\n';
}

bool JsonFile::save(const json& value)
{
    if (m_keepOff)
        return false;
    const std::string text = value.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
    const auto written = m_files.replaceFile(m_path, text);
    if (!written)
        std::cerr << "tabulon: " << m_path << ": not saved: " << written.error().detail << '\n';
    return static_cast<bool>(written);
}

} // namespace tabulon
