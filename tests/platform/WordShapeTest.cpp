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
