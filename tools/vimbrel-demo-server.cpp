// The demo update server: serves showtime.zip at /download/showtime.zip over
// HTTP/1.0, on loopback. The archive is generated (the week that holds today)
// or, with --xmltv, packed from a real guide: a file, packed again when it
// changes, or an http/https URL, fetched at start and then once an hour.
// Started as root to bind a low port, it runs on as the invoking user (or
// nobody) from right after binding.
#include <QCoreApplication>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <grp.h>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "CommandLine.h"
#include "DemoArchive.h"
#include "GuideFeed.h"

namespace {

void Log(const std::string& line) {
    std::fprintf(stderr, "vimbrel-demo-server: %s\n", line.c_str());
    std::fflush(stderr);
}

// A listening socket on loopback, and the port it got (port 0: any free one).
int Listen(int& port) {
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // this machine only
    socklen_t length = sizeof addr;
    if (server < 0 || bind(server, reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
        listen(server, 16) != 0 ||
        getsockname(server, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return -1;
    port = ntohs(addr.sin_port);
    return server;
}

// Root only binds: it reads and fetches nothing. The invoking user (sudo's
// SUDO_UID/SUDO_GID) takes over, or nobody.
bool DropRoot(std::string& why) {
    if (geteuid() != 0) return true;
    uid_t uid = 0;
    gid_t gid = 0;
    const char* sudoUid = std::getenv("SUDO_UID");
    const char* sudoGid = std::getenv("SUDO_GID");
    if (sudoUid && sudoGid && std::atol(sudoUid) > 0) {
        uid = uid_t(std::atol(sudoUid));
        gid = gid_t(std::atol(sudoGid));
    } else if (const passwd* nobody = getpwnam("nobody")) {
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    if (uid == 0 || setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 ||
        setuid(0) == 0) {
        why = uid == 0 ? "no user to run as" : std::strerror(errno);
        return false;
    }
    return true;
}

std::string Answer(const std::string& request, const std::string* zip) {
    // The request line may name the full URL when a proxy hands it on.
    const std::size_t sp = request.find(' ');
    const std::string target = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
    const bool wanted = target.size() >= 22 &&
                        target.compare(target.size() - 22, 22, "/download/showtime.zip") == 0;
    if (wanted && zip)
        return "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
               std::to_string(zip->size()) + "\r\n\r\n" + *zip;
    const std::string body = wanted ? "no schedule packed yet\n" : "not found\n";
    return std::string(wanted ? "HTTP/1.0 503 Service Unavailable" : "HTTP/1.0 404 Not Found") +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string ReadRequest(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t n = recv(client, buf, sizeof buf, 0);
        if (n <= 0) return {};
        request.append(buf, std::size_t(n));
    }
    return request;
}

void Send(int client, const std::string& answer) {
    for (std::size_t sent = 0; sent < answer.size();) {
        const ssize_t n = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
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
    int port = int(a.Number("--port", 80, 0, 65535));
    const int stations = int(a.Number("--stations", 30, 1, 100000));
    const std::string guide = a.Value("--xmltv");
    const TSocket server(Listen(port));
    if (server.fd < 0)
        throw std::runtime_error(std::string("cannot listen: ") + std::strerror(errno));
    std::string why;
    if (!DropRoot(why)) throw std::runtime_error("cannot give up root: " + why);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::unique_ptr<TGuideFeed> feed;
    std::shared_ptr<const std::string> generated;
    if (guide.empty()) {
        TSampleOptions options;
        ThisWeeksMonday(options);
        options.stations = stations;
        generated = std::make_shared<const std::string>(MakeShowtimeZip(options));
    } else {
        feed = std::make_unique<TGuideFeed>(guide, Log);
        if (TGuideFeed::IsUrl(guide)) feed->StartHourly();
    }
    std::printf("serving %s at http://localhost:%d/download/showtime.zip\n",
                guide.empty() ? (std::to_string(stations) + " stations").c_str() : guide.c_str(),
                port);
    std::fflush(stdout);
    for (;;) {
        const TSocket client(accept4(server.fd, nullptr, nullptr, SOCK_CLOEXEC));
        if (client.fd < 0) continue;
        const std::string request = ReadRequest(client.fd);
        if (request.empty()) continue;
        const std::shared_ptr<const std::string> zip = feed ? feed->Archive() : generated;
        Send(client.fd, Answer(request, zip.get()));
    }
}

const TTool& Tool() {
    static const TTool tool{
        "vimbrel-demo-server",
        "Serves showtime.zip at http://localhost:PORT/download/showtime.zip, to this machine "
        "only: a freshly made one (the week that holds today), or an XMLTV guide packed.",
        {
            {"--port N", "the port to listen on (80; 0 takes any free one)"},
            {"--stations N", "how many stations the made archive holds (30)"},
            {"--xmltv GUIDE", "serve this guide: a file, packed again when it changes, or an "
                              "http/https URL, fetched at start and then hourly"},
        },
        {{"", "", ServeForever}}};
    return tool;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunTool(Tool(), argc, argv);
}
