#pragma once

#include "automation/Shell.h"

#include <functional>
#include <memory>

namespace automation {
class DesktopArranger;
}

namespace automation::chromium {

class ChromiumClient;

// Makes the shell and new browser windows over one browser connection. The scripting
// shell (the user's folders) is the program's own and is handed in.
class ChromiumObjectFactory : public ObjectFactory
{
public:
    ChromiumObjectFactory(std::shared_ptr<ChromiumClient> client, DesktopArranger* arranger,
                          std::function<std::shared_ptr<ScriptingShell>()> scriptingShell);

    std::shared_ptr<Shell> createShell() override;
    std::shared_ptr<ScriptingShell> createScriptingShell() override;
    // A new browser window on about:blank; starts the browser when none runs.
    std::shared_ptr<Browser> createBrowser() override;

private:
    std::shared_ptr<ChromiumClient> m_client;
    DesktopArranger* m_arranger;
    std::function<std::shared_ptr<ScriptingShell>()> m_scriptingShell;
};

} // namespace automation::chromium
