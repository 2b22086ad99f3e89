#include "ui/platform/Appearance.h"
#include "ui/platform/ContrastStyle.h"

#include "TestPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using snapkin::platform::ContrastStyle;
namespace Appearance = snapkin::platform::Appearance;

namespace {

// The strongest contrast any pixel of the indicator has against the window behind it.
double indicatorContrast(QAbstractButton& button, QStyle::SubElement indicator)
{
    const QImage shot = button.grab().toImage();
    QStyleOptionButton option;
    option.initFrom(&button);
    const QRect box = button.style()->subElementRect(indicator, &option, &button);
    const QColor window = button.palette().color(QPalette::Window);
    double best = 1;
    const qreal dpr = shot.devicePixelRatio();
    for (int y = int(box.top() * dpr); y <= int(box.bottom() * dpr); ++y) {
        for (int x = int(box.left() * dpr); x <= int(box.right() * dpr); ++x) {
            if (!shot.rect().contains(x, y)) continue;
            best = std::max(best, ContrastStyle::contrastRatio(shot.pixelColor(x, y), window));
        }
    }
    return best;
}

} // namespace

TEST(ContrastStyle, RatiosFollowTheGuidelinesFormula)
{
    EXPECT_NEAR(ContrastStyle::contrastRatio(Qt::white, Qt::black), 21.0, 0.01);
    EXPECT_NEAR(ContrastStyle::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.02);
    const QColor dark(0x2d, 0x2d, 0x2d);
    const QColor outline = ContrastStyle::outlineColor(dark, QColor(0xe8, 0xe8, 0xe8));
    EXPECT_GE(ContrastStyle::contrastRatio(outline, dark), 3.0);
    EXPECT_LT(outline.lightness(), 0xe8); // the nearest that is enough, not the text itself
}

TEST(ContrastStyle, UncheckedBoxesAndRadioButtonsStandOutInBothAppearances)
{
    QImage sheet(440, 90, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    int column = 0;
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        Appearance::apply(QString::fromLatin1(appearance));
        ASSERT_NE(qobject_cast<ContrastStyle*>(QApplication::style()), nullptr);
        QWidget panel;
        panel.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&panel);
        auto* box = new QCheckBox(QStringLiteral("Show in taskbar"));
        auto* radio = new QRadioButton(QStringLiteral("Ask every time"));
        auto* on = new QCheckBox(QStringLiteral("Checked"));
        on->setChecked(true);
        layout->addWidget(box);
        layout->addWidget(radio);
        layout->addWidget(on);
        panel.resize(220, 90);
        panel.show();
        QApplication::processEvents();
        EXPECT_GE(indicatorContrast(*box, QStyle::SE_CheckBoxIndicator), 3.0);
        EXPECT_GE(indicatorContrast(*radio, QStyle::SE_RadioButtonIndicator), 3.0);
        painter.drawImage(QPoint(220 * column++, 0), panel.grab().toImage());
    }
    painter.end();
    Appearance::apply(QStringLiteral("system"));
    sheet.save(QStringLiteral(SNAPKIN_BUILD_DIR "/check-boxes-light-dark.png"));
}
