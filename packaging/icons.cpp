// Draws the program's icon for the desktop's icon theme at the sizes given on the command line:
// velmaro-icons FOLDER SIZE... writes FOLDER/<size>x<size>/apps/velmaro.png.
#include "ui/logo.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fputs("usage: velmaro-icons FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "velmaro-icons: '%s' is no size in pixels\n", argv[i]);
            return 2;
        }
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = apps + QStringLiteral("/velmaro.png");
        if (!QDir().mkpath(apps) || !ui::drawIcon(size).save(file)) {
            std::fprintf(stderr, "velmaro-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
