#include "recognition/Links.h"
#include "text/TextAnalysis.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QString linkIn(const char* word)
{
    const std::optional<QUrl> url = links::inWord(QString::fromUtf8(word));
    return url ? url->toString() : QStringLiteral("none");
}

} // namespace

TEST(LinksInWords, WebAndMailAddressesWithTheSentencesPunctuationAround)
{
    EXPECT_EQ(linkIn("https://example.org/a?b=1"), "https://example.org/a?b=1");
    EXPECT_EQ(linkIn("(https://example.org/docs)."), "https://example.org/docs");
    EXPECT_EQ(linkIn("\u201Cwww.example.com,\u201D"), "http://www.example.com");
    EXPECT_EQ(linkIn("WWW.Example.com/path"), "http://www.example.com/path");
    EXPECT_EQ(linkIn("someone@example.co.uk."), "mailto:someone@example.co.uk");
    EXPECT_EQ(linkIn("mailto:first.last+tag@mail.example.org"),
              "mailto:first.last+tag@mail.example.org");
}

TEST(LinksInWords, WordsThatOnlyLookLikeAddressesAreNotLinks)
{
    for (const char* word :
         {"main.cpp", "notes.txt", "example.org", "www.", "www.example", "ftp://example.org",
          "javascript:alert(1)", "user@localhost", "@handle", "name@", "a@b.c", "http://",
          "https:///path", "(", "...", "hello"})
        EXPECT_EQ(linkIn(word), "none") << word;
}

TEST(LinksInWords, AnAnalysisKnowsWhichOfItsWordsAreLinks)
{
    platform::RecognizedTextLine line;
    line.box = QRectF(0.1, 0.1, 0.8, 0.05);
    for (const char* text : {"Write", "to", "help@example.org", "or", "see", "www.example.org."})
        line.words.push_back({QString::fromUtf8(text), QRectF(0.1, 0.1, 0.1, 0.05)});
    const TextAnalysis analysis = TextAnalysis::from({line});
    ASSERT_EQ(analysis.words.size(), 6u);
    EXPECT_TRUE(analysis.words[0].link.isEmpty());
    EXPECT_EQ(analysis.words[2].link, QUrl("mailto:help@example.org"));
    EXPECT_EQ(analysis.words[5].link, QUrl("http://www.example.org"));
    // The words themselves stay as read.
    EXPECT_EQ(analysis.allText(), "Write to help@example.org or see www.example.org.");
}
