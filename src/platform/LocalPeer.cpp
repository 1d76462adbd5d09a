#include "platform/LocalPeer.h"

#if defined(__linux__)
#include <sys/socket.h>
#include <unistd.h>
#elif defined(__unix__) || defined(__APPLE__)
#include <sys/types.h>
#include <unistd.h>
#endif

namespace tovik::platform {

bool PeerIsSameUser(int socketDescriptor) {
    if (socketDescriptor < 0)
        return false;
#if defined(__linux__)
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return false;
    return credentials.uid == ::geteuid();
#elif defined(__unix__) || defined(__APPLE__)
    uid_t user = 0;
    gid_t group = 0;
    if (::getpeereid(socketDescriptor, &user, &group) != 0)
        return false;
    return user == ::geteuid();
#else
    // Named pipes: the server's access list already admits its own user only.
    return true;
#endif
}

} // namespace tovik::platform
