#include "services/MakerServer.h"

#include <cstdlib>

#ifndef VORNAK_DEFAULT_UPDATE_SERVER
#define VORNAK_DEFAULT_UPDATE_SERVER ""
#endif

namespace vornak::services {
namespace {

std::string setting() {
    const char* value = std::getenv("VORNAK_UPDATE_SERVER");
    return value ? std::string(value) : std::string();
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "http://user@Host.Example:80/x" -> "host.example"
std::string hostOf(const std::string& address) {
    size_t start = address.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::string host = address.substr(start, address.find_first_of("/?#", start) - start);
    if (const size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    if (!host.empty() && host.front() == '[')
        return lowerAscii(host);  // an IPv6 address is a real one
    if (const size_t colon = host.find(':'); colon != std::string::npos)
        host.resize(colon);
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return lowerAscii(host);
}

bool endsWithLabel(const std::string& host, const std::string& label) {
    return host == label || (host.size() > label.size() && host.ends_with(label) &&
                             host[host.size() - label.size() - 1] == '.');
}

}  // namespace

std::string makerServer(const std::string& setting) {
    std::string address = setting.empty() ? std::string(VORNAK_DEFAULT_UPDATE_SERVER) : setting;
    if (address.empty())
        return address;
    if (address.find("://") == std::string::npos)
        address = "http://" + address;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

std::string makerServer() {
    return makerServer(setting());
}

bool makerServerConfigured(const std::string& setting) {
    const std::string host = hostOf(makerServer(setting));
    if (host.empty())
        return false;
    for (const char* reserved : {"example", "invalid", "test"})
        if (endsWithLabel(host, reserved))
            return false;
    return true;
}

bool makerServerConfigured() {
    return makerServerConfigured(setting());
}

std::string websiteAddress() {
    return makerServer() + "/";
}

std::string updateScriptAddress() {
    return makerServer() + "/update.php?appid=4";
}

}  // namespace vornak::services
