// A web server on 127.0.0.1 inside the test, answering by hand: it reads one
// request head per connection and sends what the test told it, or holds the
// answer back until released, or never answers at all.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>
#include <vector>

namespace vornak::test {

class HttpTestServer {
  public:
    HttpTestServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                watch(socket);
        });
    }

    // "http://127.0.0.1:<port>", for VORNAK_UPDATE_SERVER.
    std::string address() const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort());
    }

    // The next answers: a status line with its reason and a body, announced
    // as `length` bytes when that is given (a server that then stalls).
    void answer(const std::string& body, int status = 200, const std::string& reason = "OK",
                qsizetype length = -1) {
        whole_ = length < 0 || length == static_cast<qsizetype>(body.size());
        response_ = "HTTP/1.1 " + QByteArray::number(status) + " " + QByteArray(reason.c_str()) +
                    "\r\nContent-Type: text/html\r\nContent-Length: " +
                    QByteArray::number(length >= 0 ? length : static_cast<qsizetype>(body.size())) +
                    "\r\nConnection: close\r\n\r\n" + QByteArray(body.data(), body.size());
    }
    // Requests are read and never answered.
    void stall() { response_.clear(); }
    // Requests wait until release() sends them the answer set then.
    void hold() { held_ = true; }
    void release() {
        held_ = false;
        for (const QPointer<QTcpSocket>& socket : waiting_)
            if (socket)
                send(socket);
        waiting_.clear();
    }

    int requests() const { return static_cast<int>(heads_.size()); }
    const std::string& lastRequest() const { return heads_.back(); }

  private:
    void watch(QTcpSocket* socket) {
        auto* buffer = new QByteArray;
        QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            heads_.push_back(buffer->left(end + 2).toStdString());
            buffer->clear();
            if (held_)
                waiting_.push_back(socket);
            else
                send(socket);
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    void send(QTcpSocket* socket) {
        if (response_.isEmpty())
            return;
        socket->write(response_);
        if (whole_)
            socket->disconnectFromHost();
    }

    QTcpServer server_;
    QByteArray response_;
    bool whole_ = true;
    bool held_ = false;
    std::vector<QPointer<QTcpSocket>> waiting_;
    std::vector<std::string> heads_;
};

}  // namespace vornak::test
