// tabulon-bridge: the native-messaging host a browser starts for Tabulon's extension.
// It relays the extension's messages to the running Tabulon and back, and ends when the
// browser closes the port.
#include "automation/bridge/BridgeSocket.h"
#include "automation/bridge/HostInfo.h"
#include "automation/bridge/Relay.h"

#include <csignal>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    using namespace automation::bridge;
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv, argv + argc);
    HostInfo info;
    info.origin = originFromArguments(args);
    info.browserPid = ::getppid();
    info.profile = profileFromCommandLine(readCommandLine(info.browserPid));
    Relay relay(STDIN_FILENO, STDOUT_FILENO, {bridgeFolder(), hostMessage(info)});
    return relay.run();
}
