// korvane-artwork: draws the picture tree of the meters program.
//
//   korvane-artwork RESOURCE_DIR [CONTACT_SHEET.png]
//
// RESOURCE_DIR is meters/resources; the tool writes its ico/ and png/ trees
// (58 files). With a second argument it also writes a contact sheet: every
// picture plus the main window's face put together from real labels with
// the program's layout, pictures fitted as the program fits them.

#include "icofile.h"
#include "painting.h"
#include "tavelin_version.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QtMath>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writePng(const QString &path, const QImage &img)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Quality 0 asks for the strongest zlib level: smaller files, same pixels.
    if (!img.convertToFormat(QImage::Format_ARGB32).save(path, "PNG", 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

const char *colourName(art::LampColour c)
{
    switch (c) {
    case art::LampColour::Grey: return "grey";
    case art::LampColour::Green: return "green";
    case art::LampColour::Red: return "red";
    }
    return "grey";
}

// resources.qrc: every picture at ":/resources/<path below RESOURCE_DIR>",
// stored uncompressed (PNG and icon data do not shrink any further).
bool writeResourceList(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(root).relativeFilePath(it.next());
        if (rel.endsWith(QLatin1String(".png")) || rel.endsWith(QLatin1String(".ico")))
            files.append(rel);
    }
    files.sort();
    QByteArray xml = "<RCC>\n    <qresource prefix=\"/resources\">\n";
    for (const QString &f : files)
        xml += "        <file compression-algorithm=\"none\">" + f.toUtf8() + "</file>\n";
    xml += "    </qresource>\n</RCC>\n";
    return writeFile(root + QStringLiteral("/resources.qrc"), xml);
}

// Writes the pictures of the tree, counting them and noting any failure.
class TreeWriter
{
public:
    void picture(const QString &path, const QByteArray &data) { note(writeFile(path, data)); }
    void picture(const QString &path, const QImage &image) { note(writePng(path, image)); }
    bool ok() const { return m_ok; }
    int pictures() const { return m_pictures; }

private:
    void note(bool written)
    {
        m_ok = m_ok && written;
        m_pictures += written ? 1 : 0;
    }
    bool m_ok = true;
    int m_pictures = 0;
};

// The pictures, then the resource list that names them; `pictures` tells
// how many were written.
bool writeTree(const QString &root, int &pictures)
{
    TreeWriter tree;
    const QString png = root + QStringLiteral("/png/");
    const QString icons = png + QStringLiteral("KorvaneMeterIcons2/");

    QVector<QImage> iconImages;
    for (int size : {16, 32, 48, 64, 128, 256})
        iconImages.append(art::windowIcon(size));
    tree.picture(root + QStringLiteral("/ico/MorvidIcon256x256Border.ico"), makeIcoFile(iconImages));

    tree.picture(png + QStringLiteral("background_offline.png"), art::statusBackground(false));
    tree.picture(png + QStringLiteral("background_online.png"), art::statusBackground(true));
    tree.picture(png + QStringLiteral("MorvidBackgroundEmpty.png"), art::frameBackground());
    tree.picture(png + QStringLiteral("Settings.png"), art::settingsGear(256));
    tree.picture(png + QStringLiteral("about.png"), art::aboutPicture());
    tree.picture(png + QStringLiteral("splash_screen.png"), art::splashScreen());
    tree.picture(png + QStringLiteral("vt.png"), art::voiceTrack(256));

    for (const art::Signal &s : art::signalSet()) {
        for (bool active : {true, false}) {
            const QString name = s.file + (active ? QStringLiteral("-active.png") : QStringLiteral("-inactive.png"));
            tree.picture(icons + QStringLiteral("signals/") + name, art::signalIcon(QSize(544, 156), s, active));
        }
        // The larger set keeps only six signals, and names control-room mute "crm".
        if (s.file == QLatin1String("phone"))
            continue;
        const QString big = s.file == QLatin1String("crmmute") ? QStringLiteral("crm") : s.file;
        for (bool active : {true, false}) {
            tree.picture(icons + big + (active ? QStringLiteral("-active.png") : QStringLiteral("-inactive.png")),
                         art::signalIcon(QSize(581, 184), s, active));
        }
    }

    for (int n = 1; n <= 8; ++n) {
        for (art::LampColour c : {art::LampColour::Grey, art::LampColour::Green, art::LampColour::Red}) {
            tree.picture(icons + QStringLiteral("sunken/%1-%2.png").arg(n).arg(QLatin1String(colourName(c))),
                         art::moduleLamp(256, n, c));
        }
    }
    pictures = tree.pictures();
    return tree.ok() && writeResourceList(root);
}

// ---------------------------------------------------------------- contact sheet

QLabel *place(QWidget *parent, const QRect &r, const QString &styleSheet, const QString &text = QString())
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setStyleSheet(styleSheet);
    return l;
}

// A picture as the program shows it: fitted into the label once, smoothly,
// aspect kept (to the nearest pixel, never enlarged), centred.
QLabel *placePicture(QWidget *parent, const QRect &r, const QString &file)
{
    auto *l = new QLabel(parent);
    l->setGeometry(r);
    const QImage picture(file);
    const QSize bound = r.size().boundedTo(picture.size());
    const qreal scale = qMin(qreal(bound.width()) / picture.width(), qreal(bound.height()) / picture.height());
    const QSize fitted(qMax(1, qRound(picture.width() * scale)), qMax(1, qRound(picture.height() * scale)));
    l->setPixmap(QPixmap::fromImage(picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// The window's face at the design size, built from labels placed as in the
// program, so that the sheet shows what the user will see. Meters and
// clocks are drawn roughly: they are widgets, not pictures.
QImage faceMockUp(const QString &root, bool online)
{
    QImage base(
        root + (online ? QStringLiteral("/png/background_online.png") : QStringLiteral("/png/background_offline.png")));
    {
        QPainter p(&base);
        p.setRenderHint(QPainter::Antialiasing);
        const int meterX[] = {54, 143, 210, 299};
        const int level[] = {300, 280, 190, 205};
        for (int i = 0; i < 4; ++i) {
            const QRect r(meterX[i], 73, 12, 415);
            p.fillRect(r, QColor(0, 64, 0));
            p.fillRect(QRect(r.left(), r.top(), 12, 415 - 345), QColor(64, 0, 0));
            const int b = online ? level[i] : 0;
            p.fillRect(QRect(r.left(), r.bottom() + 1 - b, 12, b), QColor(0, 255, 0));
        }
        const QPointF c(553, 290);
        for (int i = 0; i < 60; ++i) {
            const qreal a = i * 2 * M_PI / 60;
            const bool hour = i % 5 == 0;
            p.setPen(QPen(hour ? QColor(0, 255, 0) : QColor(0, 170, 0), hour ? 4 : 2));
            const qreal r0 = hour ? 180 : 196;
            p.drawLine(c + QPointF(std::sin(a) * r0, -std::cos(a) * r0),
                       c + QPointF(std::sin(a) * 200, -std::cos(a) * 200));
        }
        QFont timeFont(QStringLiteral("DejaVu Sans"));
        timeFont.setPointSize(40);
        p.setFont(timeFont);
        p.setPen(Qt::white);
        p.drawText(QRect(348, 260, 410, 70), Qt::AlignCenter, QStringLiteral("14:27:05"));
        timeFont.setPointSize(24);
        p.setFont(timeFont);
        p.drawText(QRect(348, 325, 410, 46), Qt::AlignCenter, QStringLiteral("08-12-2026"));
    }

    QLabel face;
    face.setFixedSize(986, 650);
    face.setPixmap(QPixmap::fromImage(base));
    QFont caption;
    caption.setPointSize(15);
    QFont small;
    small.setPointSize(10);
    const QString white = QStringLiteral("QLabel\n{\ncolor: rgb(255, 255, 255);\n}");
    const struct {
        QRect r;
        const char *t;
    } captions[] = {{{69, 504, 71, 31}, "Master"},
                    {{230, 504, 61, 31}, "CRM"},
                    {{485, 504, 141, 31}, "System Time"},
                    {{810, 504, 141, 31}, "Signals"}};
    for (const auto &c : captions) {
        QLabel *l = place(&face, c.r, white, QString::fromLatin1(c.t));
        l->setFont(caption);
        l->setAlignment(Qt::AlignCenter);
    }
    QLabel *footer = place(&face, QRect(380, 620, 340, 21), QString(),
                           QStringLiteral("Zorbel studio systems - version " TAVELIN_VERSION_TEXT));
    footer->setFont(small);
    footer->setAlignment(Qt::AlignCenter);
    QLabel *mic = place(&face, QRect(509, 390, 90, 16), QStringLiteral("color: rgb(255, 0, 0);"),
                        online ? QStringLiteral("02:41") : QString());
    QFont timer;
    timer.setPointSize(12);
    mic->setFont(timer);
    mic->setAlignment(Qt::AlignCenter);
    const char *sources[] = {"MIC", "MIC", "LINE", "LINE", "TEL", "USB"};
    for (int i = 0; i < 6; ++i) {
        QLabel *l = place(&face, QRect(76 + 164 * i, 581, 31, 20), QStringLiteral("color: rgb(255, 255, 255);"),
                          QString::fromLatin1(sources[i]));
        l->setFont(small);
        l->setAlignment(Qt::AlignCenter);
    }
    const struct {
        int y;
        const char *name;
        bool on;
    } signalRows[] = {{166, "phone", false},   {214, "onair1", true}, {262, "onair2", false}, {310, "nonstop", false},
                      {358, "silence", false}, {406, "micon", true},  {454, "crmmute", true}};
    for (const auto &s : signalRows) {
        const bool on = s.on && online;
        placePicture(&face, QRect(820, s.y, 121, 41),
                     root + QStringLiteral("/png/KorvaneMeterIcons2/signals/%1-%2.png")
                                .arg(QLatin1String(s.name))
                                .arg(on ? QStringLiteral("active") : QStringLiteral("inactive")));
    }
    // Lamps lie above the source names, as in the program.
    const char *lamp[] = {"red", "green", "grey", "green", "grey", "grey"};
    for (int i = 0; i < 6; ++i) {
        placePicture(&face, QRect(53 + 164 * i, 546, 61, 61),
                     root + QStringLiteral("/png/KorvaneMeterIcons2/sunken/%1-%2.png")
                                .arg(i + 1)
                                .arg(QLatin1String(online ? lamp[i] : "grey")));
    }
    placePicture(&face, QRect(900, 28, 25, 25), root + QStringLiteral("/png/Settings.png"));
    return face.grab().toImage();
}

class Sheet
{
public:
    explicit Sheet(int width)
        : m_width(width)
    {}

    void title(const QString &text)
    {
        if (m_rowHeight > 0)
            newRow();
        m_items.append({QImage(), QPoint(kMargin, m_y + 8), text});
        m_y += 40;
        m_x = kMargin;
        m_rowHeight = 0;
    }
    void add(const QImage &img, const QString &caption = QString())
    {
        if (m_x + img.width() > m_width - kMargin && m_x > kMargin)
            newRow();
        m_items.append({img, QPoint(m_x, m_y), caption});
        m_x += img.width() + kGap;
        m_rowHeight = qMax(m_rowHeight, img.height() + (caption.isEmpty() ? 0 : 22));
    }
    void newRow()
    {
        m_y += m_rowHeight + kGap;
        m_x = kMargin;
        m_rowHeight = 0;
    }
    QImage render()
    {
        newRow();
        QImage out(m_width, m_y + kMargin, QImage::Format_ARGB32_Premultiplied);
        out.fill(QColor(0x33, 0x37, 0x3d));
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        QFont titleFont(QStringLiteral("DejaVu Sans"));
        titleFont.setPixelSize(22);
        titleFont.setBold(true);
        QFont captionFont(QStringLiteral("DejaVu Sans"));
        captionFont.setPixelSize(13);
        for (const Item &it : m_items) {
            if (it.image.isNull()) {
                p.setFont(titleFont);
                p.setPen(QColor(0xe8, 0xea, 0xed));
                p.drawText(it.at + QPoint(0, 22), it.caption);
                continue;
            }
            p.drawImage(it.at, it.image);
            if (!it.caption.isEmpty()) {
                p.setFont(captionFont);
                p.setPen(QColor(0xb8, 0xbe, 0xc6));
                p.drawText(QRect(it.at.x(), it.at.y() + it.image.height() + 2, qMax(it.image.width(), 120), 18),
                           Qt::AlignLeft | Qt::AlignVCenter, it.caption);
            }
        }
        return out;
    }

private:
    struct Item {
        QImage image;
        QPoint at;
        QString caption;
    };
    static constexpr int kMargin = 16;
    static constexpr int kGap = 16;
    int m_width;
    int m_x = kMargin;
    int m_y = kMargin;
    int m_rowHeight = 0;
    QVector<Item> m_items;
};

QImage scaled(const QImage &img, int w, int h)
{
    return img.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool writeContactSheet(const QString &root, const QString &path)
{
    const QString icons = root + QStringLiteral("/png/KorvaneMeterIcons2/");
    Sheet sheet(2020);
    sheet.title(QStringLiteral("Main window at the design size (986 x 650): online, offline"));
    sheet.add(faceMockUp(root, true));
    sheet.add(faceMockUp(root, false));

    sheet.title(QStringLiteral("Signal icons, KorvaneMeterIcons2/signals (544 x 156, shown at half size)"));
    for (const char *state : {"active", "inactive"}) {
        for (const art::Signal &s : art::signalSet()) {
            const QString name = QStringLiteral("%1-%2.png").arg(s.file, QLatin1String(state));
            sheet.add(scaled(QImage(icons + QStringLiteral("signals/") + name), 272, 78), name);
        }
        sheet.newRow();
    }
    sheet.title(QStringLiteral("Larger signal set, KorvaneMeterIcons2 (581 x 184, carried; shown at 40 %)"));
    for (const char *state : {"active", "inactive"}) {
        for (const char *name : {"onair1", "onair2", "nonstop", "silence", "micon", "crm"}) {
            const QString file = QStringLiteral("%1-%2.png").arg(QLatin1String(name), QLatin1String(state));
            sheet.add(scaled(QImage(icons + file), 232, 74), file);
        }
        sheet.newRow();
    }
    sheet.title(
        QStringLiteral("Module lamps, KorvaneMeterIcons2/sunken (256 x 256, shown at 96 and at 61 as on screen)"));
    for (const char *colour : {"grey", "green", "red"}) {
        for (int n = 1; n <= 8; ++n) {
            const QString file = QStringLiteral("%1-%2.png").arg(n).arg(QLatin1String(colour));
            sheet.add(scaled(QImage(icons + QStringLiteral("sunken/") + file), 96, 96), file);
        }
        for (int n = 1; n <= 8; ++n) {
            const QString file = QStringLiteral("%1-%2.png").arg(n).arg(QLatin1String(colour));
            sheet.add(scaled(QImage(icons + QStringLiteral("sunken/") + file), 61, 61));
        }
        sheet.newRow();
    }
    sheet.title(QStringLiteral("Settings, about, voice track, window icon (16 ... 256)"));
    sheet.add(QImage(root + QStringLiteral("/png/Settings.png")), QStringLiteral("Settings.png"));
    sheet.add(scaled(QImage(root + QStringLiteral("/png/Settings.png")), 25, 25));
    sheet.add(QImage(root + QStringLiteral("/png/about.png")), QStringLiteral("about.png"));
    sheet.add(QImage(root + QStringLiteral("/png/vt.png")), QStringLiteral("vt.png"));
    for (int size : {256, 128, 64, 48, 32, 16})
        sheet.add(art::windowIcon(size), QStringLiteral("%1").arg(size));
    sheet.newRow();
    sheet.title(QStringLiteral("Splash screen (carried) and frame background (1024 x 580, shown at half size)"));
    sheet.add(QImage(root + QStringLiteral("/png/splash_screen.png")), QStringLiteral("splash_screen.png"));
    sheet.add(scaled(QImage(root + QStringLiteral("/png/MorvidBackgroundEmpty.png")), 512, 290),
              QStringLiteral("MorvidBackgroundEmpty.png"));
    const QImage out = sheet.render();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return out.save(path, "PNG");
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: korvane-artwork RESOURCE_DIR [CONTACT_SHEET.png]\n");
        return 2;
    }
    const QString root = QDir(args.at(1)).absolutePath();
    int pictures = 0;
    if (!writeTree(root, pictures))
        return 1;
    std::printf("%d files written under %s\n", pictures, qPrintable(root));
    if (args.size() == 3) {
        if (!writeContactSheet(root, args.at(2)))
            return 1;
        std::printf("contact sheet %s\n", qPrintable(args.at(2)));
    }
    return 0;
}
