// The listening socket of a test server on 127.0.0.1 (an ephemeral port),
// with a wake pipe: once Stop() is called every wait returns false, so the
// server's thread ends.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

class LoopbackListener {
public:
    LoopbackListener() {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            listen(listener, 16) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
            pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::runtime_error("test server: cannot listen");
        port = ntohs(addr.sin_port);
    }
    ~LoopbackListener() {
        close(listener);
        close(wake[0]);
        close(wake[1]);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return port; }
    void Stop() {
        char one = 1;
        (void)!write(wake[1], &one, 1);
    }
    // Waits until fd is ready; false when the server is stopping.
    bool WaitFor(int fd, short events) {
        pollfd fds[2] = {{fd, events, 0}, {wake[0], POLLIN, 0}};
        while (poll(fds, 2, -1) < 0)
            if (errno != EINTR) return false;
        return !(fds[1].revents & POLLIN);
    }
    // The next connection, opened with flags (SOCK_NONBLOCK, ...); -1 when
    // the server is stopping or the accept failed.
    int Accept(int flags) {
        if (!WaitFor(listener, POLLIN)) return stopped = true, -1;
        return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | flags);
    }
    bool Stopped() const { return stopped; }

private:
    int listener = -1;
    int wake[2] = {-1, -1};
    int port = 0;
    bool stopped = false;
};
