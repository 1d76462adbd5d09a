#pragma once
// Who is at the other end of a local (Unix domain) socket.

namespace tovik::platform {

// True when the process at the other end of the connected local socket runs as the same
// user as this one. False when that cannot be told.
bool PeerIsSameUser(int socketDescriptor);

} // namespace tovik::platform
