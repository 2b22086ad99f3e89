#include "recognition/RecognizedContent.h"

#include <gtest/gtest.h>

using snapkin::RecognizedContent;
using Line = RecognizedContent::Line;
using Code = RecognizedContent::Code;

namespace {

Line line(const char* text, double x, double y, double width = 0.1, double height = 0.04)
{
    return {QString::fromUtf8(text), QRectF(x, y, width, height)};
}

Code code(const char* payload)
{
    return {QString::fromUtf8(payload), true, QRectF(0.1, 0.1, 0.2, 0.2)};
}

} // namespace

TEST(RecognizedContentText, EmptyContentGivesTheEmptyString)
{
    EXPECT_EQ(RecognizedContent{}.text(), QString());
    EXPECT_TRUE(RecognizedContent{}.lines.empty());
    EXPECT_TRUE(RecognizedContent{}.codes.empty());
    // Codes are not text.
    RecognizedContent onlyCodes;
    onlyCodes.codes = {code("https://example.org")};
    EXPECT_EQ(onlyCodes.text(), QString());
}

TEST(RecognizedContentText, LinesOnOneRowAreJoinedBySpacesAndRowsByNewlines)
{
    RecognizedContent content;
    content.lines = {line("File", 0.0, 0.1), line("Edit", 0.2, 0.1), line("View", 0.4, 0.105),
                     line("Untitled", 0.0, 0.3), line("Ready", 0.0, 0.9)};
    EXPECT_EQ(content.text(), QStringLiteral("File Edit View\nUntitled\nReady"));
}

TEST(RecognizedContentText, EachLineIsComparedWithTheLastOfItsRow)
{
    // A row sloping down: C overlaps A by only 0.01 but B by 0.025, so it stays on the row.
    RecognizedContent content;
    content.lines = {line("A", 0.1, 0.100), line("B", 0.3, 0.115), line("C", 0.5, 0.130)};
    EXPECT_EQ(content.text(), QStringLiteral("A B C"));
}

TEST(RecognizedContentText, OverlapOfExactlyHalfTheSmallerHeightStartsANewRow)
{
    // Binary fractions, so the overlap is exactly half, not a rounding error away from it.
    RecognizedContent content;
    content.lines = {line("top", 0.0, 0.25, 0.1, 0.25), line("next", 0.5, 0.375, 0.1, 0.25)};
    EXPECT_EQ(content.text(), QStringLiteral("top\nnext"));
    content.lines[1].boundingBox.moveTop(0.375 - 1.0 / 1024);
    EXPECT_EQ(content.text(), QStringLiteral("top next"));
    // The smaller height decides: a tall box beside a short one.
    content.lines = {line("tall", 0.0, 0.0, 0.1, 0.5), line("short", 0.5, 0.375, 0.1, 0.25)};
    EXPECT_EQ(content.text(), QStringLiteral("tall\nshort"));
}

TEST(RecognizedContentWebURL, HttpAndHttpsLinksWithAHostAreWebLinks)
{
    const auto url = code("  HTTP://Example.org/path?q=1 \n").webURL();
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->host(), QStringLiteral("example.org"));
    EXPECT_EQ(url->scheme().toLower(), QStringLiteral("http"));
    EXPECT_EQ(url->path(), QStringLiteral("/path"));
    EXPECT_TRUE(code("https://example.org").webURL().has_value());
}

TEST(RecognizedContentWebURL, OtherSchemesPlainTextAndLinksWithoutAHostAreNot)
{
    for (const char* payload :
         {"mailto:someone@example.org", "ftp://example.org/file", "just some words", "example.org",
          "http:///no-host", "http:relative", "https://", "", "   ", "javascript:alert(1)",
          "http://exa mple.org"}) {
        EXPECT_FALSE(code(payload).webURL().has_value()) << payload;
    }
}

TEST(RecognizedContentEquality, BoxesCompareExactly)
{
    const Line a = line("word", 0.1, 0.2);
    Line b = a;
    EXPECT_EQ(a, b);
    // QRectF's own comparison is fuzzy and would call these equal.
    b.boundingBox.setWidth(b.boundingBox.width() + 1e-13);
    EXPECT_FALSE(a == b);

    Code c = code("x");
    Code d = c;
    d.isQR = false;
    EXPECT_FALSE(c == d);
    RecognizedContent one;
    one.lines = {a};
    RecognizedContent two = one;
    EXPECT_EQ(one, two);
    two.lines.front().text = QStringLiteral("other");
    EXPECT_FALSE(one == two);
}
