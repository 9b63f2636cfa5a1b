#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::chromium {

class ChromiumClient;

// The browser's page tabs, in the order the program first saw them; empty while no
// browser runs.
class ChromiumShellWindows : public ShellWindows
{
public:
    explicit ChromiumShellWindows(std::shared_ptr<ChromiumClient> client)
        : m_client(std::move(client))
    {}

    std::vector<std::shared_ptr<Browser>> items() override;
    bool beginRefresh() override;
    bool continueRefresh() override;

private:
    std::shared_ptr<ChromiumClient> m_client;
};

} // namespace automation::chromium
