#include "platform/WordShape.h"
#include "platform/TextRecognition.h"

#include <QStringList>

#include <gtest/gtest.h>

using snapkin::platform::looksLikeText;
using snapkin::platform::TextRecognition;

namespace {

// What the engine is unsure of: well under its threshold.
constexpr float doubted = 10.0f;
constexpr float sure = 90.0f;

} // namespace

// Words of prose the engine reads right and yet doubts: quoted terms, possessives that end in
// an apostrophe, words in brackets or before a comma. They are kept whatever the confidence.
TEST(TextRecognitionWords, DoubtedWordsOfProseAreKept)
{
    const QStringList words =
        QStringLiteral("“owner” \"Licensor\" \"Source\" “Object” developers’ authors’ users' "
                       "‘quoted’, (or \"Your\") Contribution(s) can't don’t. well-known "
                       "program—to program--to and/or e.g., 09:41 1,000 (50%) $20 #58213 25° "
                       "C++ why? now! wait… [1] a I 3 »Zitat« „Anführung“ ¿Qué? "
                       "name@example.com")
            .split(u' ');
    for (const QString& word : words) {
        EXPECT_TRUE(looksLikeText(word)) << word.toStdString();
        EXPECT_TRUE(TextRecognition::keepsWord(word, doubted)) << word.toStdString();
        EXPECT_TRUE(TextRecognition::keepsWord(word, 0.0f)) << word.toStdString();
    }
}

// Letters of every script the engine reads count as letters: ideographs, kana and hangul,
// Cyrillic and Greek, and the vowel signs and points that Indic, Thai, Hebrew and Arabic
// words combine with their letters, with their scripts' own punctuation.
TEST(TextRecognitionWords, DoubtedWordsOfOtherScriptsAreKept)
{
    const QStringList words =
        QStringLiteral(
            "文字 「テキスト」 読む。 한국어, «Привет» λόγος; हिन्दी। ภาษาไทย שָׁלוֹם ؟مرحبا 𠀋 "
            "中文，")
            .split(u' ');
    for (const QString& word : words) {
        EXPECT_TRUE(looksLikeText(word)) << word.toStdString();
        EXPECT_TRUE(TextRecognition::keepsWord(word, doubted)) << word.toStdString();
    }
}

// What the engine makes of icons, rules and textures beside the text: signs without a letter,
// letters mixed with symbols no prose puts in a word. Doubted, it is dropped; read with
// confidence it stays, as anything the engine is sure of does.
TEST(TextRecognitionWords, DoubtedNoiseIsDroppedAndSureNoiseKept)
{
    const QStringList noise =
        QStringLiteral("| |~=} — ... “” © == a|b |Licensor W~ <<e ®ee x^y ab\\ %a a+b a$ ¥ ™ "
                       "■□ {5 fig}")
            .split(u' ');
    for (const QString& word : noise) {
        EXPECT_FALSE(looksLikeText(word)) << word.toStdString();
        EXPECT_FALSE(TextRecognition::keepsWord(word, doubted)) << word.toStdString();
        EXPECT_TRUE(TextRecognition::keepsWord(word, sure)) << word.toStdString();
    }
    EXPECT_FALSE(TextRecognition::keepsWord(QString(), sure));
}

// A doubted word that stands far taller than the text the engine is sure of is a picture read
// as letters (an icon beside its label); one as tall as text with capitals, accents, quotes
// and brackets around it is text.
TEST(TextRecognitionWords, DoubtedWordsFarTallerThanTheTextAreDropped)
{
    EXPECT_TRUE(TextRecognition::keepsWord(QStringLiteral("(“Ågé”)"), doubted, 1.6));
    EXPECT_TRUE(TextRecognition::keepsWord(QStringLiteral("a"), doubted, 0.7));
    EXPECT_FALSE(TextRecognition::keepsWord(QStringLiteral("fig"), doubted, 2.0));
    EXPECT_FALSE(TextRecognition::keepsWord(QStringLiteral("Ye"), doubted, 4.5));
    // The engine's sure words are kept at any height: headings among body text.
    EXPECT_TRUE(TextRecognition::keepsWord(QStringLiteral("Heading"), sure, 2.5));
}

// Text with the signs plain text puts around words: addresses and headers in angle brackets,
// terms in backtick quotes, a flag's leading dash, shares and temperatures. Doubted, they are
// kept as read; a lone or doubled angle bracket is still noise.
TEST(TextRecognitionWords, DoubtedWordsWithTheSignsTextPutsAroundThemAreKept)
{
    const QStringList words = QStringLiteral("<name@example.com> <name@example.com>, "
                                             "(<jdoe@example.org>) <stdio.h> ``NaN`` `make` "
                                             "-DUNALIGNED_OK --enable-shared 85% (12.5%) 25°C -4°")
                                  .split(u' ');
    for (const QString& word : words) {
        EXPECT_TRUE(looksLikeText(word)) << word.toStdString();
        EXPECT_EQ(TextRecognition::keptText(word, doubted), word) << word.toStdString();
    }
    for (const QString& word : QStringLiteral("<<e a<b> x>y <name <<a@b>> word°").split(u' '))
        EXPECT_FALSE(looksLikeText(word)) << word.toStdString();
}

// A word the engine doubts because it glued a stray sign to its edge (a cursor, a rule or a
// mark beside it) costs the sign, not the word. A sign among the letters, more than two signs,
// or a short remainder is noise still, as are doubted words far taller than the text.
TEST(TextRecognitionWords, AStraySignAtAWordsEdgeCostsTheSignNotTheWord)
{
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("specified~"), QStringLiteral("specified")},
        {QStringLiteral("|Licensor"), QStringLiteral("Licensor")},
        {QStringLiteral("°Contributor"), QStringLiteral("Contributor")},
        {QStringLiteral("warranty°,"), QStringLiteral("warranty,")},
        {QStringLiteral("~“Work”"), QStringLiteral("“Work”")},
        {QStringLiteral("©2024"), QStringLiteral("2024")},
    };
    for (const auto& [read, kept] : cases) {
        EXPECT_FALSE(TextRecognition::keepsWord(read, doubted)) << read.toStdString();
        EXPECT_EQ(TextRecognition::keptText(read, doubted), kept) << read.toStdString();
        // Sure of it, the engine's reading stands as it is.
        EXPECT_EQ(TextRecognition::keptText(read, sure), read) << read.toStdString();
        EXPECT_EQ(TextRecognition::keptText(read, doubted, 2.0), QString()) << read.toStdString();
    }
    for (const QString& noise :
         QStringLiteral("W~ fig} ®ee ab\\ {5 x^y a|b |~=} ~~~word~~ ~ab| |a|b|c|").split(u' '))
        EXPECT_EQ(TextRecognition::keptText(noise, doubted), QString()) << noise.toStdString();
}
