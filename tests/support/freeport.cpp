#include "tests/support/freeport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether the port can be bound on every address now; with `port` 0, the one the system gave.
bool bindable(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (bound) port = ntohs(address.sin_port);
    ::close(fd);
    return bound;
}

} // namespace

// Taken at random below the system's range of ephemeral ports (32768 and up on Linux): a port the
// system hands out for bind(0) may be the next one it gives an outgoing connection of another
// test running beside this one, which then holds it when the panel comes to listen.
std::uint16_t freeTcpPort() {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> below(20000, 32767);
    for (int i = 0; i < 200; ++i) {
        std::uint16_t port = std::uint16_t(below(random));
        if (bindable(port)) return port;
    }
    std::uint16_t any = 0;
    return bindable(any) ? any : 0;
}
