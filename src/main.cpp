#include "SnapkinVersion.h"
#include "output/OutputHooks.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("snapkin");
    QApplication::setApplicationDisplayName("Snapkin");
    QApplication::setApplicationVersion(SNAPKIN_VERSION);
    // Documents written from here on carry a framed preview.
    snapkin::installOutputHooks();
    QMainWindow window;
    window.setWindowTitle("Snapkin");
    auto* label = new QLabel(QObject::tr("The editor is not built yet."), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(800, 600);
    window.show();
    return app.exec();
}
