#include "HistorySupport.h"

#include "model/AnnotationDocument.h"
#include "model/SnapkinDocument.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>
#include <gtest/gtest.h>

namespace snapkin::testing {

QDateTime utc(const char* text)
{
    auto date = historyDateFromText(QString::fromLatin1(text));
    EXPECT_TRUE(date.has_value()) << text;
    return date.value_or(QDateTime());
}

HistoryEntry entry(const QUuid& id, const QString& title, const QDateTime& created)
{
    HistoryEntry e;
    e.id = id;
    e.title = title;
    e.created = created;
    e.modified = created;
    e.pixelWidth = 40;
    e.pixelHeight = 20;
    return e;
}

QUuid idStartingWith(const char* prefix)
{
    QString text = QString::fromLatin1(prefix);
    text += QString(32 - text.size(), QLatin1Char('0'));
    text.insert(20, QLatin1Char('-'));
    text.insert(16, QLatin1Char('-'));
    text.insert(12, QLatin1Char('-'));
    text.insert(8, QLatin1Char('-'));
    return QUuid::fromString(text);
}

void writePackage(const HistoryStore& store, const QUuid& id, QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    AnnotationDocument document;
    document.canvasSize = QSizeF(pixels);
    document.pixelSize = QSizeF(pixels);
    auto png = SnapkinDocument::pngData(image);
    ASSERT_TRUE(png);
    auto package = SnapkinDocument::wrapper(document, *png, std::nullopt);
    ASSERT_TRUE(package);
    QDir().mkpath(store.directory());
    ASSERT_TRUE(SnapkinDocument::write(*package, store.packagePath(id)));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

} // namespace snapkin::testing

namespace snapkin::testing {

void seedEntries(const HistoryStore& store, const QList<HistoryEntry>& entries)
{
    for (const HistoryEntry& e : entries)
        ASSERT_TRUE(QDir().mkpath(store.packagePath(e.id)));
    ASSERT_TRUE(store.save(entries));
}

} // namespace snapkin::testing

namespace snapkin::testing {

CaptureHistory::Flattener drawingUntilStopped(std::atomic<bool>& drawing,
                                              std::atomic<bool>& toldToStop, const QImage& drawn)
{
    return [&drawing, &toldToStop,
            drawn](const FlattenService::Input&,
                   const std::atomic<bool>& cancelled) -> std::optional<QImage> {
        drawing = true;
        const QDeadlineTimer limit(60000);
        while (!cancelled && !limit.hasExpired())
            QThread::msleep(1);
        toldToStop = cancelled.load();
        return drawn;
    };
}

} // namespace snapkin::testing
