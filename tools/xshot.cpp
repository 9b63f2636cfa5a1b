// tabulon-xshot FILE.png: writes a picture of the whole X11 screen, the way the run
// script shows what Tabulon looks like on a machine without a display of its own.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tabulon-xshot FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tabulon-xshot: cannot take or write the picture\n");
        return 1;
    }
    return 0;
}
