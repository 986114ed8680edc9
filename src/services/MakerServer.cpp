#include "services/MakerServer.h"

#include <cstdlib>

#ifndef VORNAK_DEFAULT_UPDATE_SERVER
#define VORNAK_DEFAULT_UPDATE_SERVER "www.vornak-software.example"
#endif

namespace vornak::services {

std::string makerServer(const std::string& setting) {
    std::string address = setting.empty() ? std::string(VORNAK_DEFAULT_UPDATE_SERVER) : setting;
    if (address.find("://") == std::string::npos)
        address = "http://" + address;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

std::string makerServer() {
    const char* setting = std::getenv("VORNAK_UPDATE_SERVER");
    return makerServer(setting ? std::string(setting) : std::string());
}

std::string websiteAddress() {
    return makerServer() + "/";
}

std::string updateScriptAddress() {
    return makerServer() + "/update.php?appid=4";
}

}  // namespace vornak::services
