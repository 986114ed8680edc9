#include "services/HttpGet.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "registry/SilentAbort.h"

namespace vornak::services {
namespace {

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string limitText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0)
        return std::to_string(limit.count() / 1000) + " seconds";
    return std::to_string(limit.count()) + " milliseconds";
}

}  // namespace

std::string httpGet(const HttpGetRequest& request) {
    const QUrl url = QUrl::fromEncoded(bytes(request.address), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw std::runtime_error("Invalid web address: " + request.address);

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest qtRequest(url);
    for (const auto& [name, value] : request.headers)
        qtRequest.setRawHeader(bytes(name), bytes(value));
    // A redirection is an answer of its own, not the version number.
    qtRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::ManualRedirectPolicy);
    qtRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                           QNetworkRequest::AlwaysNetwork);

    QNetworkReply* reply = manager.get(qtRequest);  // owned by the manager
    QEventLoop wait;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false;
    bool tooLong = false;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    // A server that sends without end must not fill the memory.
    QObject::connect(reply, &QNetworkReply::readyRead, &wait, [&] {
        if (reply->bytesAvailable() > request.maxBodyBytes && !tooLong) {
            tooLong = true;
            reply->abort();
        }
    });
    QObject::connect(&deadline, &QTimer::timeout, &wait, [&] {
        timedOut = true;
        reply->abort();
    });
    deadline.start(request.timeLimit);
    if (!reply->isFinished())
        wait.exec();
    deadline.stop();

    if (!reply->isFinished()) {
        // The loop was ended from outside: the application is quitting.
        reply->abort();
        throw SilentAbort();
    }
    if (tooLong)
        throw HttpAnswerTooLong();
    if (timedOut)
        throw std::runtime_error("No answer from " + request.address + " within " +
                                 limitText(request.timeLimit) + ".");
    if (reply->error() != QNetworkReply::NoError)
        throw std::runtime_error(reply->errorString().toStdString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        throw std::runtime_error("HTTP/1.1 " + std::to_string(status) + " " + reason.toStdString());
    }
    const QByteArray body = reply->readAll();
    return std::string(body.constData(), static_cast<size_t>(body.size()));
}

}  // namespace vornak::services
