#include "platform/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace snapkin::platform {

namespace {

// A request is a few paths; anything larger is not one of ours.
constexpr qint64 maximumMessageBytes = 4 * 1024 * 1024;

QString displayTag()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString tag;
    for (const QChar c : display)
        tag += c.isLetterOrNumber() || c == QLatin1Char('.') ? c : QLatin1Char('_');
    return tag.isEmpty() ? QStringLiteral("none") : tag;
}

} // namespace

QString SingleInstance::socketPath()
{
    const QString name = QStringLiteral("snapkin-%1.instance").arg(displayTag());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime) + QLatin1Char('/') + name;
    return QDir::tempPath() +
           QStringLiteral("/snapkin-%1-%2.instance").arg(::getuid()).arg(displayTag());
}

SingleInstance::SingleInstance(QString path, QObject* parent)
    : QObject(parent), m_path(std::move(path))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server) m_server->close(); // removes the socket file
}

QByteArray SingleInstance::encode(const QStringList& absolutePaths)
{
    QJsonObject object;
    if (absolutePaths.isEmpty())
        object.insert(QStringLiteral("reopen"), true);
    else
        object.insert(QStringLiteral("open"), QJsonArray::fromStringList(absolutePaths));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QStringList SingleInstance::decode(const QByteArray& message, bool* valid)
{
    *valid = false;
    const QJsonDocument document = QJsonDocument::fromJson(message);
    if (!document.isObject()) return {};
    const QJsonObject object = document.object();
    if (object.value(QStringLiteral("reopen")).toBool()) {
        *valid = true;
        return {};
    }
    const QJsonValue open = object.value(QStringLiteral("open"));
    if (!open.isArray()) return {};
    QStringList paths;
    for (const QJsonValue& value : open.toArray()) {
        // Only absolute paths: the other process's working folder means nothing here.
        if (!value.isString() || !QDir::isAbsolutePath(value.toString())) return {};
        paths << value.toString();
    }
    *valid = !paths.isEmpty();
    return paths;
}

SingleInstance::Role SingleInstance::claim(const QStringList& files, int timeoutMs)
{
    QStringList absolute;
    for (const QString& file : files)
        absolute << QFileInfo(file).absoluteFilePath();
    if (forward(absolute, timeoutMs)) return Role::forwarded;
    if (listen()) return Role::primary;
    // Another process may have started listening between the two steps.
    if (forward(absolute, timeoutMs)) return Role::forwarded;
    return Role::failed;
}

bool SingleInstance::forward(const QStringList& files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(encode(files));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_path)) {
        // Nobody answered on the path (forward() failed), so the file is a dead process's.
        QLocalServer::removeServer(m_path);
        if (!server->listen(m_path)) {
            delete server;
            return false;
        }
    }
    m_server = server;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        const auto take = [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > maximumMessageBytes) socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        // The request is whole once the sender has hung up.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer, take] {
            take();
            if (buffer->size() > maximumMessageBytes) return;
            bool valid = false;
            const QStringList paths = decode(*buffer, &valid);
            if (!valid) return;
            if (paths.isEmpty())
                emit reopenRequested();
            else
                emit filesRequested(paths);
        });
    }
}

} // namespace snapkin::platform
