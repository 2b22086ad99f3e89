// Shows a picture file in a frameless window at the top-left corner of the screen until it is
// killed: the screen content for benchmarks that time whole capture programs.
//   ShowPicture FILE
#include <QApplication>
#include <QLabel>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ShowPicture FILE\n");
        return 2;
    }
    const QPixmap picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "ShowPicture: cannot read %s\n", argv[1]);
        return 1;
    }
    QLabel label;
    label.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    label.setPixmap(picture);
    label.setGeometry(0, 0, picture.width(), picture.height());
    label.show();
    return app.exec();
}
