#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace automation::bridge {

// Where Tabulon listens for the browsers' hosts: $XDG_RUNTIME_DIR/tabulon, or
// /tmp/tabulon-UID when the session has no runtime folder.
std::string bridgeFolder();
inline constexpr const char* kSocketName = "bridge.sock";
std::string bridgeSocketPath(const std::string& folder);

// Makes the folder (mode 0700) when it is missing, then checks that it is a real
// folder, ours, and closed to everyone else; an error message when it is not.
std::optional<std::string> preparePrivateFolder(const std::string& folder);

// The user id of the process at the other end of a Unix socket.
std::optional<uid_t> peerUid(int fd);
// True when that process runs as this one's user.
bool peerIsSameUser(int fd);

// Connects to the socket at path; -1 with errno when nothing listens there.
int connectBridge(const std::string& path);

// Listens at path: bound under a temporary name and renamed into place once
// listening, so a host that sees the name appear can connect at once. -1 with errno
// on failure. A stale socket of an earlier run is replaced.
int listenBridge(const std::string& path);

// Accepts one host: its descriptor (non-blocking, close-on-exec), or -1 when none is
// waiting or its user is not ours (that connection is closed).
int acceptBridge(int listener);

} // namespace automation::bridge
