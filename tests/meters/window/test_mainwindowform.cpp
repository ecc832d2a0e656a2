// Ui_MainWindow builds the meters window's widget tree: names, classes,
// parents, design geometry, fonts, texts, style sheets and stacking order.

#include "formtesting.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

enum class FontKind { None, Caption, Footer, Source, Timer };

struct Row {
    const char *name;
    const char *className;
    QRect geometry;
    FontKind font;
    bool centred;
    const char *styleSheet;  // nullptr: none set
    const char *text;        // nullptr: not a label
};

QString signalSheet(const char *name)
{
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/signals/%1-inactive.png);")
        .arg(QLatin1String(name));
}

const char *const kWhite = "color: rgb(255, 255, 255);";

// Creation order of the form.
const QVector<Row> &formRows()
{
    static const QVector<Row> rows = {
        {"ProgLeft", "VXNPPMMeter", {54, 73, 12, 415}, FontKind::None, false, nullptr, nullptr},
        {"ProgRight", "VXNPPMMeter", {143, 73, 12, 415}, FontKind::None, false, nullptr, nullptr},
        {"CrmLeft", "VXNPPMMeter", {210, 73, 12, 415}, FontKind::None, false, nullptr, nullptr},
        {"CrmRight", "VXNPPMMeter", {299, 73, 12, 415}, FontKind::None, false, nullptr, nullptr},
        {"AnalogClock", "VXNAnalogClock", {348, 85, 410, 410}, FontKind::None, false, "", nullptr},
        {"DigitalClock", "VXNDigitalClock", {348, 260, 410, 111}, FontKind::None, false, nullptr, nullptr},
        {"proglabel", "QLabel", {69, 504, 71, 31}, FontKind::Caption, true, nullptr, "Master"},
        {"crmlabel", "QLabel", {230, 504, 61, 31}, FontKind::Caption, true, nullptr, "CRM"},
        {"timelabel", "QLabel", {485, 504, 141, 31}, FontKind::Caption, true, nullptr, "System Time"},
        {"footerlabel", "QLabel", {380, 620, 340, 21}, FontKind::Footer, true, nullptr, nullptr},
        {"label_src_1", "QLabel", {76, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_src_2", "QLabel", {193, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_src_3", "QLabel", {310, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_src_4", "QLabel", {427, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_src_5", "QLabel", {544, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_src_6", "QLabel", {895, 581, 31, 20}, FontKind::Source, true, kWhite, "LINE"},
        {"label_onair1", "QLabel", {820, 214, 121, 41}, FontKind::None, false, "onair1", ""},
        {"label_onair2", "QLabel", {820, 262, 121, 41}, FontKind::None, false, "onair2", ""},
        {"label_silence", "QLabel", {820, 358, 121, 41}, FontKind::None, false, "silence", ""},
        {"label_micon", "QLabel", {820, 406, 121, 41}, FontKind::None, false, "micon", ""},
        {"label_crmmute", "QLabel", {820, 454, 121, 41}, FontKind::None, false, "crmmute", ""},
        {"label_mictime", "QLabel", {509, 390, 90, 16}, FontKind::Timer, true, "color: rgb(255, 0, 0);", "time"},
        {"label", "QLabel", {80, 370, 51, 51}, FontKind::None, false, nullptr, ""},
        {"label_telring", "QLabel", {820, 166, 121, 41}, FontKind::None, false, "phone", ""},
        {"signalslabel", "QLabel", {810, 504, 141, 31}, FontKind::Caption, true, nullptr, "Signals"},
    };
    return rows;
}

QString expectedSheet(const Row &r)
{
    if (!r.styleSheet)
        return QString();
    const QString s = QString::fromLatin1(r.styleSheet);
    if (s.isEmpty() || s.contains(QLatin1Char(':')))
        return s;
    return signalSheet(r.styleSheet);
}

struct Window {
    QMainWindow window;
    Ui_MainWindow ui;
    Window() { ui.setupUi(&window); }
};

}  // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void windowSettings();
    void presetObjectNameIsKept();
    void widgetTreeInCreationOrder();
    void geometryFontsAlignmentAndStyleSheets();
    void signalIconsShowPicturesThatExist();
    void stackingOrder();
    void textsUseTheMainWindowContext();
    void comPortActionIsUnplacedAndMenuBarEmpty();
    void windowCannotShrinkBelowTheCanvas();
};

void TestMainWindowForm::windowSettings()
{
    Window w;
    QCOMPARE(w.window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w.window.size(), QSize(986, 650));
    const QSizePolicy policy = w.window.sizePolicy();
    QCOMPARE(policy.horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(policy.verticalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);
    QCOMPARE(w.window.minimumSize(), QSize(986, 650));
    QVERIFY(!w.window.windowIcon().isNull());
    QCOMPARE(w.window.windowIcon().availableSizes().size(), 6);
    QVERIFY(!w.window.autoFillBackground());
    QCOMPARE(w.window.styleSheet(), QString());
    QCOMPARE(w.window.locale().language(), QLocale::Dutch);
    QCOMPARE(w.window.locale().country(), QLocale::Netherlands);
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Tavelin Meters"));
    QCOMPARE(w.window.centralWidget(), static_cast<QWidget *>(w.ui.centralWidget));
    QCOMPARE(w.ui.centralWidget->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(QByteArray(w.ui.centralWidget->metaObject()->className()), QByteArray("QWidget"));
    QCOMPARE(w.window.menuBar(), w.ui.menuBar);
    QCOMPARE(w.ui.menuBar->objectName(), QStringLiteral("menuBar"));
    QCOMPARE(w.ui.menuBar->geometry(), QRect(0, 0, 986, 21));
    // The footer's design text ends with the design version.
    QVERIFY(w.ui.footerlabel->text().endsWith(QLatin1String(" - version 1.0")));
    QVERIFY(w.ui.footerlabel->text().size() > int(qstrlen(" - version 1.0")));
}

void TestMainWindowForm::presetObjectNameIsKept()
{
    QMainWindow window;
    window.setObjectName(QStringLiteral("MetersFace"));
    Ui_MainWindow ui;
    ui.setupUi(&window);
    QCOMPARE(window.objectName(), QStringLiteral("MetersFace"));
    QCOMPARE(window.findChildren<QLabel *>().size(), 19);
}

void TestMainWindowForm::widgetTreeInCreationOrder()
{
    Window w;
    const QWidget *central = w.ui.centralWidget;
    const QVector<Row> &rows = formRows();
    for (const Row &r : rows) {
        QWidget *widget = w.window.findChild<QWidget *>(QLatin1String(r.name));
        QVERIFY2(widget, r.name);
        QCOMPARE(QByteArray(widget->metaObject()->className()), QByteArray(r.className));
        QCOMPARE(widget->parentWidget(), central);
    }
    // The Ui pointers refer to those same widgets.
    const QVector<QWidget *> pointers = {
        w.ui.ProgLeft,      w.ui.ProgRight,     w.ui.CrmLeft,      w.ui.CrmRight,      w.ui.AnalogClock,
        w.ui.DigitalClock,  w.ui.proglabel,     w.ui.crmlabel,     w.ui.timelabel,     w.ui.footerlabel,
        w.ui.label_src_1,   w.ui.label_src_2,   w.ui.label_src_3,  w.ui.label_src_4,   w.ui.label_src_5,
        w.ui.label_src_6,   w.ui.label_onair1,  w.ui.label_onair2, w.ui.label_silence, w.ui.label_micon,
        w.ui.label_crmmute, w.ui.label_mictime, w.ui.label,        w.ui.label_telring, w.ui.signalslabel};
    QCOMPARE(pointers.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(pointers[i]->objectName(), QString::fromLatin1(rows[i].name));
    // Nothing else lives in the central widget.
    QCOMPARE(central->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).size(), rows.size());
}

void TestMainWindowForm::geometryFontsAlignmentAndStyleSheets()
{
    Window w;
    for (const Row &r : formRows()) {
        const QWidget *widget = w.window.findChild<QWidget *>(QLatin1String(r.name));
        QVERIFY2(widget, r.name);
        QCOMPARE(widget->geometry(), r.geometry);
        QCOMPARE(widget->styleSheet(), expectedSheet(r));

        const QFont f = widget->font();
        switch (r.font) {
        case FontKind::None: QVERIFY2(!widget->testAttribute(Qt::WA_SetFont), r.name); break;
        case FontKind::Caption:
        case FontKind::Footer:
        case FontKind::Source:
        case FontKind::Timer: {
            QVERIFY2(widget->testAttribute(Qt::WA_SetFont), r.name);
            // No family of their own: it comes from the application.
            QVERIFY2(!(f.resolve() & QFont::FamilyResolved), r.name);
            const int size = r.font == FontKind::Caption ? 15 : r.font == FontKind::Timer ? 12 : 10;
            QCOMPARE(f.pointSize(), size);
            if (r.font != FontKind::Timer) {
                QVERIFY(f.resolve() & QFont::WeightResolved);
                QCOMPARE(f.weight(), 50);
                QVERIFY(!f.bold());
            } else {
                QVERIFY(!(f.resolve() & QFont::WeightResolved));
            }
            if (r.font == FontKind::Footer) {
                QVERIFY(f.resolve() & QFont::StyleResolved);
                QVERIFY(!f.italic());
            }
            break;
        }
        }

        if (auto *label = qobject_cast<const QLabel *>(widget)) {
            QCOMPARE(label->alignment(),
                     r.centred ? Qt::Alignment(Qt::AlignCenter) : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
            if (r.text)
                QCOMPARE(label->text(), QString::fromLatin1(r.text));
        }
    }
}

void TestMainWindowForm::signalIconsShowPicturesThatExist()
{
    Window w;
    const QRegularExpression url(QStringLiteral("^image: url\\((:/resources/[^)]+)\\);$"));
    for (QLabel *label : {w.ui.label_onair1, w.ui.label_onair2, w.ui.label_silence, w.ui.label_micon,
                          w.ui.label_crmmute, w.ui.label_telring}) {
        const QRegularExpressionMatch m = url.match(label->styleSheet());
        QVERIFY2(m.hasMatch(), qPrintable(label->styleSheet()));
        QVERIFY2(QFile::exists(m.captured(1)), qPrintable(m.captured(1)));
        QVERIFY(label->text().isEmpty());
    }

    // The style sheet really draws the picture: the middle of a signal label
    // is not the bare window background.
    w.window.setStyleSheet(QStringLiteral("QMainWindow { background: rgb(0, 0, 255); }"));
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QImage shot = w.ui.label_onair1->grab().toImage();
    const QColor centre = shot.pixelColor(shot.width() / 4, shot.height() / 2);
    QVERIFY2(centre != QColor(0, 0, 255), qPrintable(centre.name()));
}

void TestMainWindowForm::stackingOrder()
{
    Window w;
    // raise() moves a widget to the end of its parent's child list, so after
    // setupUi the list is the stacking order, bottom first.
    const QStringList expected = {"ProgLeft",      "ProgRight",     "CrmLeft",      "CrmRight",      "DigitalClock",
                                  "proglabel",     "crmlabel",      "timelabel",    "footerlabel",   "AnalogClock",
                                  "label_src_1",   "label_src_2",   "label_src_3",  "label_src_4",   "label_src_5",
                                  "label_src_6",   "label_onair1",  "label_onair2", "label_silence", "label_micon",
                                  "label_crmmute", "label_mictime", "label",        "label_telring", "signalslabel"};
    QStringList actual;
    for (QObject *child : w.ui.centralWidget->children())
        if (child->isWidgetType())
            actual.append(child->objectName());
    QCOMPARE(actual, expected);

    // The analog clock lies above the digital clock it encloses.
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QPoint inBoth = w.ui.DigitalClock->geometry().center();
    QCOMPARE(w.ui.centralWidget->childAt(inBoth), static_cast<QWidget *>(w.ui.AnalogClock));
}

void TestMainWindowForm::textsUseTheMainWindowContext()
{
    ContextMarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    Window w;
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(w.window.windowTitle(), QStringLiteral("MainWindow|Tavelin Meters"));
    QCOMPARE(w.ui.actionCOM_port->text(), QStringLiteral("MainWindow|COM-port"));
    QCOMPARE(w.ui.proglabel->text(), QStringLiteral("MainWindow|Master"));
    QCOMPARE(w.ui.crmlabel->text(), QStringLiteral("MainWindow|CRM"));
    QCOMPARE(w.ui.timelabel->text(), QStringLiteral("MainWindow|System Time"));
    QVERIFY(w.ui.footerlabel->text().startsWith(QLatin1String("MainWindow|")));
    for (QLabel *l :
         {w.ui.label_src_1, w.ui.label_src_2, w.ui.label_src_3, w.ui.label_src_4, w.ui.label_src_5, w.ui.label_src_6})
        QCOMPARE(l->text(), QStringLiteral("MainWindow|LINE"));
    QCOMPARE(w.ui.label_mictime->text(), QStringLiteral("MainWindow|time"));
    QCOMPARE(w.ui.signalslabel->text(), QStringLiteral("MainWindow|Signals"));
    // Picture labels stay without text.
    for (QLabel *l : {w.ui.label_onair1, w.ui.label_onair2, w.ui.label_silence, w.ui.label_micon, w.ui.label_crmmute,
                      w.ui.label, w.ui.label_telring})
        QVERIFY(l->text().isEmpty());

    // retranslateUi restores the source texts once the translator is gone.
    w.ui.retranslateUi(&w.window);
    QCOMPARE(w.ui.proglabel->text(), QStringLiteral("Master"));
}

void TestMainWindowForm::comPortActionIsUnplacedAndMenuBarEmpty()
{
    Window w;
    QAction *action = w.window.findChild<QAction *>(QStringLiteral("actionCOM_port"));
    QVERIFY(action);
    QCOMPARE(action, w.ui.actionCOM_port);
    QCOMPARE(action->parent(), static_cast<QObject *>(&w.window));
    QCOMPARE(action->text(), QStringLiteral("COM-port"));
    QVERIFY(action->associatedWidgets().isEmpty());
    QVERIFY(w.window.actions().isEmpty());
    QVERIFY(w.ui.menuBar->actions().isEmpty());
    QCOMPARE(w.ui.menuBar->parentWidget(), static_cast<QWidget *>(&w.window));
}

void TestMainWindowForm::windowCannotShrinkBelowTheCanvas()
{
    Window w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    w.window.resize(400, 300);
    QCoreApplication::processEvents();
    QVERIFY(w.window.width() >= 986);
    QVERIFY(w.window.height() >= 650);
    // At the design size every widget stands on its design rectangle.
    w.window.resize(986, 650);
    QCoreApplication::processEvents();
    QCOMPARE(w.ui.centralWidget->geometry(), QRect(0, 0, 986, 650));
    for (const Row &r : formRows())
        QCOMPARE(w.window.findChild<QWidget *>(QLatin1String(r.name))->geometry(), r.geometry);
}

QTEST_MAIN(TestMainWindowForm)
#include "test_mainwindowform.moc"
