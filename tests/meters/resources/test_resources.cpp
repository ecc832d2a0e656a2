// The compiled-in picture tree: every path the program uses resolves, with
// the right format and size; the window icon carries its six images; the
// pictures under each name are the ones the name promises.

#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtEndian>
#include <QtTest>

namespace {

const QString kIcon = QStringLiteral(":/resources/ico/MorvidIcon256x256Border.ico");
const QString kSignals = QStringLiteral(":/resources/png/KorvaneMeterIcons2/signals/");
const QString kSunken = QStringLiteral(":/resources/png/KorvaneMeterIcons2/sunken/");
const QString kLarge = QStringLiteral(":/resources/png/KorvaneMeterIcons2/");

struct Picture {
    QString path;
    QSize size;
    bool shown;
};

QVector<Picture> expectedPictures()
{
    QVector<Picture> list = {
        {QStringLiteral(":/resources/png/background_offline.png"), {986, 650}, true},
        {QStringLiteral(":/resources/png/background_online.png"), {986, 650}, true},
        {QStringLiteral(":/resources/png/MorvidBackgroundEmpty.png"), {1024, 580}, true},
        {QStringLiteral(":/resources/png/Settings.png"), {256, 256}, true},
        {QStringLiteral(":/resources/png/about.png"), {358, 273}, true},
        {QStringLiteral(":/resources/png/splash_screen.png"), {700, 400}, false},
        {QStringLiteral(":/resources/png/vt.png"), {256, 256}, false},
    };
    for (const char *name : {"onair1", "onair2", "nonstop", "silence", "micon", "crmmute", "phone"})
        for (const char *state : {"active", "inactive"})
            list.append({kSignals + QStringLiteral("%1-%2.png").arg(QLatin1String(name), QLatin1String(state)),
                         {544, 156},
                         true});
    for (int n = 1; n <= 8; ++n)
        for (const char *colour : {"grey", "green", "red"})
            list.append({kSunken + QStringLiteral("%1-%2.png").arg(n).arg(QLatin1String(colour)), {256, 256}, n <= 6});
    for (const char *name : {"onair1", "onair2", "nonstop", "silence", "micon", "crm"})
        for (const char *state : {"active", "inactive"})
            list.append({kLarge + QStringLiteral("%1-%2.png").arg(QLatin1String(name), QLatin1String(state)),
                         {581, 184},
                         false});
    return list;
}

QImage load(const QString &path)
{
    QImage img(path);
    return img.convertToFormat(QImage::Format_ARGB32);
}

// Mean colour of the opaque-ish pixels in a rectangle.
QColor meanColour(const QImage &img, const QRect &r)
{
    qint64 red = 0, green = 0, blue = 0, n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) < 128)
                continue;
            red += qRed(p);
            green += qGreen(p);
            blue += qBlue(p);
            ++n;
        }
    if (n == 0)
        return QColor();
    return QColor(int(red / n), int(green / n), int(blue / n));
}

quint16 le16(const QByteArray &d, int at)
{
    return qFromLittleEndian<quint16>(d.constData() + at);
}
quint32 le32(const QByteArray &d, int at)
{
    return qFromLittleEndian<quint32>(d.constData() + at);
}

}  // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void treeHoldsExactlyTheListedFiles();
    void everyPictureHasItsFormatAndSize();
    void entriesAreStoredUncompressedForEveryLocale();
    void iconFileHoldsSixThirtyTwoBitImages();
    void iconImagesReadBackWithTransparency();
    void signalPicturesMatchTheirNames();
    void lampPicturesMatchTheirColours();
    void statusBackgroundsDiffer();
};

void TestResources::treeHoldsExactlyTheListedFiles()
{
    QStringList found;
    QDirIterator it(QStringLiteral(":/resources"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    found.sort();

    QStringList expected{kIcon};
    int shown = 1;  // the icon
    for (const Picture &p : expectedPictures()) {
        expected.append(p.path);
        shown += p.shown ? 1 : 0;
    }
    expected.sort();

    QCOMPARE(found.size(), 58);
    QCOMPARE(found, expected);
    QCOMPARE(shown, 38);
}

void TestResources::everyPictureHasItsFormatAndSize()
{
    for (const Picture &p : expectedPictures()) {
        QImageReader reader(p.path);
        QVERIFY2(reader.canRead(), qPrintable(p.path));
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), p.size);
        // The data decodes completely, not just the header.
        const QImage img = reader.read();
        QVERIFY2(!img.isNull(), qPrintable(p.path + QLatin1Char(' ') + reader.errorString()));
        QCOMPARE(img.size(), p.size);
    }
}

void TestResources::entriesAreStoredUncompressedForEveryLocale()
{
    QStringList all{kIcon};
    for (const Picture &p : expectedPictures())
        all.append(p.path);
    for (const QString &path : all) {
        const QResource plain(path);
        QVERIFY2(plain.isValid(), qPrintable(path));
        QCOMPARE(plain.compressionAlgorithm(), QResource::NoCompression);
        QCOMPARE(plain.size(), QFileInfo(path).size());
        // No locale restriction: a Dutch or a Japanese lookup finds the same entry.
        QVERIFY(QResource(path, QLocale(QLocale::Dutch, QLocale::Netherlands)).isValid());
        QVERIFY(QResource(path, QLocale(QLocale::Japanese)).isValid());
    }
}

void TestResources::iconFileHoldsSixThirtyTwoBitImages()
{
    QFile f(kIcon);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    QVERIFY(data.size() > 6 + 6 * 16);
    QCOMPARE(le16(data, 0), quint16(0));  // reserved
    QCOMPARE(le16(data, 2), quint16(1));  // icon, not cursor
    QCOMPARE(le16(data, 4), quint16(6));

    QList<int> sizes;
    for (int i = 0; i < 6; ++i) {
        const int e = 6 + 16 * i;
        const int w = quint8(data[e]) == 0 ? 256 : quint8(data[e]);
        const int h = quint8(data[e + 1]) == 0 ? 256 : quint8(data[e + 1]);
        QCOMPARE(w, h);
        sizes.append(w);
        QCOMPARE(le16(data, e + 4), quint16(1));   // planes
        QCOMPARE(le16(data, e + 6), quint16(32));  // bits per pixel
        const quint32 length = le32(data, e + 8);
        const quint32 offset = le32(data, e + 12);
        QVERIFY(offset + length <= quint32(data.size()));
        const QByteArray payload = data.mid(int(offset), int(length));
        if (payload.startsWith("\x89PNG\r\n\x1a\n")) {
            QImage png;
            QVERIFY(png.loadFromData(payload, "PNG"));
            QCOMPARE(png.size(), QSize(w, w));
            QVERIFY(png.hasAlphaChannel());
        } else {
            // BITMAPINFOHEADER: the height counts colour bitmap plus mask.
            QCOMPARE(le32(payload, 0), quint32(40));
            QCOMPARE(int(le32(payload, 4)), w);
            QCOMPARE(int(le32(payload, 8)), 2 * w);
            QCOMPARE(le16(payload, 14), quint16(32));
            const int maskStride = ((w + 31) / 32) * 4;
            QCOMPARE(int(length), 40 + w * w * 4 + maskStride * w);
        }
    }
    QCOMPARE(sizes, (QList<int>{16, 32, 48, 64, 128, 256}));
}

void TestResources::iconImagesReadBackWithTransparency()
{
    QImageReader reader(kIcon);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), 6);
    QList<int> sizes;
    for (int i = 0; i < 6; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage img = reader.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!img.isNull());
        sizes.append(img.width());
        QCOMPARE(img.height(), img.width());
        // Rounded corners are see-through, the middle is solid.
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255);
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, (QList<int>{16, 32, 48, 64, 128, 256}));

    const QIcon icon(kIcon);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().size(), 6);
}

void TestResources::signalPicturesMatchTheirNames()
{
    // Expected hue of each lit sign: red for on air, the others their own.
    const struct {
        const char *name;
        int hueLow, hueHigh;
    } signalHues[] = {{"onair1", 350, 370},  {"onair2", 350, 370},  {"micon", 15, 35},  {"silence", 35, 55},
                      {"nonstop", 120, 150}, {"crmmute", 200, 225}, {"phone", 255, 285}};
    QSet<QByteArray> distinct;
    for (const auto &s : signalHues) {
        const QImage active = load(kSignals + QStringLiteral("%1-active.png").arg(QLatin1String(s.name)));
        const QImage inactive = load(kSignals + QStringLiteral("%1-inactive.png").arg(QLatin1String(s.name)));
        QVERIFY(active != inactive);
        // Sample the plate left of the lettering, inside its border.
        const QRect sample(18, 64, 14, 28);
        const QColor lit = meanColour(active, sample);
        const QColor dim = meanColour(inactive, sample);
        QVERIFY2(lit.isValid() && dim.isValid(), s.name);
        int hue = lit.hsvHue();
        if (hue < s.hueLow)
            hue += 360;
        QVERIFY2(hue >= s.hueLow && hue <= s.hueHigh,
                 qPrintable(QStringLiteral("%1 hue %2").arg(QLatin1String(s.name)).arg(lit.hsvHue())));
        QVERIFY2(lit.hsvSaturation() > 150, s.name);
        // Unlit signs are dark plates, well below the lit ones.
        QVERIFY2(dim.value() < 60, s.name);
        QVERIFY2(lit.value() > 2 * dim.value(), s.name);
        // The legend stands out on the dimmed plate: some pixels are much
        // brighter than the plate around them.
        const QColor legendArea = meanColour(inactive, QRect(100, 40, 344, 76));
        QVERIFY2(legendArea.value() > dim.value() + 10, s.name);
        QByteArray bytes(reinterpret_cast<const char *>(active.constBits()), int(active.sizeInBytes()));
        distinct.insert(bytes);
    }
    // Both on-air signs share the red but carry their own number.
    QCOMPARE(distinct.size(), 7);
}

void TestResources::lampPicturesMatchTheirColours()
{
    QSet<QByteArray> distinct;
    for (int n = 1; n <= 8; ++n) {
        // The upper face of the lamp, beside the number.
        const QRect face(50, 100, 30, 20);
        const QColor grey = meanColour(load(kSunken + QStringLiteral("%1-grey.png").arg(n)), face);
        const QColor green = meanColour(load(kSunken + QStringLiteral("%1-green.png").arg(n)), face);
        const QColor red = meanColour(load(kSunken + QStringLiteral("%1-red.png").arg(n)), face);
        QVERIFY(grey.hsvSaturation() < 60);
        QVERIFY(green.green() > green.red() + 60 && green.green() > green.blue() + 60);
        QVERIFY(red.red() > red.green() + 80 && red.red() > red.blue() + 80);
        // Round: corners transparent, centre opaque.
        const QImage img = load(kSunken + QStringLiteral("%1-grey.png").arg(n));
        QCOMPARE(qAlpha(img.pixel(2, 2)), 0);
        QCOMPARE(qAlpha(img.pixel(128, 60)), 255);
        const QImage lamp = load(kSunken + QStringLiteral("%1-green.png").arg(n));
        distinct.insert(QByteArray(reinterpret_cast<const char *>(lamp.constBits()), int(lamp.sizeInBytes())));
    }
    // Every lamp shows its own number.
    QCOMPARE(distinct.size(), 8);
}

void TestResources::statusBackgroundsDiffer()
{
    const QImage online = load(QStringLiteral(":/resources/png/background_online.png"));
    const QImage offline = load(QStringLiteral(":/resources/png/background_offline.png"));
    QVERIFY(online != offline);
    // Opaque everywhere: the window draws them over its frame picture.
    for (const QImage &img : {online, offline})
        for (const QPoint &p : {QPoint(0, 0), QPoint(985, 649), QPoint(493, 325), QPoint(60, 300)})
            QCOMPARE(qAlpha(img.pixel(p)), 255);
    // Offline is marked in red around the edge; online is not.
    const QColor offEdge = meanColour(offline, QRect(4, 200, 4, 200));
    const QColor onEdge = meanColour(online, QRect(4, 200, 4, 200));
    QVERIFY(offEdge.red() > 120 && offEdge.red() > 3 * offEdge.green());
    QVERIFY(onEdge.red() < 60);
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
