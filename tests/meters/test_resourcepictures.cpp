// Pictures of the resource tree behind style sheet `image: url(…)`: each is
// decoded once however often a label's style sheet is assigned, and shown
// fitted once, smoothly, aspect kept and centred.
//
// Full PNG decodes are counted at libpng itself: this executable provides
// png_read_end (every complete read ends with it, header-only reads do not)
// and passes the call on to the real one.
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include <dlfcn.h>

#include "resourcepictures.h"

namespace {

int g_pngDecodes = 0;

}  // namespace

extern "C" void png_read_end(void *png, void *info)
{
    using Real = void (*)(void *, void *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "png_read_end"));
    ++g_pngDecodes;
    real(png, info);
}

namespace {

const QString kSignals = QStringLiteral(":/resources/png/KorvaneMeterIcons2/signals/");
const QString kSunken = QStringLiteral(":/resources/png/KorvaneMeterIcons2/sunken/");

struct Shown {
    QString path;
    QSize label;  // on the design canvas
};

// Every picture the program shows through a style sheet.
QVector<Shown> shownPictures()
{
    QVector<Shown> list = {
        {QStringLiteral(":/resources/png/Settings.png"), {25, 25}},
        {QStringLiteral(":/resources/png/about.png"), {161, 131}},
    };
    for (const char *name : {"onair1", "onair2", "nonstop", "silence", "micon", "crmmute", "phone"})
        for (const char *state : {"active", "inactive"})
            list.append(
                {kSignals + QStringLiteral("%1-%2.png").arg(QLatin1String(name), QLatin1String(state)), {121, 41}});
    for (int n = 1; n <= 6; ++n)
        for (const char *colour : {"grey", "green", "red"})
            list.append({kSunken + QStringLiteral("%1-%2.png").arg(n).arg(QLatin1String(colour)), {61, 61}});
    return list;
}

QString sheet(const QString &path)
{
    return QStringLiteral("image: url(%1);").arg(path);
}

// The label as painted over white, without a window background.
QImage shown(QLabel &label)
{
    QImage image(label.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    label.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

class StyleChanges : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++count;
        return false;
    }
};

}  // namespace

class TestResourcePictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyPictureDecodedOnceWhateverTheAssignments();
    void fittedOnceSmoothlyCentred_data();
    void fittedOnceSmoothlyCentred();
};

void TestResourcePictures::initTestCase()
{
    // The counter must see the decodes Qt makes, or the test proves nothing.
    const int before = g_pngDecodes;
    QVERIFY(!QImage(QStringLiteral(":/resources/png/vt.png")).isNull());
    if (g_pngDecodes != before + 1)
        QSKIP("this Qt does not decode PNG through the shared libpng; decodes cannot be counted");
    installResourcePictures();
}

void TestResourcePictures::everyPictureDecodedOnceWhateverTheAssignments()
{
    QWidget window;
    window.resize(200, 200);
    QLabel label(&window);
    StyleChanges changes;
    label.installEventFilter(&changes);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    for (const Shown &picture : shownPictures()) {
        label.resize(picture.label);
        const int before = g_pngDecodes;
        const int changesBefore = changes.count;
        QImage first;
        for (int assignment = 0; assignment < 4; ++assignment) {
            // The same sheet again, and the label repainted each time.
            label.setStyleSheet(sheet(picture.path));
            const QImage now = shown(label);
            if (assignment == 0)
                first = now;
            QCOMPARE(now, first);
        }
        QVERIFY2(g_pngDecodes - before == 1,
                 qPrintable(QStringLiteral("%1: %2 decodes").arg(picture.path).arg(g_pngDecodes - before)));
        // Each assignment still re-polished the label.
        QCOMPARE(changes.count - changesBefore, 4);
        // A picture is shown: not all white.
        QImage white(first.size(), first.format());
        white.fill(Qt::white);
        QVERIFY2(first != white, qPrintable(picture.path));
    }

    // Back to a picture seen before: no decode at all, also in a new label
    // at another size.
    const int before = g_pngDecodes;
    QLabel other(&window);
    other.resize(84, 84);
    other.setStyleSheet(sheet(kSunken + QStringLiteral("3-green.png")));
    shown(other);
    label.setStyleSheet(sheet(kSignals + QStringLiteral("onair1-active.png")));
    shown(label);
    QCOMPARE(g_pngDecodes, before);
}

void TestResourcePictures::fittedOnceSmoothlyCentred_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("label");
    const QString onAir = kSignals + QStringLiteral("onair1-active.png");
    const QString mute = kSignals + QStringLiteral("crmmute-inactive.png");
    const QString lamp = kSunken + QStringLiteral("2-red.png");
    QTest::newRow("signal at the design size") << onAir << QSize(121, 41);
    QTest::newRow("signal in a full-screen window") << mute << QSize(235, 79);
    QTest::newRow("signal in a narrow label") << onAir << QSize(90, 60);
    QTest::newRow("lamp at the design size") << lamp << QSize(61, 61);
    QTest::newRow("lamp in a wide label") << lamp << QSize(100, 70);
}

void TestResourcePictures::fittedOnceSmoothlyCentred()
{
    QFETCH(QString, path);
    QFETCH(QSize, label);

    QLabel shownLabel;
    shownLabel.resize(label);
    shownLabel.setStyleSheet(sheet(path));
    const QImage onScreen = shown(shownLabel);

    // The picture scaled once, smoothly, to the largest size that keeps its
    // aspect ratio (to the nearest pixel) ...
    const QImage picture = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double scale = qMin(double(label.width()) / picture.width(), double(label.height()) / picture.height());
    const QSize fitted(qRound(picture.width() * scale), qRound(picture.height() * scale));
    QVERIFY(fitted.width() == label.width() || fitted.height() == label.height());
    const QImage once = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    // ... in the middle of the label (an odd leftover pixel may go either way).
    bool found = false;
    for (int dx : {(label.width() - fitted.width()) / 2, (label.width() - fitted.width() + 1) / 2}) {
        for (int dy : {(label.height() - fitted.height()) / 2, (label.height() - fitted.height() + 1) / 2}) {
            QImage expected(label, QImage::Format_ARGB32);
            expected.fill(Qt::white);
            QPainter painter(&expected);
            painter.drawImage(dx, dy, once);
            painter.end();
            found = found || expected == onScreen;
        }
    }
    QVERIFY2(found, "the label does not show the picture fitted once and centred");
}

QTEST_MAIN(TestResourcePictures)
#include "test_resourcepictures.moc"
