#include "LoopbackHttpSupport.h"

#include <QTcpSocket>

QByteArray LoopbackHttp::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    return {};
}

LoopbackHttp::LoopbackHttp()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

QString LoopbackHttp::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/api/subscribe").arg(port());
}

void LoopbackHttp::answer(int status, QByteArray body, QByteArray contentType)
{
    m_status = status;
    m_body = std::move(body);
    m_contentType = std::move(contentType);
}

quint16 LoopbackHttp::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LoopbackHttp::serve(QTcpSocket* socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    qsizetype length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0) continue;
        const QByteArray key = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({key, value});
        if (key.compare("content-length", Qt::CaseInsensitive) == 0) length = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + length) return; // the body is still coming
    request.body = buffer.mid(headerEnd + 4, length);
    socket->setProperty("buffer", QByteArray());
    m_requests.append(request);
    if (m_silent) return;
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(m_status) + " Answer\r\n";
    reply += "Content-Type: " + m_contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n" + m_body;
    socket->write(reply);
    socket->disconnectFromHost();
}
