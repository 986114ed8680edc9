// One HTTP GET whose whole answer the caller waits for on the user interface
// thread. The thread's event loop runs on meanwhile, so windows repaint and
// take input; a server that never answers is given up after a time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vornak::services {

struct HttpGetRequest {
    std::string address;
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::milliseconds timeLimit{20000};
    int64_t maxBodyBytes = 1 << 20;  // a longer answer is not read to its end
};

// The answer was longer than the request allows; nothing of it is kept.
class HttpAnswerTooLong : public std::runtime_error {
  public:
    HttpAnswerTooLong() : std::runtime_error("The answer is too long.") {}
};

// The answer's body, whole. A request that fails (refused, unknown host, an
// error status, no answer within the limit) throws std::runtime_error with the
// client's text; an answer longer than allowed throws HttpAnswerTooLong. When the application quits
// during the wait it throws the silent abort: nobody is left to tell.
std::string httpGet(const HttpGetRequest& request);

}  // namespace vornak::services
