#pragma once

#include "automation/FileSystem.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace automation::sim {

class SimState;

// The file system as the program sees it on the simulated desktop: the machine's own
// files, with every deletion recorded.
class SimFileSystem : public FileSystem
{
public:
    SimFileSystem(SimState& state, FileSystem& disk) : m_state(state), m_disk(disk) {}

    bool isFile(const std::string& path) override { return m_disk.isFile(path); }
    std::vector<std::string> listFiles(const std::string& folder,
                                       const std::string& suffix) override
    {
        return m_disk.listFiles(folder, suffix);
    }
    tabulon::FileResult<std::string> readFile(const std::string& path) override
    {
        return m_disk.readFile(path);
    }
    tabulon::FileResult<void>
    readLines(const std::string& path, const std::function<bool(std::string_view)>& onLine) override
    {
        return m_disk.readLines(path, onLine);
    }
    tabulon::FileResult<void> replaceFile(const std::string& path, std::string_view bytes) override;
    bool DeleteFile(const std::string& path) override;

    // Makes every later replaceFile fail, as a full disk would.
    void setWritesFail(bool fail) { m_writesFail = fail; }

private:
    SimState& m_state;
    FileSystem& m_disk;
    bool m_writesFail = false;
};

} // namespace automation::sim
