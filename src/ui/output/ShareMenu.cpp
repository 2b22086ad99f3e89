#include "ui/output/ShareMenu.h"

#include "output/ExportService.h"
#include "platform/AtomicWrite.h"
#include "platform/L10n.h"
#include "platform/PrivateFolder.h"
#include "ui/output/ExportDialogs.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include <mutex>

namespace snapkin {

using platform::L10n;

namespace {

// Installed by tests (made on first use, whenever that is): process-wide, so behind a lock.
struct CustomDesktop {
    std::mutex mutex;
    ShareMenu::Desktop desktop;
};

CustomDesktop& customDesktop()
{
    static CustomDesktop installed;
    return installed;
}

ShareMenu::Desktop installedDesktop()
{
    const std::lock_guard lock(customDesktop().mutex);
    return customDesktop().desktop;
}

bool showThroughFileManager(const QString& path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

ShareMenu::Desktop ShareMenu::systemDesktop()
{
    Desktop d;
    d.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    d.startDetached = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    d.showItem = showThroughFileManager;
    d.findExecutable = [](const QString& program) {
        return QStandardPaths::findExecutable(program);
    };
    return d;
}

void ShareMenu::setDesktop(Desktop desktop)
{
    const std::lock_guard lock(customDesktop().mutex);
    customDesktop().desktop = std::move(desktop);
}

ShareMenu::ShareMenu(const QImage& image, const QString& savedFile, QWidget* parent)
    : QMenu(parent), m_image(image), m_savedFile(savedFile)
{
    m_desktop = systemDesktop();
    const Desktop custom = installedDesktop();
    if (custom.openUrl) m_desktop.openUrl = custom.openUrl;
    if (custom.startDetached) m_desktop.startDetached = custom.startDetached;
    if (custom.showItem) m_desktop.showItem = custom.showItem;
    if (custom.findExecutable) m_desktop.findExecutable = custom.findExecutable;

    m_copy =
        addAction(L10n::text("Copy Image"), this, [this] { ExportService::copy(m_image, true); });
    m_openWith = addAction(L10n::text("Open With…"), this, &ShareMenu::openWith);
    if (!m_desktop.findExecutable(QStringLiteral("xdg-email")).isEmpty())
        m_email = addAction(L10n::text("Email…"), this, &ShareMenu::email);
    // A saved image, or a document (a package folder).
    if (!m_savedFile.isEmpty() && QFileInfo::exists(m_savedFile)) {
        addSeparator();
        m_show = addAction(L10n::text("Show in File Manager"), this, &ShareMenu::showInFileManager);
    }
}

QPoint ShareMenu::anchor(const QWidget* window)
{
    return window->mapToGlobal(QPoint(window->width() - 60, 0));
}

std::expected<QString, QString> ShareMenu::writeSharedFile()
{
    if (!m_sharedFile.isEmpty() && QFileInfo(m_sharedFile).isFile()) return m_sharedFile;
    const auto png = ExportService::data(platform::BaseImage(m_image), ExportFormat::png);
    if (!png) return std::unexpected(QString());
    auto folder = platform::PrivateFolder::makeUniqueFolder(QStringLiteral("Share"));
    if (!folder) return std::unexpected(platform::PrivateFolder::userMessage(folder.error()));
    const QString path = *folder + QLatin1Char('/') +
                         ExportService::dragName(QDateTime::currentDateTime()) +
                         QStringLiteral(".png");
    if (auto written = platform::writeFileAtomically(path, *png, platform::FileAccess::userOnly);
        !written)
        return std::unexpected(platform::userMessage(written.error()));
    m_sharedFile = path;
    return path;
}

// The file to hand on, or nothing after telling the user why there is none: the menu has
// closed by now, so the alert belongs to the window it opened from.
std::optional<QString> ShareMenu::sharedFileOrAlert()
{
    auto file = writeSharedFile();
    if (file) return *file;
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QString(), L10n::text("Couldn't prepare the image"),
                        QMessageBox::NoButton, parentWidget() ? parentWidget()->window() : nullptr);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setInformativeText(file.error());
    alert->addButton(L10n::text("OK"), QMessageBox::AcceptRole);
    alert->open();
    return std::nullopt;
}

void ShareMenu::openWith()
{
    if (const auto file = sharedFileOrAlert()) m_desktop.openUrl(QUrl::fromLocalFile(*file));
}

void ShareMenu::email()
{
    if (const auto file = sharedFileOrAlert())
        m_desktop.startDetached(m_desktop.findExecutable(QStringLiteral("xdg-email")),
                                {QStringLiteral("--attach"), *file});
}

void ShareMenu::showInFileManager()
{
    if (m_desktop.showItem(m_savedFile)) return;
    m_desktop.openUrl(QUrl::fromLocalFile(QFileInfo(m_savedFile).absolutePath()));
}

void ExportDialogs::share(const QImage& image, const QString& savedFile, QWidget* button)
{
    QWidget* window = button ? button->window() : QApplication::activeWindow();
    if (!window) return;
    auto* menu = new ShareMenu(image, savedFile, window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Under a button, at its left edge.
    menu->popup(button ? button->mapToGlobal(QPoint(0, button->height()))
                       : ShareMenu::anchor(window));
}

} // namespace snapkin
