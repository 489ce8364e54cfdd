// navorel-cli gps and gps simulate through a real pseudo-terminal pair and real loopback
// sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::string cli() {
    return std::string("timeout 20 ") + NAVOREL_CLI + " ";
}

// A command started in the background; finish() reads its output and exit code.
struct Running {
    FILE* pipe;
    explicit Running(const std::string& command)
        : pipe(::popen((command + " 2>&1").c_str(), "r")) {}
    std::string finish(int& code) {
        std::string out;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        const int status = ::pclose(pipe);
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return out;
    }
};

std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

const std::string kFixes = sentence("GNRMC,120000,A,4221.600,N,07042.000,W,6.0,138.3,010624,,") +
                           "junk\r\n" + sentence("GPRMC,120001,V,,,,,,,010624,,") +
                           sentence("GPRMC,120002,A,4221.400,N,07041.800,W,6.1,138.0,010624,,");
const std::string kPrinted = "fix 2024-06-01T12:00:00 -70.700000 42.360000 6.00 138.3\n"
                             "fix 2024-06-01T12:00:02 -70.696667 42.356667 6.10 138.0\n";

// Waits (at most 20 s) until a process other than this one holds `path` open: the reader has
// opened the port, whatever the machine's load.
bool openedByAnother(const std::string& path) {
    const std::string self = std::to_string(::getpid());
    for (int k = 0; k < 2000; ++k) {
        std::error_code ec;
        for (const auto& process : std::filesystem::directory_iterator("/proc", ec)) {
            const std::string pid = process.path().filename().string();
            if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
            std::error_code fdError;
            for (const auto& fd :
                 std::filesystem::directory_iterator(process.path() / "fd", fdError))
                if (std::filesystem::read_symlink(fd.path(), fdError).string() == path) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Writes the bytes in two pieces cut at `cut`, a little apart.
void writeSplit(int fd, const std::string& bytes, std::size_t cut) {
    ASSERT_EQ(::write(fd, bytes.data(), cut), static_cast<ssize_t>(cut));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(::write(fd, bytes.data() + cut, bytes.size() - cut),
              static_cast<ssize_t>(bytes.size() - cut));
}

TEST(GpsCli, PseudoTerminalThatVanishesEndsTheReading) {
    for (const std::size_t cut : {std::size_t{3}, std::size_t{40}, kFixes.size() - 2}) {
        int master, slave;
        char path[256];
        ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
        ::fcntl(master, F_SETFD, FD_CLOEXEC); // the reader must not hold the master open
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        Running gps(cli() + "gps " + path);
        ASSERT_TRUE(openedByAnother(path)) << path;
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // it sets raw
        ::close(slave);
        writeSplit(master, kFixes, cut);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(master); // the port vanishes
        int code;
        const std::string out = gps.finish(code);
        EXPECT_EQ(code, 1);
        ASSERT_EQ(out.substr(0, kPrinted.size()), kPrinted) << out;
        const std::string error = out.substr(kPrinted.size());
        EXPECT_NE(error.find(std::string("navorel-cli: ") + path + ": the port or connection"),
                  std::string::npos)
            << error;
        EXPECT_EQ(error.find('\n'), error.size() - 1); // one line
    }
}

TEST(GpsCli, TcpConnectionLostThenReopened) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 2), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
    const std::string source = "tcp:127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    const auto serve = [&](const std::string& command, int& code) {
        Running gps(command);
        pollfd p{listener, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 10000), 1);
        const int client = ::accept(listener, nullptr, nullptr);
        writeSplit(client, kFixes, 17);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(client);
        return gps.finish(code);
    };
    int code;
    std::string out = serve(cli() + "gps " + source, code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, kPrinted + "navorel-cli: " + source + ": the port or connection was closed\n");
    out = serve(cli() + "gps " + source + " --count 2", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, kPrinted);
    ::close(listener);
}

TEST(GpsCli, SimulatorFeedsTheReader) {
    // Through a pseudo-terminal the simulator makes and through UDP on the loopback.
    int code;
    Running pty(cli() + "gps simulate --rate 20 --count 40 --wait 1 --start 2024-06-01T12:00 pty");
    char line[256] = "";
    ASSERT_TRUE(std::fgets(line, sizeof line, pty.pipe));
    std::string path = line;
    ASSERT_EQ(path.rfind("pty /dev/", 0), 0u) << path;
    path = path.substr(4, path.size() - 5);
    std::string out = Running(cli() + "gps " + path + " --count 3").finish(code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out.rfind("fix 2024-06-01T12:00:00 -70.69", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
    // Left without a reader, it gives up after --wait.
    out = pty.finish(code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("navorel-cli: nobody read " + path), std::string::npos) << out;

    // A free UDP port: the one the system hands out for port 0.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &length), 0);
    ::close(probe);
    const std::string port = std::to_string(ntohs(a.sin_port));
    Running gps(cli() + "gps udp:" + port + " --count 2");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Running(cli() + "gps simulate --rate 20 --count 20 --talker GP udp:" + port).finish(code);
    EXPECT_EQ(code, 0);
    out = gps.finish(code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
}

TEST(GpsCli, UdpListensOnEveryAddressOrTheOneGiven) {
    // The whole of 127/8 is the loopback: 127.0.0.2 stands for a second interface.
    const std::string toFirst = sentence("GPRMC,120000,A,4210.000,N,07036.000,W,6.0,90.0,010624,,");
    const std::string toSecond =
        sentence("GPRMC,120001,A,4220.000,N,07036.000,W,6.0,90.0,010624,,");
    struct Case {
        std::string address; // "" for udp:PORT
        std::string printed; // the first fix printed
    };
    const Case cases[] = {
        {"", "fix 2024-06-01T12:00:00 -70.600000 42.166667 6.00 90.0\n"},
        {"127.0.0.2:", "fix 2024-06-01T12:00:01 -70.600000 42.333333 6.00 90.0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        socklen_t length = sizeof a;
        ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &length), 0);
        ::close(probe);
        Running gps(cli() + "gps udp:" + c.address + std::to_string(ntohs(a.sin_port)) +
                    " --count 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
        for (const auto& [to, bytes] : {std::pair{"127.0.0.1", toFirst}, {"127.0.0.2", toSecond}}) {
            inet_pton(AF_INET, to, &a.sin_addr);
            ::sendto(sender, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a),
                     sizeof a);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::close(sender);
        int code;
        const std::string out = gps.finish(code);
        EXPECT_EQ(code, 0) << out;
        EXPECT_EQ(out, c.printed);
    }
    // An address that is not one of this machine's is refused.
    int code;
    const std::string out = Running(cli() + "gps udp:192.0.2.1:10110").finish(code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot listen on udp:192.0.2.1:10110"), std::string::npos) << out;
}

} // namespace
