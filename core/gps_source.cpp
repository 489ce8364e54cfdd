#include "core/gps_source.h"

#include <charconv>

namespace navorel {
namespace {

bool readPort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

// "HOST:PORT"; an IPv6 host comes in brackets, which are taken off.
bool splitHostPort(std::string_view text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || !readPort(text.substr(colon + 1), port)) return false;
    std::string_view h = text.substr(0, colon);
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    host.assign(h);
    return true;
}

} // namespace

bool parseGpsSource(std::string_view text, GpsSourceName& out, std::string& error) {
    const std::string name(text);
    GpsSourceName s;
    if (text.empty()) {
        error = "no GPS source is set";
        return false;
    }
    if (text.substr(0, 4) == "tcp:") {
        s.kind = GpsSourceName::Kind::Tcp;
        if (!splitHostPort(text.substr(4), s.host, s.port) || s.host.empty()) {
            error = "'" + name + "' is not tcp:HOST:PORT";
            return false;
        }
    } else if (text.substr(0, 4) == "udp:") {
        s.kind = GpsSourceName::Kind::Udp;
        const std::string_view rest = text.substr(4);
        const bool withAddress = rest.find(':') != std::string_view::npos;
        if (withAddress ? !splitHostPort(rest, s.host, s.port) || s.host.empty()
                        : !readPort(rest, s.port)) {
            error = "'" + name + "' is not udp:PORT or udp:ADDRESS:PORT";
            return false;
        }
    } else {
        s.device = name;
    }
    out = std::move(s);
    return true;
}

} // namespace navorel
