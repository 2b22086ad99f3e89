#include "model/AnnotationDocument.h"

#include "TestPaths.h"

#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace snapkin;

namespace {

QByteArray readFixture(const QString& name)
{
    QFile file(QStringLiteral(SNAPKIN_TEST_DATA) + "/documents/" + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

QUuid fixedId(int n)
{
    return QUuid::fromString(
        QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

// A 4×4 opaque blue PNG.
const char* tinyPng = "iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAYAAACp8Z5+AAAAEklEQVR42mPQq/"
                      "32HxkzkC4AAH0vKgEFvuxZAAAAAElFTkSuQmCC";

// One annotation of every kind on an 800 × 600 point image, with a frame and a watermark:
// the document stored as tests/data/documents/every-kind.json.
AnnotationDocument everyKindDocument()
{
    using K = AnnotationKind;
    AnnotationDocument d;
    d.canvasSize = QSizeF(800, 600);
    d.pixelSize = QSizeF(1600, 1200);
    d.generator = QStringLiteral("Snapkin 0.1.0");
    d.nextStampNumber = 3;
    d.annotations = {
        {.id = fixedId(1),
         .kind = K::arrow,
         .p1 = {40, 40},
         .p2 = {220, 140},
         .lineWidth = 6,
         .doubleHeaded = true,
         .arrowHead = ArrowHeadStyle::filled},
        {.id = fixedId(2),
         .kind = K::arrow,
         .p1 = {260, 60},
         .p2 = {460, 60},
         .arrowHead = ArrowHeadStyle::concave,
         .curved = true,
         .curveHandle = {0.5, -0.3}},
        {.id = fixedId(3),
         .kind = K::text,
         .p1 = {40, 180},
         .p2 = {40, 180},
         .colorHex = "#1C1C1E",
         .text = "Release notes",
         .fontSize = 28,
         .bold = true},
        {.id = fixedId(4),
         .kind = K::rectangle,
         .p1 = {500, 40},
         .p2 = {760, 160},
         .colorHex = "#2E7DF6",
         .lineWidth = 3},
        {.id = fixedId(5),
         .kind = K::ellipse,
         .p1 = {500, 200},
         .p2 = {620, 280},
         .colorHex = "#34C759",
         .filled = true},
        {.id = fixedId(6), .kind = K::line, .p1 = {40, 260}, .p2 = {440, 300}, .lineWidth = 2},
        {.id = fixedId(7),
         .kind = K::highlight,
         .p1 = {40, 320},
         .p2 = {300, 350},
         .colorHex = "#FFCC00",
         .highlightOpacity = 0.5},
        {.id = fixedId(8),
         .kind = K::pixelate,
         .p1 = {320, 320},
         .p2 = {460, 400},
         .obscure = ObscureStyle::blur,
         .obscureStrength = 2},
        {.id = fixedId(9),
         .kind = K::stamp,
         .p1 = {660, 220},
         .p2 = {700, 260},
         .stamp = StampKind::number,
         .stampLabel = "1",
         .tailAngle = 2.5},
        {.id = fixedId(10),
         .kind = K::stamp,
         .p1 = {720, 220},
         .p2 = {760, 260},
         .stamp = StampKind::star,
         .disc = true},
        {.id = fixedId(11),
         .kind = K::pen,
         .p1 = {60, 420},
         .p2 = {260, 520},
         .colorHex = "#AF52DE",
         .points = {{60, 500}, {110, 420}, {160, 520}, {210, 430}, {260, 470}}},
        {.id = fixedId(12),
         .kind = K::spotlight,
         .p1 = {480, 300},
         .p2 = {640, 420},
         .spotEllipse = false,
         .spotDim = 0.6},
        {.id = fixedId(13),
         .kind = K::sticker,
         .p1 = {300, 440},
         .p2 = {360, 500},
         .text = QString::fromUtf8("\xF0\x9F\x98\x80")},
        {.id = fixedId(14),
         .kind = K::imageOverlay,
         .p1 = {380, 440},
         .p2 = {460, 520},
         .imageData = QByteArray::fromBase64(tinyPng)},
        {.id = fixedId(15),
         .kind = K::magnifier,
         .p1 = {660, 440},
         .p2 = {760, 540},
         .magnification = 3,
         .magnifierRound = false},
    };
    d.frame = FrameStyle{
        .gradientColors = {"#2E7DF6", "#30C8D6"}, .padding = 0.1, .aspect = CropAspect::r16x9};
    d.watermark = Watermark{.text = "snapkin.test", .position = WatermarkPosition::bottomLeft};
    return d;
}

} // namespace

TEST(AnnotationDocumentJson, OnlyCanvasSizeReadsAsAnEmptyVersionOneDocument)
{
    auto d = AnnotationDocument::decode(readFixture("minimal.json"));
    ASSERT_TRUE(d.has_value());
    AnnotationDocument expected;
    expected.canvasSize = QSizeF(800, 600);
    EXPECT_EQ(*d, expected);
    EXPECT_EQ(d->version, 1);
    EXPECT_EQ(d->nextStampNumber, 1);
    EXPECT_FALSE(d->frame || d->watermark || d->pixelSize || d->generator);

    // Written back: exactly the four required keys, sorted, integers as integers.
    const QByteArray bytes = *d->encoded();
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(o.keys(), (QStringList{"annotations", "canvasSize", "nextStampNumber", "version"}));
    EXPECT_TRUE(bytes.contains("\"version\": 1\n")) << bytes.constData();
    EXPECT_LT(bytes.indexOf("annotations"), bytes.indexOf("canvasSize"));
}

TEST(AnnotationDocumentJson, BadAnnotationsAreDroppedAndCounted)
{
    auto d = AnnotationDocument::decode(readFixture("one-bad-annotation.json"));
    ASSERT_TRUE(d.has_value());
    ASSERT_EQ(d->annotations.size(), 2);
    EXPECT_EQ(d->skippedAnnotations, 1);
    EXPECT_EQ(d->annotations[0].kind, AnnotationKind::arrow);
    EXPECT_EQ(d->annotations[1].kind, AnnotationKind::text);

    // Written back: two annotations and no count.
    const QJsonObject o = QJsonDocument::fromJson(*d->encoded()).object();
    EXPECT_EQ(o.value("annotations").toArray().size(), 2);
    EXPECT_FALSE(o.contains("skippedAnnotations"));
    auto reread = AnnotationDocument::decode(*d->encoded());
    EXPECT_EQ(reread->skippedAnnotations, 0);
    EXPECT_NE(*reread, *d) << "the skipped count takes part in equality";
    reread->skippedAnnotations = 1;
    EXPECT_EQ(*reread, *d);
}

TEST(AnnotationDocumentJson, DamagedElementsOfEveryKindAreSkipped)
{
    auto d = AnnotationDocument::decode(R"({"canvasSize": [10, 10], "annotations": [
        3, "text", null, [], {"kind": "line", "p2": [1, 1]},
        {"kind": "line", "p1": [0, 0], "p2": [1, 1], "lineWidth": false},
        {"kind": "line", "p1": [0, 0], "p2": [1, 1], "imageData": "@@"},
        {"kind": "line", "p1": [0, 0], "p2": [1, 1]}]})");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->annotations.size(), 1);
    EXPECT_EQ(d->skippedAnnotations, 7);
}

TEST(AnnotationDocumentJson, MalformedTopLevelValuesFailButFrameAndWatermarkAreDropped)
{
    struct Case {
        const char* json;
        bool opens;
    };
    const Case cases[] = {
        {R"({"canvasSize": [10, 10], "frame": 5, "watermark": "x"})", true},
        {R"({"canvasSize": [10, 10], "frame": null, "generator": null, "version": null})", true},
        {R"({"canvasSize": [10, 10], "pixelSize": "10x10"})", false},
        {R"({"canvasSize": [10, 10], "version": "1"})", false},
        {R"({"canvasSize": [10, 10], "version": 1.5})", false},
        {R"({"canvasSize": [10, 10], "version": true})", false},
        {R"({"canvasSize": [10, 10], "nextStampNumber": 1e30})", false},
        {R"({"canvasSize": [10, 10], "generator": 7})", false},
        {R"({"canvasSize": [10, 10], "annotations": {}})", false},
        {R"({"canvasSize": null})", false},
        {R"({"canvasSize": [10]})", false},
        {R"({})", false},
        {R"([1, 2])", false},
        {R"({"canvasSize": [10, 10])", false}, // truncated
        {"", false},
    };
    for (const Case& c : cases) {
        auto d = AnnotationDocument::decode(QByteArray(c.json));
        EXPECT_EQ(d.has_value(), c.opens) << c.json;
        if (d) {
            EXPECT_FALSE(d->frame.has_value());
            EXPECT_FALSE(d->watermark.has_value());
        } else {
            EXPECT_FALSE(d.error().userMessage().isEmpty());
        }
    }
}

TEST(AnnotationDocumentJson, EveryKindRoundTripsThroughTheStoredFixture)
{
    const AnnotationDocument built = everyKindDocument();
    const QByteArray stored = readFixture("every-kind.json");
    auto read = AnnotationDocument::decode(stored);
    ASSERT_TRUE(read.has_value()) << read.error().userMessage().toStdString();
    EXPECT_EQ(read->skippedAnnotations, 0);
    ASSERT_EQ(read->annotations.size(), built.annotations.size());
    for (qsizetype i = 0; i < built.annotations.size(); ++i)
        EXPECT_EQ(read->annotations[i], built.annotations[i]) << "annotation " << i;
    EXPECT_EQ(*read, built);
    // The same document gives the same bytes.
    EXPECT_EQ(*built.encoded(), stored);

    QSet<AnnotationKind> kinds;
    for (const Annotation& a : read->annotations)
        kinds.insert(a.kind);
    EXPECT_EQ(kinds.size(), qsizetype(allCases<AnnotationKind>.size()));
}

TEST(AnnotationDocumentJson, NonFiniteNumbersFailTheWriter)
{
    AnnotationDocument d = everyKindDocument();
    d.annotations[4].lineWidth = std::numeric_limits<double>::quiet_NaN();
    auto bytes = d.encoded();
    ASSERT_FALSE(bytes.has_value());
    EXPECT_EQ(bytes.error().kind, JsonErrorKind::nonFiniteNumber);

    d = everyKindDocument();
    d.canvasSize = QSizeF(std::numeric_limits<double>::infinity(), 10);
    EXPECT_FALSE(d.encoded().has_value());
    d = everyKindDocument();
    d.watermark->opacity = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(d.encoded().has_value());
}

TEST(AnnotationDocumentBounds, HostileNumbersAreKeptButBoundedWhereUsed)
{
    auto d = AnnotationDocument::decode(readFixture("hostile-numbers.json"));
    ASSERT_TRUE(d.has_value());
    // Stored values stay as read, so nothing is lost on a round trip.
    EXPECT_EQ(d->nextStampNumber, std::numeric_limits<qint64>::max());
    EXPECT_EQ(d->canvasSize, QSizeF(1e300, 1e300));
    EXPECT_TRUE(d->encoded()->contains("\"nextStampNumber\": 9223372036854775807"))
        << "integers are written as integers, not rounded through a double";
    EXPECT_EQ(AnnotationDocument::stampNumberAfter(d->nextStampNumber),
              std::numeric_limits<qint64>::max());
    EXPECT_EQ(AnnotationDocument::stampNumberAfter(41), 42);
    // A canvas size far from the pixel size falls back to one point per pixel.
    EXPECT_EQ(d->imagePointSize(QSize(640, 480)), QSizeF(640, 480));
}

TEST(AnnotationDocumentBounds, ImagePointSize)
{
    AnnotationDocument d;
    const QSize pixels(1600, 1200);
    d.canvasSize = QSizeF(800, 600);
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(800, 600)) << "a 2× capture keeps its point size";
    d.canvasSize = QSizeF(0, 0);
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(1600, 1200));
    d.canvasSize = QSizeF(800, -1);
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(1600, 1200));
    d.canvasSize = QSizeF(std::numeric_limits<double>::quiet_NaN(), 600);
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(1600, 1200));
    d.canvasSize = QSizeF(1, 1); // 1600 pixels per point
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(1600, 1200));
    d.canvasSize = QSizeF(100, 75); // 16 pixels per point: still accepted
    EXPECT_EQ(d.imagePointSize(pixels), QSizeF(100, 75));
}

TEST(AnnotationDocumentBounds, ContainersAndValuesAreCountedOutsideStringsOnly)
{
    constexpr qint64 container = json::ParsedCosts{}.perArray;
    constexpr qint64 value = json::ParsedCosts{}.perValue;
    static_assert(json::ParsedCosts{}.perObject == container);
    // Five containers, two commas, two colons.
    EXPECT_EQ(json::parsedCost(R"({"a":[1,[2],{"b":{}}]})", 10'000), 5 * container + 4 * value);
    // Brackets, commas and colons in texts, and escaped quotes that do not end them, are not
    // counted; whitespace between them costs nothing.
    EXPECT_EQ(json::parsedCost(R"({"t":"[[{ \" [[,: \\","u":[]})", 10'000),
              2 * container + 3 * value);
    EXPECT_EQ(json::parsedCost("{ \"a\" :\n\n [ 1 ,\t2 ] }", 10'000),
              json::parsedCost(R"({"a":[1,2]})", 10'000));
    EXPECT_EQ(json::parsedCost("[[[[[[", 2 * container), 3 * container); // stops once past
    EXPECT_EQ(json::parsedCost("\"\\", 3), 0);                           // ends inside an escape
    // The reader weighs an object with the annotation it decodes from it.
    EXPECT_EQ(json::parsedCost("[{},{}]", 10'000, AnnotationDocument::decodingCosts),
              container + 2 * AnnotationDocument::decodingCosts.perObject + value);
    EXPECT_TRUE(AnnotationDocument::withinDecodingCost(R"({"canvasSize":[1,1]})"));
    const auto refused =
        AnnotationDocument::decode("[" + QByteArray("[],").repeated(2'000'000) + "[]]");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, JsonErrorKind::tooLarge);
}

namespace {

// A pen stroke of `count` points with integer coordinates, the shortest a point is written.
Annotation stroke(qsizetype count)
{
    Annotation pen{.kind = AnnotationKind::pen, .p1 = {0, 0}, .p2 = {100, 100}};
    for (qsizetype i = 0; i < count; ++i)
        pen.points.append(QPointF(i % 100, i % 7));
    return pen;
}

QByteArray compact(const AnnotationDocument& d)
{
    return QJsonDocument(*d.toJson()).toJson(QJsonDocument::Compact);
}

} // namespace

// The budget is the parsing cost, whatever the layout: the same document written compactly or
// indented is held to the same floor, and a longer text is allowed a cost growing with its
// length, which the writer's own indented text never exceeds. A small budget shows both here.
TEST(AnnotationDocumentBounds, BudgetCountsWhatParsingCostsNotTheLayout)
{
    const AnnotationDocument::DecodingBudget small{.floorBytes = 64 * 1024, .bytesPerTextByte = 3};
    const auto cost = [](const QByteArray& json) {
        return json::parsedCost(json, std::numeric_limits<qint64>::max(),
                                AnnotationDocument::decodingCosts);
    };
    AnnotationDocument d;
    d.canvasSize = QSizeF(100, 100);
    d.annotations.append(stroke(300)); // over the floor in any layout: 300 points of 224 bytes
    const QByteArray tight = compact(d);
    const QByteArray indented = *d.encoded();
    ASSERT_GT(cost(tight), small.floorBytes);
    EXPECT_EQ(cost(tight), cost(indented));
    const auto refused = AnnotationDocument::decode(tight, small);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, JsonErrorKind::tooLarge);
    const auto opened = AnnotationDocument::decode(indented, small);
    ASSERT_TRUE(opened) << "the indented text's length allows its cost";
    EXPECT_EQ(opened->annotations, d.annotations);
    // Under the floor, the compact text opens as the indented one does.
    d.annotations = {stroke(200)};
    ASSERT_LT(cost(compact(d)), small.floorBytes);
    const auto underFloor = AnnotationDocument::decode(compact(d), small);
    ASSERT_TRUE(underFloor);
    EXPECT_EQ(underFloor->annotations, d.annotations);

    // The writer spends at least a third of a byte of text on every byte its annotations and
    // points cost to read, so whatever it wrote reopens under the allowance of its length.
    AnnotationDocument large = everyKindDocument();
    const QList<Annotation> kinds = large.annotations;
    for (int i = 0; i < 40; ++i)
        large.annotations.append(kinds);
    large.annotations.append(stroke(20'000));
    const QByteArray written = *large.encoded();
    EXPECT_LE(cost(written), written.size() * small.bytesPerTextByte);
    EXPECT_TRUE(AnnotationDocument::decode(written, small));
}
