#include "cli/gps_io.h"

#include "core/gps_source.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace navorel::cli {
namespace {

std::string systemError() {
    return std::strerror(errno);
}

bool baudConstant(int rate, speed_t& speed) {
    static const struct {
        int rate;
        speed_t speed;
    } rates[] = {{150, B150},       {300, B300},      {600, B600},       {1200, B1200},
                 {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                 {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                 {460800, B460800}, {921600, B921600}};
    for (const auto& r : rates) {
        if (r.rate == rate) {
            speed = r.speed;
            return true;
        }
    }
    return false;
}

// Reads a port number 0..65535 (0 only when allowed).
bool readPort(const std::string& text, bool allowZero, int& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(text);
    return port <= 65535 && (allowZero || port > 0);
}

// "HOST:PORT" or "PORT" (host `defaultHost`) as an IPv4 address.
bool readAddress(const std::string& text, const char* defaultHost, bool allowZero, sockaddr_in& a) {
    const std::size_t colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? defaultHost : text.substr(0, colon);
    int port;
    if (!readPort(colon == std::string::npos ? text : text.substr(colon + 1), allowZero, port))
        return false;
    a = sockaddr_in{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return inet_pton(AF_INET, host.c_str(), &a.sin_addr) == 1;
}

std::string addressText(const sockaddr_in& a) {
    char host[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

int connectTcp(const GpsSourceName& source, const std::string& name, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(source.port);
    const int rc = getaddrinfo(source.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
        error = name + ": " + gai_strerror(rc);
        return -1;
    }
    int fd = -1;
    std::string why = "no address";
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            why = systemError();
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) error = "cannot connect to " + name + ": " + why;
    return fd;
}

// Without an address every IPv4 address of this machine is bound, for the broadcasts of the
// boat's network; with one (IPv4 or IPv6), only that one.
int bindUdp(const GpsSourceName& source, const std::string& name, std::string& error) {
    addrinfo hints{};
    hints.ai_family = source.host.empty() ? AF_INET : AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(source.port);
    const int rc = getaddrinfo(source.host.empty() ? nullptr : source.host.c_str(), port.c_str(),
                               &hints, &found);
    if (rc != 0) {
        error = "cannot listen on " + name + ": " + gai_strerror(rc);
        return -1;
    }
    const int fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd >= 0) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    }
    const bool bound = fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0;
    if (!bound) error = "cannot listen on " + name + ": " + systemError();
    freeaddrinfo(found);
    if (!bound && fd >= 0) ::close(fd);
    return bound ? fd : -1;
}

// Raw 8N1 without flow control, the given speed and parity; reads wait for one byte.
bool setRawLine(int fd, const SerialLine& line, std::string& error) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        error = "not a serial device or terminal (" + systemError() + ")";
        return false;
    }
    speed_t speed;
    if (!baudConstant(line.baudRate, speed)) {
        error = "baud rate " + std::to_string(line.baudRate) + " is not supported";
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB | PARODD);
    t.c_cflag |= CLOCAL | CREAD;
    if (line.parity == 1 || line.parity == 2) {
        t.c_cflag |= PARENB | (line.parity == 1 ? PARODD : 0);
        t.c_iflag |= INPCK;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        error = "the line settings are refused (" + systemError() + ")";
        return false;
    }
    return true;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

GpsSource::~GpsSource() {
    close();
}

void GpsSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool GpsSource::open(const std::string& name, const SerialLine& line, std::string& error) {
    close();
    name_ = name;
    GpsSourceName source;
    if (!parseGpsSource(name, source, error)) return false;
    if (source.kind == GpsSourceName::Kind::Tcp) {
        fd_ = connectTcp(source, name, error);
    } else if (source.kind == GpsSourceName::Kind::Udp) {
        fd_ = bindUdp(source, name, error);
    } else {
        // Opened without waiting for a carrier; reads wait once the line ignores it (CLOCAL).
        fd_ = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) {
            error = "cannot open " + name + ": " + systemError();
            return false;
        }
        std::string why;
        if (!setRawLine(fd_, line, why)) {
            error = name + ": " + why;
            close();
            return false;
        }
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    }
    return fd_ >= 0;
}

std::size_t GpsSource::read(char* buffer, std::size_t size, std::string& error) {
    if (fd_ < 0) {
        error = name_ + ": not open";
        return 0;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        // A pseudo-terminal whose other end closed answers EIO; a serial adapter pulled out
        // answers EIO or ENXIO, or end of file like a closed connection.
        error = name_ + ": " +
                (n == 0 ? std::string("the port or connection was closed")
                        : "the port or connection was lost (" + systemError() + ")");
        close();
        return 0;
    }
}

GpsSink::~GpsSink() {
    if (client_ >= 0) ::close(client_);
    if (fd_ >= 0) ::close(fd_);
}

bool GpsSink::open(const std::string& target, std::string& where, std::string& error) {
    if (target == "pty") {
        int slave = -1;
        char path[256] = "";
        if (openpty(&fd_, &slave, path, nullptr, nullptr) != 0) {
            error = "cannot create a pseudo-terminal: " + systemError();
            return false;
        }
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        // Only the reader holds the device open: the master then sees a hang-up while
        // nobody reads, and what is sent meanwhile is not kept for a later reader.
        ::close(slave);
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
        fcntl(fd_, F_SETFD, FD_CLOEXEC);
        kind_ = Kind::Pty;
        where = path;
        return true;
    }
    const bool tcp = target.rfind("tcp:", 0) == 0;
    if (!tcp && target.rfind("udp:", 0) != 0) {
        error = "'" + target + "' is not pty, tcp:PORT or udp:PORT";
        return false;
    }
    sockaddr_in a{};
    if (!readAddress(target.substr(4), "127.0.0.1", tcp, a)) {
        error = "'" + target + "' is not " + target.substr(0, 3) + ":[HOST:]PORT";
        return false;
    }
    fd_ = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = "cannot make a socket: " + systemError();
        return false;
    }
    const int on = 1;
    if (tcp) {
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        socklen_t length = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
            error = "cannot listen on " + target + ": " + systemError();
            return false;
        }
        kind_ = Kind::Tcp;
    } else {
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        udpTo_ = a;
        kind_ = Kind::Udp;
    }
    where = addressText(a);
    return true;
}

bool GpsSink::waitForReader(double seconds) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int left = static_cast<int>((seconds - secondsSince(start)) * 1000.0);
        if (kind_ == Kind::Udp || (kind_ == Kind::Tcp && client_ >= 0)) return true;
        if (kind_ == Kind::Pty) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP)) return true;
            if (left <= 0) return false;
            usleep(10000); // the hang-up of a master does not end when polled for
            continue;
        }
        if (kind_ != Kind::Tcp || left <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, left) > 0) client_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }
}

void GpsSink::send(const std::string& bytes) {
    if (kind_ == Kind::Udp) {
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&udpTo_),
               sizeof udpTo_);
        return;
    }
    const int fd = kind_ == Kind::Tcp ? client_ : fd_;
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = kind_ == Kind::Tcp
                              ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (kind_ == Kind::Tcp && !(n < 0 && errno == EAGAIN)) {
                ::close(client_);
                client_ = -1;
            }
            return; // a full pseudo-terminal loses the rest
        }
    }
}

} // namespace navorel::cli
