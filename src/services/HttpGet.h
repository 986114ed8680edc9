// One HTTP GET whose answer comes later, on the thread that asked (the user
// interface thread), from its event loop: the command that asks returns at once
// and the windows, modal ones included, carry on meanwhile. A server that never
// answers is given up after a time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
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

// How a request ended: the body, whole, or the client's text of what went
// wrong (refused, unknown host, an error status, no answer within the limit).
struct HttpResult {
    std::string body;
    std::string error;     // empty when the body is the answer
    bool tooLong = false;  // longer than allowed: nothing of it is kept
};

class HttpGetJob {
  public:
    HttpGetJob();
    // A request still under way is dropped; its callback never runs.
    ~HttpGetJob();
    HttpGetJob(const HttpGetJob&) = delete;
    HttpGetJob& operator=(const HttpGetJob&) = delete;

    // Sends `request`; `done` runs once, later, with how it ended. An address
    // that is no web address throws std::runtime_error here, and nothing is sent.
    void start(const HttpGetRequest& request, std::function<void(const HttpResult&)> done);
    bool running() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vornak::services
