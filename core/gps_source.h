#pragma once
// The names of the GPS link's sources, as [Com] Device, the options page and `navorel-cli gps`
// take them:
//   a device path        a serial port or pseudo-terminal ("/dev/ttyUSB0")
//   tcp:HOST:PORT        a TCP server the link connects to (a multiplexer, a chart plotter)
//   udp:PORT             UDP datagrams to PORT on every address of this machine, so that the
//                        broadcasts of the boat's network come in
//   udp:ADDRESS:PORT     UDP datagrams to PORT on that one local address only (IPv4, or IPv6
//                        in brackets: "udp:[::1]:10110")
#include <string>
#include <string_view>

namespace navorel {

struct GpsSourceName {
    enum class Kind { Device, Tcp, Udp } kind = Kind::Device;
    std::string device; // Device: the path as given
    std::string host;   // Tcp: the host name or address; Udp: the address, "" for every one
    int port = 0;       // Tcp, Udp: 1 to 65535
};

// Reads a source name. False with a one-line reason in `error` for an empty name, a missing or
// out-of-range port, or a tcp: name without a host. The addresses are not resolved here.
bool parseGpsSource(std::string_view text, GpsSourceName& out, std::string& error);

} // namespace navorel
