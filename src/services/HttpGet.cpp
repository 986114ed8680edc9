#include "services/HttpGet.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "language/MessageCatalogue.h"

namespace vornak::services {
namespace {

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

int64_t wholeSeconds(std::chrono::milliseconds limit) {
    return (limit.count() + 999) / 1000;
}

}  // namespace

// The manager lives as long as the job: a reply is never deleted from inside
// its own signal, however the callback goes on.
struct HttpGetJob::State {
    QNetworkAccessManager manager;
    QTimer deadline;
    QPointer<QNetworkReply> reply;
    HttpGetRequest request;
    std::function<void(const HttpResult&)> done;
    bool timedOut = false;
    bool tooLong = false;

    void drop() {
        deadline.stop();
        if (reply) {
            reply->disconnect();
            reply->abort();
            reply->deleteLater();
        }
        reply = nullptr;
        done = nullptr;
    }
    void finished(QNetworkReply* ended);
};

HttpGetJob::HttpGetJob() : state_(std::make_unique<State>()) {
    state_->manager.setProxy(QNetworkProxy::NoProxy);
    state_->deadline.setSingleShot(true);
    State* state = state_.get();
    QObject::connect(&state_->deadline, &QTimer::timeout, &state_->deadline, [state] {
        if (state->reply) {
            state->timedOut = true;
            state->reply->abort();
        }
    });
}

HttpGetJob::~HttpGetJob() {
    state_->drop();
}

bool HttpGetJob::running() const {
    return !state_->reply.isNull();
}

void HttpGetJob::start(const HttpGetRequest& request, std::function<void(const HttpResult&)> done) {
    const QUrl url = QUrl::fromEncoded(bytes(request.address), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw std::runtime_error(messageText(Msg::fmtInvalidAddress, {request.address}));

    State& state = *state_;
    state.drop();
    state.request = request;
    state.done = std::move(done);
    state.timedOut = false;
    state.tooLong = false;

    QNetworkRequest qtRequest(url);
    for (const auto& [name, value] : request.headers)
        qtRequest.setRawHeader(bytes(name), bytes(value));
    // A redirection is an answer of its own, not the version number.
    qtRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::ManualRedirectPolicy);
    qtRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                           QNetworkRequest::AlwaysNetwork);

    QNetworkReply* reply = state.manager.get(qtRequest);
    state.reply = reply;
    State* s = &state;
    // A server that sends without end must not fill the memory.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [s, reply] {
        if (reply->bytesAvailable() > s->request.maxBodyBytes && !s->tooLong) {
            s->tooLong = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [s, reply] { s->finished(reply); });
    state.deadline.start(request.timeLimit);
}

void HttpGetJob::State::finished(QNetworkReply* ended) {
    deadline.stop();
    HttpResult result;
    if (tooLong) {
        result.tooLong = true;
    } else if (timedOut) {
        result.error =
            messageText(Msg::fmtNoAnswer, {request.address, wholeSeconds(request.timeLimit)});
    } else if (ended->error() != QNetworkReply::NoError) {
        result.error = ended->errorString().toStdString();
    } else {
        const int status = ended->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 200 || status > 299) {
            const QString reason =
                ended->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            result.error = "HTTP/1.1 " + std::to_string(status) + " " + reason.toStdString();
        } else {
            const QByteArray body = ended->readAll();
            result.body.assign(body.constData(), static_cast<size_t>(body.size()));
        }
    }
    ended->disconnect();
    ended->deleteLater();
    reply = nullptr;
    // Taken out first: the callback may start the next request on this job.
    auto callback = std::move(done);
    done = nullptr;
    if (callback)
        callback(result);
}

}  // namespace vornak::services
