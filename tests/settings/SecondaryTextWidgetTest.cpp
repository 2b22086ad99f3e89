#include "SettingsTestSupport.h"
#include "TestPaths.h"

#include "editor/EditorWindowController.h"
#include "editor/SheetStyle.h"
#include "platform/Defaults.h"
#include "settings/AboutWindow.h"
#include "settings/InfoGlyphs.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsForm.h"
#include "settings/WhatsNewWindow.h"
#include "ui/platform/Appearance.h"
#include "ui/platform/ContrastStyle.h"

#include <QApplication>
#include <QFuture>
#include <QLabel>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

using namespace snapkin;

namespace {

// `color` as it shows over the opaque `background`.
QColor over(const QColor& color, const QColor& background)
{
    const double a = color.alphaF();
    const auto mix = [a](int top, int bottom) {
        return int(std::lround(a * top + (1 - a) * bottom));
    };
    return QColor(mix(color.red(), background.red()), mix(color.green(), background.green()),
                  mix(color.blue(), background.blue()));
}

// The secondary text colour of the application's palette now, as it shows on the window.
QColor secondaryOnWindow()
{
    const QPalette palette = QApplication::palette();
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(sheetstyle::secondaryOpacity);
    return over(text, palette.color(QPalette::Window));
}

QPalette paletteOf(const char* look)
{
    platform::Appearance::apply(QString::fromLatin1(look));
    return QApplication::palette();
}

// The secondary text colour of the `other` look, left on today's window colour.
QColor staleSecondary(const QPalette& other)
{
    QColor text = other.color(QPalette::WindowText);
    text.setAlphaF(sheetstyle::secondaryOpacity);
    return over(text, QApplication::palette().color(QPalette::Window));
}

// The pixel of `widget`, drawn on its window colour, that stands out from that colour most: the
// colour its text or symbol is drawn in, where it is fully covered.
QColor inkOf(QWidget* widget)
{
    const QColor window = widget->palette().color(QPalette::Window);
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(window);
    widget->render(&image, {}, {}, QWidget::DrawChildren);
    QColor ink = window;
    const auto distance = [&window](const QColor& c) {
        return std::abs(c.red() - window.red()) + std::abs(c.green() - window.green()) +
               std::abs(c.blue() - window.blue());
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (distance(image.pixelColor(x, y)) > distance(ink)) ink = image.pixelColor(x, y);
    return ink;
}

// Whether `a` and `b` are the same colour give or take a little.
bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <=
           12;
}

// The colour of the most opaque pixel of `button`'s icon.
QColor iconInk(QAbstractButton* button)
{
    const QImage image = button->icon().pixmap(QSize(32, 32)).toImage();
    QColor ink = Qt::transparent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > ink.alpha()) ink = image.pixelColor(x, y);
    return ink;
}

QLabel* labelShowing(QWidget* window, const QString& text)
{
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

class SecondaryText : public ::testing::Test {
protected:
    void SetUp() override { platform::Defaults::standard().removeAllStored(); }
    const QPalette light = paletteOf("light");
    const QPalette dark = paletteOf("dark");
    void TearDown() override
    {
        platform::Appearance::apply("system");
        platform::Defaults::standard().removeAllStored();
    }
};

// The welcome window's subtitle and row symbols and a settings note, all made in the light look
// and shown while the look turns dark, light and dark again.
TEST_F(SecondaryText, WelcomeSubtitleSymbolsAndSettingsNotesFollowALiveSwitch)
{
    platform::Appearance::apply("light");
    OnboardingView welcome([] { return QtFuture::makeReadyFuture(true); },
                           QKeySequence(QStringLiteral("Ctrl+Shift+V")), {});
    welcome.resize(welcome.sizeHint().expandedTo(QSize(560, 620)));
    welcome.show();
    QWidget settings;
    auto* column = new QVBoxLayout(&settings);
    QLabel* note = settingsNote(
        QStringLiteral("Shown under a settings row, in the secondary tone."), &settings);
    column->addWidget(note);
    settings.resize(420, 80);
    settings.show();
    QCoreApplication::processEvents();

    QLabel* subtitle = labelShowing(&welcome, QStringLiteral("Capture · annotate · share"));
    ASSERT_NE(subtitle, nullptr);
    QList<GlyphView*> symbols;
    for (GlyphView* glyph : welcome.findChildren<GlyphView*>())
        if (glyph->width() == 20) symbols << glyph; // the rows' symbols, not the status badge's
    ASSERT_FALSE(symbols.isEmpty());
    QPushButton* tryButton = nullptr;
    for (QPushButton* button : welcome.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Try it now")) tryButton = button;
    ASSERT_NE(tryButton, nullptr);
    EXPECT_GT(test::pixelsOf(subtitle, secondaryOnWindow()), 10);

    for (const char* look : {"dark", "light", "dark"}) {
        const bool toDark = qstrcmp(look, "dark") == 0;
        platform::Appearance::apply(QString::fromLatin1(look));
        QCoreApplication::processEvents();
        const QColor secondary = secondaryOnWindow();
        const QColor stale = staleSecondary(toDark ? light : dark);
        for (QWidget* text : {static_cast<QWidget*>(subtitle), static_cast<QWidget*>(note)}) {
            EXPECT_TRUE(near(inkOf(text), secondary))
                << look << " " << text->metaObject()->className() << " "
                << inkOf(text).name().toStdString() << " " << secondary.name().toStdString();
            // None of the other look's colour is left (on a light window it would not show).
            if (toDark) EXPECT_EQ(test::pixelsOf(text, stale), 0) << look;
        }
        for (GlyphView* symbol : symbols) {
            EXPECT_EQ(symbol->color(), sheetstyle::secondaryColor(symbol)) << look;
            EXPECT_TRUE(near(inkOf(symbol), secondary)) << look;
        }
        // The buttons' symbols are drawn in the button text colour of the look.
        const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
        for (QPushButton* button : {welcome.recheckButton(), tryButton})
            EXPECT_TRUE(near(iconInk(button), buttonText))
                << look << " " << iconInk(button).name().toStdString();
        // Body text: readable on the window, in either look.
        EXPECT_GE(platform::ContrastStyle::contrastRatio(
                      secondary, QApplication::palette().color(QPalette::Window)),
                  4.5);
    }
    test::saveScreenshot(welcome, "secondary-welcome-dark.png");
}

// "Checking screen capture…" shown while the look turns dark is redrawn in the dark look's
// secondary colour.
TEST_F(SecondaryText, TheWelcomeWindowsCheckingBadgeFollowsALiveSwitch)
{
    platform::Appearance::apply("light");
    QPromise<bool> pending;
    pending.start();
    OnboardingView welcome([&pending] { return pending.future(); },
                           QKeySequence(QStringLiteral("Ctrl+Shift+V")), {});
    welcome.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(welcome.access(), OnboardingView::Access::checking);
    platform::Appearance::apply("dark");
    QCoreApplication::processEvents();
    QColor secondary = dark.color(QPalette::WindowText);
    secondary.setAlphaF(sheetstyle::secondaryOpacity);
    auto* text = welcome.badge()->findChild<QLabel*>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->palette().color(QPalette::WindowText), secondary);
    pending.addResult(true);
    pending.finish();
    QCoreApplication::processEvents();
}

// Text faded inside a container with a colour of its own follows that colour, and a fixed
// colour set afterwards is not replaced when the palette changes.
TEST_F(SecondaryText, FadesFromTheInheritedColourUntilAFixedColourIsSet)
{
    platform::Appearance::apply("light");
    QWidget host;
    QPalette white = host.palette();
    white.setColor(QPalette::WindowText, Qt::white);
    host.setPalette(white);
    auto* label = sheetstyle::makeSecondary(new QLabel(QStringLiteral("faded")));
    auto* layout = new QVBoxLayout(&host);
    layout->addWidget(label);
    EXPECT_EQ(label->palette().color(QPalette::WindowText),
              QColor::fromRgbF(1, 1, 1, sheetstyle::secondaryOpacity));

    // Faded twice is faded once, at the last opacity.
    sheetstyle::fadeText(label, sheetstyle::tertiaryOpacity);
    EXPECT_EQ(label->palette().color(QPalette::WindowText),
              QColor::fromRgbF(1, 1, 1, sheetstyle::tertiaryOpacity));

    QColor darkSecondary = dark.color(QPalette::WindowText);
    darkSecondary.setAlphaF(sheetstyle::secondaryOpacity);
    // A window built and never shown, and one shown and hidden again, while the look changes.
    QWidget unseen;
    auto* unseenText = sheetstyle::makeSecondary(new QLabel(QStringLiteral("unseen"), &unseen));
    QWidget closed;
    auto* closedText = sheetstyle::makeSecondary(new QLabel(QStringLiteral("closed"), &closed));
    closed.show();
    closed.hide();
    std::unique_ptr<QLabel> loose(sheetstyle::makeSecondary(new QLabel(QStringLiteral("loose"))));
    platform::Appearance::apply("dark");
    QCoreApplication::processEvents();
    // A label made before it has a parent takes its colour where it is placed.
    loose->setParent(&unseen);
    EXPECT_EQ(loose.release()->palette().color(QPalette::WindowText), darkSecondary);
    EXPECT_EQ(unseenText->palette().color(QPalette::WindowText), darkSecondary);
    EXPECT_EQ(closedText->palette().color(QPalette::WindowText), darkSecondary);
    platform::Appearance::apply("light");
    QCoreApplication::processEvents();

    sheetstyle::setTextColor(label, Qt::red);
    platform::Appearance::apply("dark");
    QCoreApplication::processEvents();
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));
}

// The welcome, About, What's New and newsletter windows, opened in the light look and pictured
// before and after a live switch to dark; after it no faded text or symbol keeps the light
// look's colour.
TEST_F(SecondaryText, InformationWindowsAfterALiveSwitchToDark)
{
    platform::Appearance::apply("light");
    OnboardingView welcome([] { return QtFuture::makeReadyFuture(true); },
                           QKeySequence(QStringLiteral("Ctrl+Shift+V")), {});
    welcome.show();
    AboutController about;
    about.show();
    WhatsNewController whatsNew;
    whatsNew.show();
    EditorWindowController editors;
    NewsletterWindowController newsletter(nullptr, &editors);
    newsletter.show();
    const QList<std::pair<QWidget*, QString>> windows{
        {&welcome, QStringLiteral("welcome")},
        {about.window(), QStringLiteral("about")},
        {whatsNew.window(), QStringLiteral("whatsnew")},
        {newsletter.window(), QStringLiteral("newsletter")}};
    for (const auto& [window, name] : windows) {
        ASSERT_NE(window, nullptr) << name.toStdString();
        window->adjustSize();
    }
    QCoreApplication::processEvents();
    for (const auto& [window, name] : windows)
        test::saveScreenshot(*window, QStringLiteral("secondary-%1-light.png").arg(name));

    platform::Appearance::apply("dark");
    QCoreApplication::processEvents();
    const QColor stale = staleSecondary(light);
    // The newsletter's field is filled with the dark look's base colour, not left white.
    QLineEdit* email = newsletter.window()->emailField();
    const QImage field = email->grab().toImage();
    EXPECT_TRUE(near(field.pixelColor(field.width() - 12, field.height() / 2),
                     QApplication::palette().color(QPalette::Base)));
    for (const auto& [window, name] : windows) {
        test::saveScreenshot(*window, QStringLiteral("secondary-%1-dark.png").arg(name));
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->isVisible())
                EXPECT_EQ(test::pixelsOf(label, stale), 0)
                    << name.toStdString() << ": " << label->text().toStdString();
        for (GlyphView* glyph : window->findChildren<GlyphView*>())
            if (glyph->isVisible())
                EXPECT_EQ(test::pixelsOf(glyph, stale), 0) << name.toStdString();
    }
}

} // namespace
