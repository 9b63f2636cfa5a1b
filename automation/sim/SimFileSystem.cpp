#include "automation/sim/SimFileSystem.h"

#include "automation/sim/SimState.h"

namespace automation::sim {

using nlohmann::json;

tabulon::FileResult<void> SimFileSystem::replaceFile(const std::string& path,
                                                     std::string_view bytes)
{
    if (m_writesFail)
        return tabulon::FileError{tabulon::FileError::Reason::Failed, "No space left on device"};
    return m_disk.replaceFile(path, bytes);
}

bool SimFileSystem::DeleteFile(const std::string& path)
{
    const bool deleted = m_disk.DeleteFile(path);
    json call = {{"op", "DeleteFile"}, {"path", path}};
    if (!deleted)
        call["failed"] = true;
    m_state.record(std::move(call));
    return deleted;
}

} // namespace automation::sim
