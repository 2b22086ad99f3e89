#include "platform/SingleInstance.h"

#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
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

// Whether the process at the other end of the connected socket `fd` runs as this user.
bool peerIsOurs(qintptr fd)
{
    if (fd < 0) return false;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return false;
    return peer.uid == ::geteuid();
}

// Whether the file at `path` (not followed if a link) is the user's own, so it may be removed.
bool isOurs(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid();
}

} // namespace

QString SingleInstance::socketPath()
{
    const QString name = QStringLiteral("/snapkin-%1.instance").arg(displayTag());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) &&
        PrivateFolder::isPrivate(QDir::cleanPath(runtime)))
        return QDir::cleanPath(runtime) + name;
    // Never a shared folder such as /tmp, where another user could listen on the name first.
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString parent = QDir::cleanPath(cache) + QStringLiteral("/snapkin");
    const QString folder = parent + QStringLiteral("/instance");
    QDir().mkpath(parent);
    if (!PrivateFolder::makePrivate(folder)) return {};
    return folder + name;
}

SingleInstance::SingleInstance(QString path, QObject* parent)
    : QObject(parent), m_path(std::move(path))
{
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
    if (m_path.isEmpty()) return Role::failed;
    const auto handOver = [&]() -> std::optional<Role> {
        switch (forward(absolute, timeoutMs)) {
        case Handover::delivered:
            return Role::forwarded;
        case Handover::refused:
            return Role::refused;
        case Handover::nobody:
            break;
        }
        return std::nullopt;
    };
    if (const auto role = handOver()) return *role;
    if (listen()) return Role::primary;
    // Another process may have started listening between the two steps.
    return handOver().value_or(Role::failed);
}

SingleInstance::Handover SingleInstance::forward(const QStringList& files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs)) return Handover::nobody;
    // Who listens is checked before a byte goes out: the paths are the user's business.
    if (!peerIsOurs(socket.socketDescriptor())) {
        socket.abort();
        return Handover::refused;
    }
    socket.write(encode(files));
    if (!socket.waitForBytesWritten(timeoutMs)) return Handover::nobody;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return Handover::delivered;
}

bool SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // When the path is taken, nobody answered on it (forward() failed), so the file is a dead
    // process's; it is removed only when it is ours.
    if (!server->listen(m_path) &&
        !(isOurs(m_path) && QLocalServer::removeServer(m_path) && server->listen(m_path))) {
        delete server;
        return false;
    }
    m_server = server;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // A process of another user is hung up on before anything it sent is read.
        if (!peerIsOurs(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
