// One HTTP GET whose whole answer the caller waits for on the user interface
// thread. The thread's event loop runs on meanwhile, so windows repaint and
// take input; a server that never answers is given up after a time limit.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace vornak::services {

struct HttpGetRequest {
    std::string address;
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::milliseconds timeLimit{20000};
};

// The answer's body, whole. A request that fails (refused, unknown host, an
// error status, no answer within the limit) throws std::runtime_error with the
// client's text. When the application quits during the wait it throws the
// silent abort: nobody is left to tell.
std::string httpGet(const HttpGetRequest& request);

}  // namespace vornak::services
