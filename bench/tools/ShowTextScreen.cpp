// Fills the screen with the benchmarks' screen of text, tiled, so captures of it hold as much
// text as a real screen of documents and code:
//
//   ShowTextScreen        (until killed)

#include "support/TextPage.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QImage page = snapkin::bench::makeTextPage().image;
    QImage tiled(screen.size(), QImage::Format_RGB32);
    {
        QPainter painter(&tiled);
        for (int y = 0; y < tiled.height(); y += page.height()) {
            for (int x = 0; x < tiled.width(); x += page.width())
                painter.drawImage(QPoint(x, y), page);
        }
    }
    QLabel label;
    label.setWindowTitle(QStringLiteral("Text screen"));
    label.setPixmap(QPixmap::fromImage(tiled));
    label.setWindowFlag(Qt::FramelessWindowHint);
    label.setGeometry(screen);
    label.show();
    return app.exec();
}
