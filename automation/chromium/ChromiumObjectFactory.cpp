#include "automation/chromium/ChromiumObjectFactory.h"

#include "automation/Error.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumShell.h"

namespace automation::chromium {

ChromiumObjectFactory::ChromiumObjectFactory(
    std::shared_ptr<ChromiumClient> client, DesktopArranger* arranger,
    std::function<std::shared_ptr<ScriptingShell>()> scriptingShell)
    : m_client(std::move(client)), m_arranger(arranger), m_scriptingShell(std::move(scriptingShell))
{}

std::shared_ptr<Shell> ChromiumObjectFactory::createShell()
{
    return std::make_shared<ChromiumShell>(m_client, m_arranger);
}

std::shared_ptr<ScriptingShell> ChromiumObjectFactory::createScriptingShell()
{
    if (!m_scriptingShell)
        throw Error("createScriptingShell", "no scripting shell");
    return m_scriptingShell();
}

std::shared_ptr<Browser> ChromiumObjectFactory::createBrowser()
{
    const std::string targetId = m_client->createWindow("createBrowser");
    return std::make_shared<ChromiumBrowser>(m_client, targetId);
}

} // namespace automation::chromium
