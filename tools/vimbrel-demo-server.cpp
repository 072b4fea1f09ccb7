// The demo update server: serves a freshly generated showtime.zip (the week
// that holds today, 30 stations) at /download/showtime.zip over HTTP/1.0.
#include <QCoreApplication>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "CommandLine.h"
#include "DemoArchive.h"

namespace {

std::string Answer(const std::string& request, const std::string& zip) {
    // The request line may name the full URL when a proxy hands it on.
    std::size_t sp = request.find(' ');
    std::string target = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
    if (target.size() >= 22 &&
        target.compare(target.size() - 22, 22, "/download/showtime.zip") == 0)
        return "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
               std::to_string(zip.size()) + "\r\n\r\n" + zip;
    const std::string body = "not found\n";
    return "HTTP/1.0 404 Not Found\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

void Serve(int client, const std::string& zip) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        ssize_t n = recv(client, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, std::size_t(n));
    }
    const std::string answer = Answer(request, zip);
    for (std::size_t sent = 0; sent < answer.size();) {
        ssize_t n = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += std::size_t(n);
    }
}

// Closes a socket when its holder goes.
struct TSocket {
    explicit TSocket(int fd) : fd(fd) {}
    ~TSocket() {
        if (fd >= 0) close(fd);
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    int fd;
};

int ServeForever(const TArguments& a) {
    const int port = int(a.Number("--port", 80, 1, 65535));
    TSampleOptions options;
    ThisWeeksMonday(options);
    options.stations = int(a.Number("--stations", options.stations, 1, 100000));
    const std::string zip = MakeShowtimeZip(options);

    TSocket server(socket(AF_INET, SOCK_STREAM, 0));
    int yes = 1;
    setsockopt(server.fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // this machine only
    if (server.fd < 0 || bind(server.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(server.fd, 16) != 0)
        throw std::runtime_error("cannot listen on port " + std::to_string(port) + ": " +
                                 std::strerror(errno));
    std::printf("serving %d stations at http://localhost:%d/download/showtime.zip\n",
                options.stations, port);
    std::fflush(stdout);
    for (;;) {
        TSocket client(accept(server.fd, nullptr, nullptr));
        if (client.fd >= 0) Serve(client.fd, zip);
    }
}

const TTool& Tool() {
    static const TTool tool{"vimbrel-demo-server",
                            "Serves a freshly made showtime.zip (the week that holds today) at "
                            "http://localhost:PORT/download/showtime.zip, to this machine only.",
                            {
                                {"--port N", "the port to listen on (80)"},
                                {"--stations N", "how many stations the archive holds (30)"},
                            },
                            {{"", "", ServeForever}}};
    return tool;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunTool(Tool(), argc, argv);
}
