#pragma once
// The byte transports of the GPS commands, on plain POSIX descriptors: the receiving end
// (a serial device or pseudo-terminal in raw mode, a TCP client, a UDP listener) and the
// simulator's sending end (a pseudo-terminal it creates, a TCP port it listens on, UDP
// datagrams).
#include <cstddef>
#include <netinet/in.h>
#include <string>

namespace navorel::cli {

// Line settings of a serial device; ignored for the network sources.
struct SerialLine {
    int baudRate = 4800;
    int parity = 0; // 0 none, 1 odd, 2 even
};

class GpsSource {
  public:
    GpsSource() = default;
    GpsSource(const GpsSource&) = delete;
    GpsSource& operator=(const GpsSource&) = delete;
    ~GpsSource();

    // Opens "tcp:HOST:PORT" (connects), "udp:PORT" (binds every address of this machine, for
    // broadcasts), "udp:ADDRESS:PORT" (binds that address only) or a device path (raw mode,
    // 8 data bits, one stop bit, no flow control); core/gps_source.h reads the name.
    bool open(const std::string& name, const SerialLine& line, std::string& error);
    // Waits for bytes. Answers their count; 0 when the port or connection is gone, with a
    // one-line message in `error`.
    std::size_t read(char* buffer, std::size_t size, std::string& error);
    void close();

  private:
    int fd_ = -1;
    std::string name_;
};

class GpsSink {
  public:
    GpsSink() = default;
    GpsSink(const GpsSink&) = delete;
    GpsSink& operator=(const GpsSink&) = delete;
    ~GpsSink();

    // "pty" (creates a pseudo-terminal), "tcp:PORT" or "tcp:HOST:PORT" (listens; PORT 0 takes a
    // free one; HOST defaults to 127.0.0.1), "udp:PORT" or "udp:HOST:PORT" (sends datagrams to
    // HOST, default 127.0.0.1; broadcast addresses are allowed). `where` tells the device path
    // or the address with the port actually taken.
    bool open(const std::string& target, std::string& where, std::string& error);
    // Waits up to `seconds` for a reader (the pseudo-terminal opened, a TCP client); true at
    // once for UDP or when one is there.
    bool waitForReader(double seconds);
    // Sends the bytes to the current reader; a reader that went away is dropped (the next
    // waitForReader waits for another) and bytes that do not fit are lost, as on a real line.
    void send(const std::string& bytes);

  private:
    enum class Kind { None, Pty, Tcp, Udp } kind_ = Kind::None;
    int fd_ = -1;     // pty master, listening socket or UDP socket
    int client_ = -1; // the accepted TCP client
    sockaddr_in udpTo_{};
};

} // namespace navorel::cli
