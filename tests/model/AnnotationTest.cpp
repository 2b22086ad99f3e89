#include "model/Annotation.h"
#include "model/AnnotationKinds.h"

#include "platform/L10n.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace snapkin;

namespace {

QJsonObject object(const char* json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return doc.object();
}

const char* minimalRectangle = R"({"kind": "rectangle", "p1": [0, 0], "p2": [100, 50]})";

QJsonObject withKey(QJsonObject o, const char* key, const QJsonValue& value)
{
    o.insert(QString::fromLatin1(key), value);
    return o;
}

} // namespace

TEST(AnnotationJson, MinimalObjectTakesDefaultsAndWritesTwentySevenKeys)
{
    auto a = Annotation::fromJson(object(minimalRectangle));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->kind, AnnotationKind::rectangle);
    EXPECT_EQ(a->p2, QPointF(100, 50));
    EXPECT_FALSE(a->id.isNull());
    // Every field but the id equals a freshly built annotation's default.
    Annotation expected{.kind = AnnotationKind::rectangle, .p1 = {0, 0}, .p2 = {100, 50}};
    expected.id = a->id;
    EXPECT_EQ(*a, expected);
    EXPECT_EQ(a->colorHex, "#FF3366");
    EXPECT_EQ(a->lineWidth, 4);

    auto again = Annotation::fromJson(object(minimalRectangle));
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(again->id, a->id) << "each decode without an id gets a fresh one";

    auto json = a->toJson();
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->size(), 27);
    for (const char* absent : {"imageData", "disc", "tailAngle"})
        EXPECT_FALSE(json->contains(QLatin1String(absent))) << absent;
    EXPECT_EQ(json->value("curveHandle").toArray(), (QJsonArray{0.5, -0.22}));
    EXPECT_EQ(json->value("arrowHead").toString(), "tapered");
}

TEST(AnnotationJson, EveryFieldSurvivesARoundTrip)
{
    Annotation a{
        .kind = AnnotationKind::stamp,
        .p1 = {1.25, -2},
        .p2 = {300.5, 400},
        .colorHex = "#2E7DF6",
        .lineWidth = 7.5,
        .text = "Grüße 👍🏽",
        .fontSize = 31,
        .bold = true,
        .italic = true,
        .fontName = "DejaVu Serif",
        .filled = true,
        .doubleHeaded = true,
        .arrowHead = ArrowHeadStyle::concave,
        .stamp = StampKind::number,
        .obscure = ObscureStyle::stripes,
        .obscureStrength = 2.5,
        .highlightOpacity = 0.3,
        .points = {{1, 2}, {3, 4.5}, {-6, 7}},
        .spotEllipse = false,
        .spotDim = 0.7,
        .imageData = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10),
        .disc = false,
        .stampLabel = "Step",
        .tailAngle = -M_PI / 3,
        .tailLength = 50,
        .curved = true,
        .curveHandle = {0.25, 0.4},
        .magnification = 3.5,
        .magnifierRound = false,
    };
    auto json = a.toJson();
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->size(), 30);
    // Through bytes, as a document stores it.
    const QByteArray bytes = QJsonDocument(*json).toJson();
    auto back = Annotation::fromJson(QJsonDocument::fromJson(bytes).object());
    ASSERT_TRUE(back.has_value()) << back.error().userMessage().toStdString();
    EXPECT_EQ(*back, a);
}

TEST(AnnotationJson, StyleEnumerationsFallBackButKindDoesNot)
{
    const QJsonObject base = object(minimalRectangle);
    auto a = Annotation::fromJson(
        withKey(withKey(withKey(base, "arrowHead", "swirl"), "stamp", 3), "obscure", QJsonArray{}));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->arrowHead, ArrowHeadStyle::tapered);
    EXPECT_EQ(a->stamp, StampKind::check);
    EXPECT_EQ(a->obscure, ObscureStyle::pixelate);

    auto unknownKind = Annotation::fromJson(withKey(base, "kind", "hexagon"));
    ASSERT_FALSE(unknownKind.has_value());
    EXPECT_EQ(unknownKind.error().kind, JsonErrorKind::unknownCase);
    // Case names are exact.
    EXPECT_FALSE(Annotation::fromJson(withKey(base, "kind", "Rectangle")).has_value());
    EXPECT_EQ(Annotation::fromJson(withKey(base, "kind", QJsonValue::Null)).error().kind,
              JsonErrorKind::missingValue);
}

TEST(AnnotationJson, NullReadsAsMissingAndAWrongTypeFails)
{
    const QJsonObject base = object(minimalRectangle);
    auto nullWidth = Annotation::fromJson(withKey(base, "lineWidth", QJsonValue::Null));
    ASSERT_TRUE(nullWidth.has_value());
    EXPECT_EQ(nullWidth->lineWidth, 4);
    auto nullDisc = Annotation::fromJson(withKey(base, "disc", QJsonValue::Null));
    ASSERT_TRUE(nullDisc.has_value());
    EXPECT_FALSE(nullDisc->disc.has_value());

    struct Bad {
        const char* key;
        QJsonValue value;
    };
    const Bad bad[] = {
        {"lineWidth", "4"},
        {"lineWidth", true}, // a Bool is not a number
        {"bold", 1},
        {"text", 5},
        {"points", QJsonArray{1, 2}},
        {"points", QJsonArray{QJsonArray{1}}},
        {"curveHandle", "0.5"},
        {"tailAngle", false},
        {"disc", "yes"},
        {"id", 42},
        {"colorHex", QJsonObject{}},
        {"magnifierRound", 0},
    };
    for (const Bad& b : bad) {
        auto a = Annotation::fromJson(withKey(base, b.key, b.value));
        ASSERT_FALSE(a.has_value()) << b.key;
        EXPECT_EQ(a.error().key, QLatin1String(b.key));
    }

    // Values are taken as read, out of range or not.
    auto wild =
        Annotation::fromJson(withKey(withKey(base, "lineWidth", -3), "highlightOpacity", 1.5));
    ASSERT_TRUE(wild.has_value());
    EXPECT_EQ(wild->lineWidth, -3);
    EXPECT_EQ(wild->highlightOpacity, 1.5);
}

TEST(AnnotationJson, AnchorsAreRequired)
{
    for (const char* json : {
             R"({"kind": "line", "p2": [1, 1]})",
             R"({"kind": "line", "p1": [1], "p2": [1, 1]})",
             R"({"kind": "line", "p1": ["0", 0], "p2": [1, 1]})",
             R"({"kind": "line", "p1": [0, 0], "p2": null})",
             R"({"kind": "line", "p1": {"x": 0, "y": 0}, "p2": [1, 1]})",
         }) {
        EXPECT_FALSE(Annotation::fromJson(object(json)).has_value()) << json;
    }
    EXPECT_EQ(Annotation::fromJson(QJsonValue(3)).error().kind, JsonErrorKind::notAnObject);
    EXPECT_FALSE(Annotation::fromJson(QJsonArray{}).has_value());
}

TEST(AnnotationJson, IdIsReadInEitherCaseAndWrittenUpperCase)
{
    const QJsonObject base = object(minimalRectangle);
    auto lower = Annotation::fromJson(withKey(base, "id", "0f8fad5b-d9cb-469f-a165-70867728950e"));
    ASSERT_TRUE(lower.has_value());
    auto upper = Annotation::fromJson(withKey(base, "id", "0F8FAD5B-D9CB-469F-A165-70867728950E"));
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(lower->id, upper->id);
    EXPECT_EQ(lower->toJson()->value("id").toString(), "0F8FAD5B-D9CB-469F-A165-70867728950E");

    auto zero = Annotation::fromJson(withKey(base, "id", "00000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(zero.has_value());
    EXPECT_TRUE(zero->id.isNull());

    for (const char* bad :
         {"{0f8fad5b-d9cb-469f-a165-70867728950e}", "0f8fad5bd9cb469fa16570867728950e",
          "0f8fad5b-d9cb-469f-a165-70867728950g", "not a uuid", ""}) {
        EXPECT_FALSE(Annotation::fromJson(withKey(base, "id", bad)).has_value()) << bad;
    }
}

TEST(AnnotationJson, ImageBytesAreBase64AndBadBase64FailsTheAnnotation)
{
    const QJsonObject base = object(minimalRectangle);
    auto good = Annotation::fromJson(withKey(base, "imageData", "AAEC/w=="));
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(*good->imageData, QByteArray("\x00\x01\x02\xff", 4));
    EXPECT_EQ(good->toJson()->value("imageData").toString(), "AAEC/w==");

    auto empty = Annotation::fromJson(withKey(base, "imageData", ""));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->imageData.has_value()) << "present but empty is not absent";

    for (const char* bad : {"AAEC*w==", "not base64!", "Ünï"}) {
        auto a = Annotation::fromJson(withKey(base, "imageData", bad));
        ASSERT_FALSE(a.has_value()) << bad;
        EXPECT_EQ(a.error().kind, JsonErrorKind::invalidValue);
    }
}

TEST(AnnotationJson, OptionalStampFieldsKeepPresenceAcrossARoundTrip)
{
    Annotation number{.kind = AnnotationKind::stamp,
                      .p1 = {0, 0},
                      .p2 = {30, 30},
                      .stamp = StampKind::number,
                      .disc = false};
    auto json = number.toJson();
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->value("disc"), QJsonValue(false));
    EXPECT_EQ(Annotation::fromJson(*json)->disc, std::optional<bool>(false));

    number.disc.reset();
    json = number.toJson();
    EXPECT_FALSE(json->contains("disc"));
    EXPECT_FALSE(Annotation::fromJson(*json)->disc.has_value());

    number.tailAngle = 0.0; // an angle of zero is a tail, not "no tail"
    EXPECT_EQ(Annotation::fromJson(*number.toJson())->tailAngle, std::optional<double>(0.0));
}

TEST(AnnotationJson, NonFiniteNumbersAreRefusedNotWritten)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<std::pair<const char*, std::function<void(Annotation&)>>> cases{
        {"lineWidth", [&](Annotation& a) { a.lineWidth = nan; }},
        {"p1", [&](Annotation& a) { a.p1 = QPointF(inf, 0); }},
        {"points",
         [&](Annotation& a) {
             a.points = {{0, 0}, {0, -inf}};
         }},
        {"tailAngle", [&](Annotation& a) { a.tailAngle = nan; }},
        {"curveHandle", [&](Annotation& a) { a.curveHandle = QPointF(0.5, nan); }},
    };
    for (auto& [key, spoil] : cases) {
        Annotation a{.kind = AnnotationKind::arrow, .p1 = {0, 0}, .p2 = {10, 10}};
        spoil(a);
        auto json = a.toJson();
        ASSERT_FALSE(json.has_value()) << key;
        EXPECT_EQ(json.error().kind, JsonErrorKind::nonFiniteNumber);
        EXPECT_EQ(json.error().key, QLatin1String(key));
        EXPECT_FALSE(json.error().userMessage().isEmpty());
    }
}

TEST(AnnotationEquality, EveryFieldTakesPart)
{
    const Annotation base{.kind = AnnotationKind::arrow, .p1 = {0, 0}, .p2 = {10, 10}};
    const std::vector<std::function<void(Annotation&)>> changes{
        [](Annotation& a) { a.id = QUuid::createUuid(); },
        [](Annotation& a) { a.kind = AnnotationKind::line; },
        [](Annotation& a) { a.p1.rx() += 1e-12; }, // exact, not fuzzy
        [](Annotation& a) { a.p2.ry() += 1; },
        [](Annotation& a) { a.colorHex = "#000000"; },
        [](Annotation& a) { a.lineWidth = 5; },
        [](Annotation& a) { a.text = "x"; },
        [](Annotation& a) { a.fontSize = 19; },
        [](Annotation& a) { a.bold = true; },
        [](Annotation& a) { a.italic = true; },
        [](Annotation& a) { a.fontName = "Mono"; },
        [](Annotation& a) { a.filled = true; },
        [](Annotation& a) { a.doubleHeaded = true; },
        [](Annotation& a) { a.arrowHead = ArrowHeadStyle::open; },
        [](Annotation& a) { a.stamp = StampKind::star; },
        [](Annotation& a) { a.obscure = ObscureStyle::blur; },
        [](Annotation& a) { a.obscureStrength = 2; },
        [](Annotation& a) { a.highlightOpacity = 0.5; },
        [](Annotation& a) {
            a.points = {{1, 1}};
        },
        [](Annotation& a) { a.spotEllipse = false; },
        [](Annotation& a) { a.spotDim = 0.6; },
        [](Annotation& a) { a.imageData = QByteArray(); },
        [](Annotation& a) { a.disc = true; },
        [](Annotation& a) { a.stampLabel = "A"; },
        [](Annotation& a) { a.tailAngle = 1; },
        [](Annotation& a) { a.tailLength = 35; },
        [](Annotation& a) { a.curved = true; },
        [](Annotation& a) {
            a.curveHandle = {0.5, 0.22};
        },
        [](Annotation& a) { a.magnification = 3; },
        [](Annotation& a) { a.magnifierRound = false; },
    };
    ASSERT_EQ(changes.size(), 30u);
    EXPECT_EQ(base, base);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        Annotation changed = base;
        changes[i](changed);
        EXPECT_NE(changed, base) << "change #" << i << " went unnoticed";
    }
}

TEST(AnnotationKinds, RawNamesAreExactAndRoundTrip)
{
    for (AnnotationKind k : allCases<AnnotationKind>)
        EXPECT_EQ(fromRaw<AnnotationKind>(toRaw(k)), k);
    for (CropAspect c : allCases<CropAspect>)
        EXPECT_EQ(fromRaw<CropAspect>(toRaw(c)), c);
    EXPECT_EQ(allCases<AnnotationKind>.size(), 13u);
    EXPECT_EQ(toRaw(AnnotationKind::imageOverlay), "imageOverlay");
    EXPECT_EQ(toRaw(CropAspect::r16x9), "r16x9");
    EXPECT_FALSE(fromRaw<ArrowHeadStyle>(u"Tapered").has_value());
    EXPECT_FALSE(fromRaw<StampKind>(u"").has_value());
    EXPECT_EQ(fromRaw<ObscureStyle>(u"stripes"), ObscureStyle::stripes);
}

TEST(AnnotationKinds, LabelsInEnglish)
{
    platform::L10n::setLanguage("en");
    EXPECT_EQ(label(ArrowHeadStyle::concave), "Concave");
    EXPECT_EQ(label(StampKind::exclamation), "Exclamation mark");
    EXPECT_EQ(label(StampKind::dot), "Dot");
    EXPECT_EQ(label(ObscureStyle::solid), "Solid");
    EXPECT_EQ(label(CropAspect::free), "Free");
    EXPECT_EQ(label(CropAspect::r9x16), "9:16");
    EXPECT_EQ(cropAspectRatio(CropAspect::r16x9), 16.0 / 9.0);
    EXPECT_FALSE(cropAspectRatio(CropAspect::free).has_value());
}
