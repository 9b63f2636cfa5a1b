#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::bridged {

class BridgeHub;

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

private:
    ObjectFactory& m_inner;
    std::shared_ptr<BridgeHub> m_hub;
};

} // namespace automation::bridged
