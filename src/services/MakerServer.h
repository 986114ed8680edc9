// Where the maker's web server is: the address built in, or the one the
// environment variable VORNAK_UPDATE_SERVER names instead ("host", "host:port"
// or "http://host:port"). The update script and the web site both live there.
// A build may name none: then neither can be reached, and the commands say so
// instead of failing on the network.
#pragma once

#include <string>

namespace vornak::services {

// The server's base address with its scheme and without a trailing slash,
// "http://www.example.com"; empty when none is configured.
std::string makerServer();
// The same for a given setting; an empty one gives the built-in server.
std::string makerServer(const std::string& setting);

// Whether a server is configured: one is named, and its host is not one of
// the names reserved never to exist (".example", ".invalid", ".test"), which
// only ever stood in for a real server.
bool makerServerConfigured();
bool makerServerConfigured(const std::string& setting);

// The root page of the maker's web site.
std::string websiteAddress();
// The update script, asked for the newest version of this program.
std::string updateScriptAddress();

}  // namespace vornak::services
