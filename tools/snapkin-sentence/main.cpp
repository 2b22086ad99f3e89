// snapkin-sentence: a window titled "Sentence" that shows one line of large black text on white,
// for tests that capture another program's window and find its text again. Not a user feature.
//
//   snapkin-sentence "The text to show"
//
// The window stays until the program is ended.

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    QLabel label(QString::fromUtf8(argv[1]));
    label.setWindowTitle(QStringLiteral("Sentence"));
    label.setAlignment(Qt::AlignCenter);
    label.setAutoFillBackground(true);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(44);
    label.setFont(font);
    label.setGeometry(150, 250, 1400, 220);
    label.show();
    return app.exec();
}
