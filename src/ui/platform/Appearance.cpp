#include "ui/platform/Appearance.h"

#include "ui/platform/ContrastStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace snapkin::platform {

namespace {

struct Colors {
    QColor window, text, base, alternateBase, button, mid, dark, highlight, link, disabled;
};

QPalette makePalette(const Colors& c)
{
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternateBase);
    p.setColor(QPalette::ToolTipBase, c.base);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::PlaceholderText, c.disabled);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, c.button.lighter(130));
    p.setColor(QPalette::Midlight, c.button.lighter(110));
    p.setColor(QPalette::Mid, c.mid);
    p.setColor(QPalette::Dark, c.dark);
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, c.link);
    for (const auto role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText})
        p.setColor(QPalette::Disabled, role, c.disabled);
    return p;
}

QPalette lightPalette()
{
    return makePalette(
        {QColor(0xef, 0xef, 0xef), QColor(0x1e, 0x1e, 0x1e), Qt::white, QColor(0xf5, 0xf5, 0xf5),
         QColor(0xf2, 0xf2, 0xf2), QColor(0xb8, 0xb8, 0xb8), QColor(0x9f, 0x9f, 0x9f),
         QColor(0x30, 0x8c, 0xc6), QColor(0x00, 0x56, 0xb3), QColor(0xa0, 0xa0, 0xa0)});
}

QPalette darkPalette()
{
    return makePalette({QColor(0x2d, 0x2d, 0x2d), QColor(0xe8, 0xe8, 0xe8),
                        QColor(0x1e, 0x1e, 0x1e), QColor(0x26, 0x26, 0x26),
                        QColor(0x3a, 0x3a, 0x3a), QColor(0x30, 0x30, 0x30),
                        QColor(0x20, 0x20, 0x20), QColor(0x2f, 0x7d, 0xd1),
                        QColor(0x6c, 0xb4, 0xff), QColor(0x7a, 0x7a, 0x7a)});
}

} // namespace

namespace Appearance {

void apply(const QString& appearance)
{
    // What the desktop gave the application, kept from the first call so "system" can return.
    static const QString desktopStyle = QApplication::style()->name();
    static const QPalette desktopPalette = QApplication::palette();

    if (appearance == QLatin1String("light") || appearance == QLatin1String("dark")) {
        if (!qobject_cast<ContrastStyle*>(QApplication::style()))
            QApplication::setStyle(new ContrastStyle);
        QApplication::setPalette(appearance == QLatin1String("light") ? lightPalette()
                                                                      : darkPalette());
        return;
    }
    if (qobject_cast<ContrastStyle*>(QApplication::style()) ||
        QApplication::style()->name() != desktopStyle)
        QApplication::setStyle(QStyleFactory::create(desktopStyle));
    QApplication::setPalette(desktopPalette);
}

} // namespace Appearance

} // namespace snapkin::platform
