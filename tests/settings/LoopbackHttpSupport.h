#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

// A one-port HTTP server on 127.0.0.1 that records every request it gets and answers each
// with the status and body it was given, or not at all when told to stay silent.
class LoopbackHttp : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QByteArray header(const QByteArray& name) const;
    };

    LoopbackHttp();
    quint16 port() const { return m_server.serverPort(); }
    QString url() const;

    void answer(int status, QByteArray body, QByteArray contentType = "application/json");
    void staySilent() { m_silent = true; }

    const QList<Request>& requests() const { return m_requests; }
    int connections() const { return m_connections; }

    // A port on which nothing listens (it was just free).
    static quint16 closedPort();

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    int m_status = 200;
    QByteArray m_body = R"({"ok":true})";
    QByteArray m_contentType = "application/json";
    bool m_silent = false;
    QList<Request> m_requests;
    int m_connections = 0;
};
