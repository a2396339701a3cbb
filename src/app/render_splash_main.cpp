// Writes the splash picture, as drawn, into the files the program shows:
//   velmora-render-splash [FOLDER]   (default: src/app/pictures of the source tree)
// Run it again after changing the drawing; the files are committed.
#include "app/splash_picture.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // Fonts and painting need a GUI application, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VELMORA_PICTURES_DIR);
    for (const auto& [ratio, name] : {std::pair{1.0, "splash.png"}, std::pair{2.0, "splash@2x.png"}}) {
        const QString file = QDir(folder).filePath(QString::fromLatin1(name));
        if (!velm::DrawSplashPicture(ratio).save(file)) {
            std::fprintf(stderr, "velmora-render-splash: cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
