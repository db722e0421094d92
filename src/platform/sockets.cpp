#include "platform/sockets.h"

#include <cerrno>
#include <poll.h>

bool waitUntilReadable(int socket, int milliseconds)
{
    if (socket < 0)
        return false;
    pollfd watched{socket, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&watched, 1, milliseconds);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}
