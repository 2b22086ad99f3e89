// The tests draw text with fonts of their own choosing (tests/support/TestMain.cpp), whatever the
// machine has installed or prefers, so the widths and ink they measure are the same on every
// desktop. The programs they start (the application, the tools) draw with the same fonts.
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// Qt lists the generic families among the installed ones.
bool isTestFamily(const QString& family)
{
    static const QStringList generic = {QStringLiteral("Sans Serif"), QStringLiteral("Serif"),
                                        QStringLiteral("Monospace")};
    return generic.contains(family) || family.startsWith(QStringLiteral("DejaVu ")) ||
           family == QStringLiteral("Noto Color Emoji") || family.contains(QStringLiteral(" CJK"));
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::string drawnIn(const QFont& font)
{
    return QFontInfo(font).family().toStdString();
}

TEST(TestFonts, TheGenericFamiliesAreDejaVu)
{
    EXPECT_EQ(drawnIn(QApplication::font()), "DejaVu Sans");
    EXPECT_EQ(drawnIn(QFont(QStringLiteral("serif"))), "DejaVu Serif");
    EXPECT_EQ(drawnIn(QFontDatabase::systemFont(QFontDatabase::FixedFont)), "DejaVu Sans Mono");
    // A family the tests do not have, such as a desktop's favourite, is drawn in the sans.
    EXPECT_EQ(drawnIn(QFont(QStringLiteral("Noto Sans"))), "DejaVu Sans");
}

TEST(TestFonts, OnlyTheChosenFontsAreSeen)
{
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families)
        EXPECT_TRUE(isTestFamily(family)) << family.toStdString();
    EXPECT_TRUE(families.contains(QStringLiteral("Noto Color Emoji")));
    EXPECT_TRUE(families.contains(QStringLiteral("Noto Sans CJK JP")));
    // Italics are the fonts' own, not slanted by the renderer.
    EXPECT_TRUE(QFontDatabase::styles(QStringLiteral("DejaVu Serif")).contains("Italic"));
}

TEST(TestFonts, ProgramsTheTestsStartSeeTheSameFonts)
{
    // fontconfig's own tools come with Qt's GUI library.
    EXPECT_EQ(run(QStringLiteral("fc-match"),
                  {QStringLiteral("--format=%{family[0]}"), QStringLiteral("sans-serif")})
                  .toStdString(),
              "DejaVu Sans");
    const QString listed =
        run(QStringLiteral("fc-list"), {QStringLiteral("--format=%{family[0]}\\n")});
    ASSERT_FALSE(listed.isEmpty());
    for (const QString& family : listed.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(isTestFamily(family)) << family.toStdString();
}

} // namespace
