// Writes the window icon as one PNG per size into a hicolor icon tree:
//   icon-sizes ICON.ico OUTDIR NAME SIZE...
// gives OUTDIR/<SIZE>x<SIZE>/apps/NAME.png. A size the icon file holds is
// taken as drawn; any other is scaled down from the largest picture.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QMap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: icon-sizes ICON.ico OUTDIR NAME SIZE...\n");
        return 2;
    }

    QImageReader reader(args.at(1));
    QMap<int, QImage> drawn;  // square pictures by edge length
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (!image.isNull() && image.width() == image.height())
            drawn.insert(image.width(), image.convertToFormat(QImage::Format_ARGB32));
    }
    if (drawn.isEmpty()) {
        std::fprintf(stderr, "icon-sizes: no square picture in %s: %s\n", qPrintable(args.at(1)),
                     qPrintable(reader.errorString()));
        return 1;
    }

    for (int i = 4; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "icon-sizes: '%s' is not a size\n", qPrintable(args.at(i)));
            return 2;
        }
        QImage image = drawn.value(size);
        if (image.isNull())
            image = drawn.last().scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.at(2)).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, args.at(3));
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "icon-sizes: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
