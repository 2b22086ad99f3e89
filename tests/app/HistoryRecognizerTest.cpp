#include "AppTestSupport.h"

#include "history/CaptureHistory.h"
#include "platform/TextEngineCache.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// Two lines of large text on white, with a QR code of `payload` beside them.
QImage textAndCode(const QString& payload)
{
    QImage image(1200, 500, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(48);
    painter.setFont(font);
    painter.drawText(QPoint(40, 120), QStringLiteral("QUARTERLY REPORT"));
    painter.drawText(QPoint(40, 220), QStringLiteral("Budget approved"));
    QTemporaryDir dir;
    const QString code = dir.filePath(QStringLiteral("code.png"));
    QProcess::execute(QStringLiteral("qrencode"), {QStringLiteral("-s"), QStringLiteral("8"),
                                                   QStringLiteral("-o"), code, payload});
    painter.drawImage(QPoint(800, 60), QImage(code));
    return image;
}

} // namespace

// The history's recogniser: the recognised lines, then each code's payload, one per line,
// with no empty line between.
TEST(HistoryRecognizer, JoinsTheLinesAndThenTheCodesPayloads)
{
    const auto text = historyTextRecognizer()(textAndCode(QStringLiteral("https://example.org/q")));
    ASSERT_TRUE(text.has_value());
    const QStringList lines = text->split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3) << text->toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("QUARTERLY"))) << text->toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Budget"))) << text->toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("https://example.org/q"));
    EXPECT_FALSE(lines.contains(QString()));
}

TEST(HistoryRecognizer, AnImageWithoutTextGivesEmptyText)
{
    QImage blank(400, 300, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_EQ(historyTextRecognizer()(blank), std::optional<QString>(QString()));
}

// The engine is started for the first image and freed once unused for its lifetime.
TEST(HistoryRecognizer, TheTextEngineIsFreedOnceUnusedForItsLifetime)
{
    auto& engines = platform::TextEngineCache::shared();
    const auto lifetime = engines.lifetime();
    engines.releaseIdle();
    ASSERT_EQ(engines.engineCount(), 0);
    engines.setLifetime(std::chrono::milliseconds(100));
    const auto text = historyTextRecognizer()(textAndCode(QStringLiteral("engine")));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(QStringLiteral("QUARTERLY")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engines.engineCount() == 0; }, 10000));
    engines.setLifetime(lifetime);
}
