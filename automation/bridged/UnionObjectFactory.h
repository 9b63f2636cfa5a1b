#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::bridged {

class BridgeHub;
class BridgePeer;

// The object factory with the bridged browsers added: the shell lists them too, and a
// new browser window opens in the bridged browser whose window had the focus last, or
// in the program's own browser when none is connected.
class UnionObjectFactory : public ObjectFactory
{
public:
    UnionObjectFactory(ObjectFactory& inner, std::shared_ptr<BridgeHub> hub);

    std::shared_ptr<Shell> createShell() override;
    std::shared_ptr<ScriptingShell> createScriptingShell() override;
    std::shared_ptr<Browser> createBrowser() override;
    // The program's own browser for "", a connected browser of that name, else as
    // createBrowser.
    std::shared_ptr<Browser> createBrowserIn(const std::string& browserName) override;

private:
    std::shared_ptr<Browser> createIn(const std::shared_ptr<BridgePeer>& peer);

    ObjectFactory& m_inner;
    std::shared_ptr<BridgeHub> m_hub;
};

} // namespace automation::bridged
