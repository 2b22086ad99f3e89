#include "TestPaths.h"

#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/Defaults.h"
#include "settings/AboutWindow.h"
#include "settings/NewsletterService.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// Pictures of the windows, written into the build folder for a person to look at.
void picture(QWidget* window, const QString& name)
{
    window->adjustSize();
    QTest::qWait(20);
    window->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/") + name);
}

class InformationWindows : public ::testing::Test {
protected:
    void SetUp() override { settings().removeAllStored(); }
    void TearDown() override { settings().removeAllStored(); }
};

} // namespace

TEST_F(InformationWindows, WhatsNewOpensOnceAfterAnUpgradeOnly)
{
    struct Case {
        const char* name;
        std::optional<bool> shown;
        QVariantMap stored;
        bool result;
    };
    const Case cases[] = {
        {"fresh installation", std::nullopt, {}, false},
        {"only unrelated keys", std::nullopt, {{"appearance", "dark"}}, false},
        {"upgrade with an export format", std::nullopt, {{"exportFormat", "png"}}, true},
        {"upgrade that showed the welcome", false, {{"didShowOnboarding", false}}, true},
        {"upgrade that counted launches", std::nullopt, {{"newsletterFirstLaunch", 0.0}}, true},
        {"already shown", true, {{"exportFormat", "png"}}, false},
    };
    for (const Case& c : cases) {
        settings().removeAllStored();
        if (c.shown) settings().setValue(keys::whatsNew2Shown, *c.shown);
        EXPECT_EQ(WhatsNewController::consumeFirstLaunch(settings(), c.stored), c.result) << c.name;
        EXPECT_TRUE(settings().get(keys::whatsNew2Shown)) << c.name;
        // The next launch never shows it again.
        EXPECT_FALSE(WhatsNewController::consumeFirstLaunch(settings(), c.stored)) << c.name;
    }
}

TEST_F(InformationWindows, WhatsNewNamesTheRealShortcutsAndLeavesOutTheThumbnail)
{
    CaptureHotKey copyText = CaptureHotKey::builtIn(CaptureAction::copyText);
    copyText.modifiers = CaptureHotKey::ctrlMask | CaptureHotKey::shiftMask;
    copyText.save(CaptureAction::copyText);
    const QKeySequence save(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S));
    WhatsNewController controller;
    controller.setSaveAsDocumentKeys(save);
    controller.show();
    WhatsNewWindow* window = controller.window();
    ASSERT_NE(window, nullptr);

    QStringList ids;
    for (const auto& f : WhatsNewWindow::features(save, copyText.displayString()))
        ids << f.id;
    EXPECT_EQ(ids, QStringList({"toolbar", "history", "document", "text", "pin"}));
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Copy text with " + copyText.displayString()));
    EXPECT_TRUE(texts.contains("Save with " + save.toString(QKeySequence::NativeText) +
                               " as an .snapkin document to keep the annotations editable."));
    EXPECT_TRUE(texts.contains("Edit ▸ Delete, or the Delete key"));
    EXPECT_TRUE(texts.contains("Here is what Snapkin 2.0 brings, and where its controls are."));
    EXPECT_FALSE(texts.join('\n').contains("Mac"));
    picture(window, "whats-new.png");
    // 600 wide whatever the texts, and every wrapped text has the height it needs there.
    EXPECT_EQ(window->width(), WhatsNewWindow::windowWidth);
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->wordWrap() && !label->text().isEmpty())
            EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                << label->text().toStdString();
    }

    window->close(); // hidden, kept
    controller.show();
    EXPECT_EQ(controller.window(), window);
    QTest::keyClick(window, Qt::Key_Return); // Continue
    EXPECT_EQ(controller.window(), nullptr);
}

TEST_F(InformationWindows, AboutShowsTheBuildsVersionAndEveryCreditWithItsLicence)
{
    EXPECT_EQ(AboutWindow::versionLine(QString("2.0"), std::nullopt), "2.0 (1)");
    EXPECT_EQ(AboutWindow::versionLine(std::nullopt, std::nullopt), "1.0 (1)");
    EXPECT_EQ(AboutWindow::versionLine(QString("0.1.0"), QString("42")), "0.1.0 (42)");

    AboutController about;
    about.show();
    AboutWindow* window = about.window();
    ASSERT_NE(window, nullptr);
    auto* version = window->findChild<QLabel*>("version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), AboutWindow::versionLine());

    const auto credits = window->findChildren<QLabel*>("credit");
    const auto expected = AboutWindow::credits();
    ASSERT_EQ(credits.size(), expected.size());
    QStringList names;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        names << expected[i].name;
        EXPECT_TRUE(credits[i]->text().contains(expected[i].name + " · " + expected[i].licence));
        EXPECT_TRUE(
            credits[i]->text().contains(AboutWindow::copyrightUrl(expected[i].package).toString()));
        // The package named is the one the build links.
        EXPECT_TRUE(QFile::exists(AboutWindow::copyrightUrl(expected[i].package).toLocalFile()))
            << expected[i].package.toStdString();
    }
    EXPECT_EQ(names, QStringList({"Qt", "Tesseract", "zxing-cpp", "Leptonica", "WebP · libwebp",
                                  "libpng", "libjpeg-turbo", "libtiff", "giflib"}));
    // The WebP line names the format, the library and its licence, and opens the licence.
    const auto webp = std::find_if(credits.begin(), credits.end(), [](const QLabel* label) {
        return label->text().contains("WebP · libwebp · BSD 3-Clause");
    });
    ASSERT_NE(webp, credits.end());
    EXPECT_TRUE((*webp)->text().contains("file:///usr/share/doc/libwebp7/copyright"));
    // No site or contact is configured in this build: no link leads nowhere.
    EXPECT_EQ(window->findChild<QLabel*>("site"), nullptr);
    picture(window, "about.png");

    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(about.window(), nullptr);
}

TEST_F(InformationWindows, PicturesOfTheWelcomePagesAndTheNewsletterForm)
{
    OnboardingController welcome;
    welcome.setAccessCheck([] { return QtFuture::makeReadyFuture(false); });
    welcome.show();
    QTest::qWait(5);
    ASSERT_NE(welcome.window(), nullptr);
    picture(welcome.window(), "welcome-screen-capture.png");
    welcome.window()->view()->nextButton()->click();
    picture(welcome.window(), "welcome-first-capture.png");
    welcome.window()->view()->startButton()->click();

    NewsletterService::setEndpointForTesting(QUrl("https://news.example.org/api/subscribe"));
    NewsletterWindowController newsletter;
    newsletter.show();
    NewsletterWindow* form = newsletter.window();
    ASSERT_NE(form, nullptr);
    form->emailField()->setText("ada@example.com");
    form->consentBox()->setChecked(true);
    picture(form, "newsletter.png");
    settings().setValue("newsletterSubscribed", true);
    newsletter.close();
    NewsletterService::setEndpointForTesting(std::nullopt);
}
