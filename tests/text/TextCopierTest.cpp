#include "text/TextCopier.h"

#include "text/RecognitionImagesSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPromise>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>

using snapkin::RecognizedContent;
using snapkin::TextCopier;
using snapkin::TextRecognizer;
using Kind = TextCopier::Outcome::Kind;

namespace {

RecognizedContent::Code code(const char* payload, double y = 0.1, double x = 0.1)
{
    return {QString::fromUtf8(payload), true, QRectF(x, y, 0.1, 0.1)};
}

RecognizedContent textAndCodes(std::vector<RecognizedContent::Code> codes)
{
    RecognizedContent content;
    content.lines = {{QStringLiteral("Scan me"), QRectF(0.1, 0.6, 0.3, 0.05)}};
    content.codes = std::move(codes);
    return content;
}

void setClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

// Writes what each toast call does into one log; `shown` is the message on screen.
class RecordingToasts final : public snapkin::TextToasts {
public:
    void show(const QString& message, double seconds) override
    {
        log.append(QStringLiteral("%1 %2").arg(message).arg(seconds));
        shown = message;
    }
    void dismiss() override
    {
        log.append(QStringLiteral("dismiss"));
        shown.clear();
    }
    QStringList log;
    QString shown;
};

// A recognizer whose results the test hands out, one promise per copy.
struct ScriptedRecognizer {
    std::vector<std::shared_ptr<QPromise<TextRecognizer::Result>>> promises;

    TextCopier::Recognize function()
    {
        return [this](const QImage&) {
            auto promise = std::make_shared<QPromise<TextRecognizer::Result>>();
            promise->start();
            promises.push_back(promise);
            return promise->future();
        };
    }
    void finish(std::size_t index, const RecognizedContent& content)
    {
        promises.at(index)->addResult(content);
        promises.at(index)->finish();
    }
};

struct CopyFlow {
    RecordingToasts toasts;
    ScriptedRecognizer recognizer;
    QStringList links;
    TextCopier copier{recognizer.function(), &toasts,
                      [this](const QString& message, const QUrl& url) {
                          links.append(message + " " + url.toString());
                          toasts.shown.clear(); // the link toast is a window of its own
                      }};
};

QImage page()
{
    return snapkin::testing::whitePage(QSize(80, 40));
}

RecognizedContent words(const char* text)
{
    RecognizedContent content;
    content.lines = {{QString::fromUtf8(text), QRectF(0.1, 0.1, 0.5, 0.1)}};
    return content;
}

} // namespace

TEST(TextCopierDeliver, ASingleWebLinkIsCopiedAsTextAndAsUrlInPlaceOfTheText)
{
    // The payload keeps its newline as text; the URL is the trimmed link.
    const auto outcome = TextCopier::deliver(textAndCodes({code("https://example.org/a?b=1\n")}));
    EXPECT_EQ(outcome.kind, Kind::code);
    EXPECT_EQ(outcome.url, QUrl("https://example.org/a?b=1"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("https://example.org/a?b=1\n"));
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl("https://example.org/a?b=1")});
}

TEST(TextCopierDeliver, SeveralCodesOrOneThatIsNoLinkAreCopiedAsTextOnly)
{
    auto outcome = TextCopier::deliver(
        textAndCodes({code("first payload", 0.1), code("https://example.org", 0.5)}));
    EXPECT_EQ(outcome, (TextCopier::Outcome{Kind::code, "first payload\nhttps://example.org",
                                            std::nullopt}));
    EXPECT_EQ(clipboardText(), QStringLiteral("first payload\nhttps://example.org"));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasUrls());

    for (const char* payload : {"mailto:someone@example.org", "just words"}) {
        outcome = TextCopier::deliver(textAndCodes({code(payload)}));
        EXPECT_EQ(outcome.kind, Kind::code);
        EXPECT_FALSE(outcome.url);
        EXPECT_EQ(clipboardText(), QString::fromUtf8(payload));
        EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasUrls());
    }
}

TEST(TextCopierDeliver, TextIsCopiedWhenThereIsNoCodeAndNothingFoundLeavesTheClipboardAlone)
{
    EXPECT_EQ(TextCopier::deliver(words("Hello there")),
              (TextCopier::Outcome{Kind::text, "Hello there", std::nullopt}));
    EXPECT_EQ(clipboardText(), QStringLiteral("Hello there"));

    setClipboard("kept");
    EXPECT_EQ(TextCopier::deliver(RecognizedContent{}).kind, Kind::nothing);
    EXPECT_EQ(clipboardText(), QStringLiteral("kept"));
}

TEST(TextCopierFlow, AQuickResultShowsNoProgressAndASlowOneShowsItUntilReplaced)
{
    CopyFlow flow;
    flow.copier.copyText(page());
    flow.recognizer.finish(0, words("quick"));
    QTest::qWait(TextCopier::progressDelayMs + 200);
    EXPECT_EQ(flow.toasts.log, QStringList{"Text copied to clipboard 1.3"});

    flow.toasts.log.clear();
    flow.toasts.shown.clear();
    flow.copier.copyText(page());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !flow.toasts.shown.isEmpty(); }));
    EXPECT_EQ(flow.toasts.shown, QStringLiteral("Recognizing text…"));
    EXPECT_EQ(flow.toasts.log, QStringList{"Recognizing text… 90"});
    flow.recognizer.finish(1, RecognizedContent{});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !flow.copier.isCopying(); }));
    EXPECT_EQ(flow.toasts.shown, QStringLiteral("No text found"));
}

TEST(TextCopierFlow, ASecondCopySilencesTheFirst)
{
    CopyFlow flow;
    setClipboard("before");
    flow.copier.copyText(page());
    flow.copier.copyText(page());
    EXPECT_TRUE(flow.recognizer.promises.at(0)->isCanceled());
    // Even a result the first recognition still delivers is dropped.
    flow.recognizer.finish(0, words("first"));
    QTest::qWait(50);
    EXPECT_TRUE(flow.toasts.log.isEmpty());
    EXPECT_EQ(clipboardText(), QStringLiteral("before"));

    flow.recognizer.finish(1, words("second"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !flow.toasts.log.isEmpty(); }));
    EXPECT_EQ(clipboardText(), QStringLiteral("second"));
    EXPECT_EQ(flow.toasts.log, QStringList{"Text copied to clipboard 1.3"});
}

TEST(TextCopierFlow, AResultArrivingAsTheProgressTimerFiresNeverLeavesProgressUp)
{
    // The link outcome shows no toast of its own, so a progress toast left behind would stay.
    CopyFlow flow;
    flow.copier.copyText(page());
    QTest::qWait(TextCopier::progressDelayMs - 5);
    flow.recognizer.finish(0, textAndCodes({code("https://example.org/x")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !flow.links.isEmpty(); }));
    QTest::qWait(100);
    EXPECT_TRUE(flow.toasts.shown.isEmpty()) << flow.toasts.log.join(", ").toStdString();

    // Progress already up when the link comes: taken down.
    flow.copier.copyText(page());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !flow.toasts.shown.isEmpty(); }));
    ASSERT_EQ(flow.toasts.shown, QStringLiteral("Recognizing text…"));
    flow.recognizer.finish(1, textAndCodes({code("https://example.org/y")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return flow.links.size() == 2; }));
    EXPECT_TRUE(flow.toasts.shown.isEmpty());
    EXPECT_EQ(flow.links.last(), QStringLiteral("QR code link copied https://example.org/y"));
}

TEST(TextCopierFlow, ARecognitionErrorSaysNoTextFoundAndAnEmptyImageNeedsNoRecognition)
{
    CopyFlow flow;
    setClipboard("kept");
    flow.copier.copyText(page());
    flow.recognizer.promises.at(0)->addResult(
        std::unexpected(snapkin::platform::RecognitionError::engineFailed));
    flow.recognizer.promises.at(0)->finish();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !flow.toasts.log.isEmpty(); }));
    EXPECT_EQ(flow.toasts.log, QStringList{"No text found 1.3"});

    flow.toasts.log.clear();
    flow.copier.copyText(QImage());
    EXPECT_EQ(flow.recognizer.promises.size(), 1u);
    EXPECT_EQ(flow.toasts.log, QStringList{"No text found 1.3"});
    EXPECT_EQ(clipboardText(), QStringLiteral("kept"));
}

TEST(TextCopierFlow, AQrCodeInAnImagePutsItsLinkOnTheClipboard)
{
    QImage image = snapkin::testing::whitePage(QSize(400, 300));
    snapkin::testing::drawText(image, QPoint(20, 260), "Scan the code", 18);
    snapkin::testing::drawQRCode(image, "https://snapkin.example/docs", QPoint(40, 40), 5);
    RecordingToasts toasts;
    QStringList links;
    TextCopier copier(
        [](const QImage& image) {
            return TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true);
        },
        &toasts, [&](const QString&, const QUrl& url) { links.append(url.toString()); });
    copier.copyText(image);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier.isCopying(); }, 60000));
    EXPECT_EQ(links, QStringList{"https://snapkin.example/docs"});
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(),
              QList<QUrl>{QUrl("https://snapkin.example/docs")});
}
