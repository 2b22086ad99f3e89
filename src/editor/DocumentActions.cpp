#include "editor/DocumentActions.h"

#include "editor/RecentDocuments.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/OwnWrites.h"
#include "platform/StaleTemporaries.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin {

using platform::L10n;

namespace {

enum class Answer { replace, keepBoth, skip };

Answer askAboutExisting(QWidget* parent, const QString& companion)
{
    QMessageBox ask(QMessageBox::Warning, QString(), L10n::text("Replace the existing document?"),
                    QMessageBox::NoButton, parent ? parent : QApplication::activeWindow());
    ask.setInformativeText(L10n::format(
        "A Snapkin document named “%@” already exists next to the image. Replacing it loses its "
        "annotations; Keep Both saves this one under a new name.",
        QFileInfo(companion).fileName()));
    QPushButton* replace = ask.addButton(L10n::text("Replace"), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = ask.addButton(L10n::text("Keep Both"), QMessageBox::AcceptRole);
    QPushButton* skip = ask.addButton(L10n::text("Skip"), QMessageBox::RejectRole);
    ask.setDefaultButton(keepBoth);
    ask.setEscapeButton(skip);
    ask.exec();
    if (ask.clickedButton() == replace) return Answer::replace;
    if (ask.clickedButton() == keepBoth) return Answer::keepBoth;
    return Answer::skip;
}

void showFailure(QWidget* parent, const QString& reason)
{
    QMessageBox alert(QMessageBox::Warning, QString(),
                      L10n::text("Couldn't save the Snapkin document next to the image"),
                      QMessageBox::NoButton, parent ? parent : QApplication::activeWindow());
    alert.setInformativeText(reason);
    alert.addButton(L10n::text("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

// A package's identity on disk: which inode holds it and when it last changed. A package that
// another program replaced or rewrote has a new inode or a new modification time.
struct DiskIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const DiskIdentity& o) const
    {
        return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

// The entry itself, never what a symbolic link points to.
std::optional<DiskIdentity> diskIdentity(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return DiskIdentity{info.st_dev, info.st_ino, info.st_mtim};
}

// The companion each open store last wrote in this process, with its identity just after the
// write. A later save into that name treats the package as the store's own while it is
// unchanged on disk; a package anybody else put or changed there is asked about as before.
struct WrittenCompanion {
    QString path;
    DiskIdentity identity;
};

QHash<const AnnotationStore*, WrittenCompanion>& writtenCompanions()
{
    static QHash<const AnnotationStore*, WrittenCompanion> table;
    return table;
}

void rememberWrittenCompanion(AnnotationStore& store, const QString& path)
{
    auto& table = writtenCompanions();
    const std::optional<DiskIdentity> identity = diskIdentity(path);
    if (!identity) {
        table.remove(&store);
        return;
    }
    if (!table.contains(&store)) {
        QObject::connect(&store, &QObject::destroyed,
                         [key = &store] { writtenCompanions().remove(key); });
    }
    table.insert(&store, WrittenCompanion{QFileInfo(path).absoluteFilePath(), *identity});
}

bool wroteUnchanged(const AnnotationStore& store, const QString& path)
{
    const auto it = writtenCompanions().constFind(&store);
    if (it == writtenCompanions().constEnd()) return false;
    if (it->path != QFileInfo(path).absoluteFilePath()) return false;
    const std::optional<DiskIdentity> now = diskIdentity(path);
    return now && *now == it->identity;
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The first of "<base> 2.snapkin", "<base> 3.snapkin", … that does not exist.
QString nextFreeCompanionPath(const QString& companion)
{
    const QFileInfo info(companion);
    QString base = info.completeBaseName();
    // "Shot 2" continues as "Shot 3", not "Shot 2 2".
    int number = 2;
    static const QRegularExpression numbered(QStringLiteral("^(.*) (\\d{1,6})$"));
    if (const auto match = numbered.match(base); match.hasMatch()) {
        base = match.captured(1);
        number = match.captured(2).toInt() + 1;
    }
    for (;; ++number) {
        const QString candidate = info.absolutePath() + QLatin1Char('/') + base + QLatin1Char(' ') +
                                  QString::number(number) + QLatin1Char('.') +
                                  QLatin1String(SnapkinDocument::extension);
        const QFileInfo c(candidate);
        if (!c.exists() && !c.isSymLink()) return candidate;
    }
}

// Writes the package under the first free "<base> N.snapkin": built beside it under a hidden
// name, then renamed without replacing, so a name taken meanwhile is skipped, never overwritten.
std::expected<QString, SnapkinDocument::Failure>
writeUnderFreeName(const SnapkinDocument::Package& package, const QString& companion)
{
    const QFileInfo info(companion);
    using platform::StaleTemporaries;
    // Held locked from its write until it has its name, so another write into the folder does
    // not take it for a stale temporary (the folder is held for making temporaries until the
    // lock is taken; one taken by a sweep that does not wait for that is written again).
    QString temp;
    int held = -1;
    for (int attempt = 0; attempt < 3 && held < 0; ++attempt) {
        const StaleTemporaries::Making making(info.absolutePath());
        const QString tempName = StaleTemporaries::name(info.fileName(), "keep");
        temp = info.absolutePath() + QLatin1Char('/') + tempName;
        if (auto written = SnapkinDocument::write(package, temp); !written)
            return std::unexpected(written.error());
        held = ::open(QFile::encodeName(temp).constData(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (held >= 0 && StaleTemporaries::hold(held) == StaleTemporaries::Hold::removed) {
            ::close(held);
            held = -1;
        }
        // Marked as ours, so that a sweep may remove it if this write is killed before it has
        // its name.
        if (held >= 0) StaleTemporaries::mark(held, tempName, StaleTemporaries::Kind::package);
    }
    const auto release = qScopeGuard([held] {
        if (held >= 0) ::close(held);
    });
    const QByteArray from = QFile::encodeName(temp);
    QString candidate = companion;
    for (int attempt = 0; attempt < 10000; ++attempt) {
        candidate = nextFreeCompanionPath(candidate);
        platform::OwnWrites::shared().add(candidate);
        const QByteArray to = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0) {
            StaleTemporaries::unmark(held);
            return candidate;
        }
        if (errno == EEXIST) continue;
        // A file system that cannot refuse to replace: take the name only while it is free.
        if (errno == EINVAL && !QFileInfo(candidate).exists() &&
            !QFileInfo(candidate).isSymLink() && ::rename(from.constData(), to.constData()) == 0) {
            StaleTemporaries::unmark(held);
            return candidate;
        }
        break;
    }
    QDir(temp).removeRecursively();
    SnapkinDocument::Failure failure;
    failure.kind = SnapkinDocument::Failure::Kind::writeFailed;
    failure.writeError = platform::WriteError::cannotReplace;
    return std::unexpected(failure);
}

} // namespace

bool DocumentActions::exportImage(ExportDialogs& exports, AnnotationStore& store,
                                  std::optional<ExportFormat> format, QWidget* parent)
{
    const ExportFormat chosen = format.value_or(storedExportFormat(platform::Defaults::standard()));
    if (!exports.saveFlattened(store, chosen, parent, companionWriter())) return false;
    store.markExported();
    return true;
}

ExportDialogs::CompanionWriter DocumentActions::companionWriter()
{
    return
        [](AnnotationStore& store, const QString& imagePath) { writeCompanion(store, imagePath); };
}

QString DocumentActions::companionPath(const QString& imagePath)
{
    const QFileInfo info(imagePath);
    QString base = info.fileName();
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) base.truncate(dot);
    return info.absolutePath() + QLatin1Char('/') + base + QLatin1Char('.') +
           QLatin1String(SnapkinDocument::extension);
}

std::optional<QString> DocumentActions::writeCompanion(AnnotationStore& store,
                                                       const QString& imagePath, QWidget* parent)
{
    const QString companion = companionPath(imagePath);
    const QString bound =
        store.documentURL().isLocalFile() ? store.documentURL().toLocalFile() : QString();
    const QFileInfo existing(companion);
    const bool isOwn = !bound.isEmpty() && sameFile(bound, companion);
    Answer answer = Answer::replace;
    if ((existing.exists() || existing.isSymLink()) && !isOwn &&
        !wroteUnchanged(store, companion)) {
        answer = askAboutExisting(parent, companion);
        if (answer == Answer::skip) return std::nullopt;
    }

    auto package = SnapkinDocument::wrapper(store);
    if (!package) {
        showFailure(parent, package.error().userMessage());
        return std::nullopt;
    }
    QString written = companion;
    if (answer == Answer::keepBoth) {
        auto result = writeUnderFreeName(*package, companion);
        if (!result) {
            showFailure(parent, result.error().describe(companion));
            return std::nullopt;
        }
        written = *result;
    } else if (auto result = SnapkinDocument::write(*package, companion); !result) {
        showFailure(parent, result.error().describe(companion));
        return std::nullopt;
    }

    rememberWrittenCompanion(store, written);
    if (isOwn || (!bound.isEmpty() && sameFile(bound, written))) store.setHasUnsavedChanges(false);
    RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(written));
    return written;
}

} // namespace snapkin
