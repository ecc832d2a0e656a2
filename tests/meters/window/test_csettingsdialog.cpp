// CSettingsDialog: its form, the port fields and defaults, and the host
// lookup on Ok. Lookups go only to "localhost" (answered from the hosts file) and
// to a name under ".invalid" that is rejected before any name server is asked.

#include "csettingsdialog.h"
#include "formtesting.h"
#include "ui_csettingsdialog.h"

#include "korvane.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

namespace {

const char *const kStyle =
    "QGroupBox {\n    border: 1px solid gray;\n    border-radius: 6px;\n    margin-top: 0.5em;\n}\n\n"
    "QGroupBox::title {\n    subcontrol-origin: margin;\n    left: 10px;\n    padding: 0 3px 0 3px;\n}";

template <typename T>
T *part(QDialog &dialog, const char *name)
{
    T *w = dialog.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no %s in the dialog", name);
    return w;
}

QLineEdit *sendEdit(QDialog &d)
{
    return part<QLineEdit>(d, "UdpSendPortEdit");
}
QLineEdit *recvEdit(QDialog &d)
{
    return part<QLineEdit>(d, "UdpRecvPortEdit");
}
QLineEdit *hostEdit(QDialog &d)
{
    return part<QLineEdit>(d, "UdpHostEdit");
}
QCheckBox *defaultsBox(QDialog &d)
{
    return part<QCheckBox>(d, "checkBox_use_defaults");
}
QPushButton *button(QDialog &d, QDialogButtonBox::StandardButton which)
{
    return part<QDialogButtonBox>(d, "buttonBox")->button(which);
}

quint16 port(const QVariant &v)
{
    return quint16(v.value<qint16>());
}

// The set-up of the tests that press Ok or Cancel: the dialog shown, its
// debug output caught, and spies on the ports it emits and how it ends.
struct ShownDialog {
    ShownDialog(qint16 send, qint16 recv, bool useDefaults, const QString &host)
        : d(send, recv, useDefaults, host)
    {
        d.show();
    }
    DebugCapture log;
    CSettingsDialog d;
    QSignalSpy ports{&d, &CSettingsDialog::setUdpPorts};
    QSignalSpy accepted{&d, &QDialog::accepted};
    QSignalSpy rejected{&d, &QDialog::rejected};
    QSignalSpy finished{&d, &QDialog::finished};
};

}  // namespace

class PortsReceiver : public QObject
{
    Q_OBJECT
public:
    int calls = 0;
    qint16 send = 0;
    qint16 recv = 0;
    QString host;
public slots:
    void onSetUdpPorts(qint16 s, qint16 r, bool, QString h)
    {
        ++calls;
        send = s;
        recv = r;
        host = h;
    }
};

class TestCSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formLayout();
    void textsUseTheDialogContext();
    void metaObjectInterface();
    void portValidators();
    void passedPortsShownUnsigned();
    void useDefaultsOverridesAndLocksPorts();
    void uncheckingDefaultsKeepsThemAndUnlocks();
    void okResolvesLocalhostThenEmitsAndAccepts();
    void okWithUnresolvableHostStaysOpen();
    void okWithEmptyHostStaysOpen();
    void okWithShorthandAddressStaysOpen();
    void lookupWithoutAddressStaysOpen();
    void okWithUnusablePortLooksNothingUp();
    void onlyIPv4AnswersAreUsed();
    void cancelEmitsNothingAndRejects();
    void cancelDuringLookupDiscardsTheAnswer();
    void secondOkDoesNotEmitTwice();
};

void TestCSettingsDialog::initTestCase()
{
    qRegisterMetaType<qint16>("qint16");
}

void TestCSettingsDialog::formLayout()
{
    CSettingsDialog d(1000, 2000, false, QStringLiteral("mixer"));
    QCOMPARE(d.objectName(), QStringLiteral("CSettingsDialog"));
    QCOMPARE(d.size(), QSize(412, 269));
    QCOMPARE(d.minimumSize(), QSize(412, 269));
    QCOMPARE(d.maximumSize(), QSize(412, 269));
    QCOMPARE(d.styleSheet(), QString::fromLatin1(kStyle));
    QCOMPARE(d.windowTitle(), QStringLiteral("Settings"));

    const struct {
        const char *name;
        const char *cls;
        const char *parent;
        QRect geometry;
    } rows[] = {
        {"groupBox", "QGroupBox", "CSettingsDialog", {10, 10, 201, 221}},
        {"UdpHostEdit", "QLineEdit", "groupBox", {10, 47, 181, 20}},
        {"label_3", "QLabel", "groupBox", {10, 27, 111, 16}},
        {"groupBox_2", "QGroupBox", "groupBox", {10, 80, 181, 121}},
        {"UdpRecvPortEdit", "QLineEdit", "groupBox_2", {120, 80, 51, 20}},
        {"UdpSendPortEdit", "QLineEdit", "groupBox_2", {120, 50, 51, 20}},
        {"label_2", "QLabel", "groupBox_2", {10, 50, 91, 16}},
        {"label", "QLabel", "groupBox_2", {10, 80, 91, 16}},
        {"checkBox_use_defaults", "QCheckBox", "groupBox_2", {10, 20, 121, 17}},
        {"lookupFailure", "QLabel", "groupBox", {10, 67, 181, 14}},
        {"buttonBox", "QDialogButtonBox", "CSettingsDialog", {230, 200, 156, 23}},
        {"label_6", "QLabel", "CSettingsDialog", {230, 30, 161, 131}},
        {"label_libversion", "QLabel", "CSettingsDialog", {10, 240, 391, 16}},
    };
    QStringList creationOrder;
    for (const auto &r : rows) {
        QWidget *w = d.findChild<QWidget *>(QLatin1String(r.name));
        QVERIFY2(w, r.name);
        QCOMPARE(QByteArray(w->metaObject()->className()), QByteArray(r.cls));
        QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(r.parent));
        QCOMPARE(w->geometry(), r.geometry);
        creationOrder.append(QLatin1String(r.name));
    }
    // Children appear in creation order, nested children under their box.
    QStringList actual;
    for (QWidget *w : d.findChildren<QWidget *>()) {
        if (QStringList{"CSettingsDialog", "groupBox", "groupBox_2"}.contains(w->parentWidget()->objectName()) &&
            !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            actual.append(w->objectName());
    }
    QCOMPARE(actual, creationOrder);

    QCOMPARE(part<QGroupBox>(d, "groupBox")->title(), QStringLiteral("UDP Settings"));
    QCOMPARE(part<QGroupBox>(d, "groupBox_2")->title(), QStringLiteral("Ports"));
    QCOMPARE(part<QLabel>(d, "label_3")->text(), QStringLiteral("Remote host:"));
    QCOMPARE(part<QLabel>(d, "label_2")->text(), QStringLiteral("Transmit:"));
    QCOMPARE(part<QLabel>(d, "label")->text(), QStringLiteral("Receive:"));
    QCOMPARE(defaultsBox(d)->text(), QStringLiteral("Use defaults"));
    QCOMPARE(part<QDialogButtonBox>(d, "buttonBox")->standardButtons(),
             QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QLabel *about = part<QLabel>(d, "label_6");
    QCOMPARE(about->styleSheet(), QStringLiteral("image: url(:/resources/png/about.png);"));
    QVERIFY(about->text().isEmpty());
    QVERIFY(QFile::exists(QStringLiteral(":/resources/png/about.png")));
    QLabel *version = part<QLabel>(d, "label_libversion");
    QCOMPARE(version->styleSheet(), QStringLiteral("color: rgb(120,120,120);"));
    QCOMPARE(version->alignment(), Qt::Alignment(Qt::AlignCenter));
    // The design text gives way to the library's own version text.
    const char *libraryVersion = korvane_library_version(nullptr);
    QVERIFY(libraryVersion);
    QCOMPARE(version->text(), QString::fromUtf8(libraryVersion));
    QVERIFY(!version->text().isEmpty());
    QCOMPARE(hostEdit(d)->text(), QStringLiteral("mixer"));

    // The bare form carries the design text.
    QDialog bare;
    Ui_CSettingsDialog ui;
    ui.setupUi(&bare);
    QCOMPARE(ui.label_libversion->text(), QStringLiteral("-- version -- "));
    QVERIFY(ui.UdpHostEdit->text().isEmpty());
}

void TestCSettingsDialog::textsUseTheDialogContext()
{
    ContextMarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    CSettingsDialog d(1, 2, false, QString());
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(d.windowTitle(), QStringLiteral("CSettingsDialog|Settings"));
    QCOMPARE(part<QGroupBox>(d, "groupBox")->title(), QStringLiteral("CSettingsDialog|UDP Settings"));
    QCOMPARE(part<QGroupBox>(d, "groupBox_2")->title(), QStringLiteral("CSettingsDialog|Ports"));
    QCOMPARE(part<QLabel>(d, "label_3")->text(), QStringLiteral("CSettingsDialog|Remote host:"));
    QCOMPARE(part<QLabel>(d, "label_2")->text(), QStringLiteral("CSettingsDialog|Transmit:"));
    QCOMPARE(part<QLabel>(d, "label")->text(), QStringLiteral("CSettingsDialog|Receive:"));
    QCOMPARE(defaultsBox(d)->text(), QStringLiteral("CSettingsDialog|Use defaults"));
}

void TestCSettingsDialog::metaObjectInterface()
{
    const QMetaObject &mo = CSettingsDialog::staticMetaObject;
    QCOMPARE(QByteArray(mo.className()), QByteArray("CSettingsDialog"));
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 5);
    const struct {
        QMetaMethod::MethodType type;
        const char *signature;
    } methods[] = {
        {QMetaMethod::Signal, "setUdpPorts(qint16,qint16,bool,QString)"},
        {QMetaMethod::Slot, "on_checkBox_use_defaults_toggled(bool)"},
        {QMetaMethod::Slot, "on_buttonBox_accepted()"},
        {QMetaMethod::Slot, "on_buttonBox_rejected()"},
        {QMetaMethod::Slot, "lookedUp(QHostInfo)"},
    };
    for (int i = 0; i < 5; ++i) {
        const QMetaMethod m = mo.method(mo.methodOffset() + i);
        QCOMPARE(m.methodType(), methods[i].type);
        // moc records qint16 as the type it names.
        QCOMPARE(m.methodSignature(), QByteArray(methods[i].signature).replace("qint16", "short"));
    }
    // The values must arrive at a slot of the window's signature.
    CSettingsDialog d(1, 2, false, QString());
    PortsReceiver receiver;
    QVERIFY(QObject::connect(&d, &CSettingsDialog::setUdpPorts, &receiver, &PortsReceiver::onSetUdpPorts));
    d.show();
    QHostInfo found;
    found.setAddresses({QHostAddress(QStringLiteral("192.0.2.1"))});
    QVERIFY(QMetaObject::invokeMethod(&d, "lookedUp", Q_ARG(QHostInfo, found)));
    QCOMPARE(receiver.calls, 1);
    QCOMPARE(receiver.send, qint16(1));
    QCOMPARE(receiver.recv, qint16(2));
    QCOMPARE(receiver.host, QStringLiteral("192.0.2.1"));
    QCOMPARE(mo.method(mo.methodOffset()).parameterNames(),
             (QList<QByteArray>{"udp_send_port", "udp_recv_port", "use_defaults", "remote_host"}));
}

void TestCSettingsDialog::portValidators()
{
    CSettingsDialog d(1, 2, false, QString());
    auto *send = qobject_cast<const QIntValidator *>(sendEdit(d)->validator());
    auto *recv = qobject_cast<const QIntValidator *>(recvEdit(d)->validator());
    QVERIFY(send && recv);
    QVERIFY(send != recv);
    for (const QIntValidator *v : {send, recv}) {
        QCOMPARE(v->bottom(), 1);
        QCOMPARE(v->top(), 65535);
        QCOMPARE(v->parent(), static_cast<QObject *>(&d));
    }
    // Typing is filtered: letters and a sixth digit do not get in.
    QLineEdit *edit = sendEdit(d);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1x8-153"));
    QCOMPARE(edit->text(), QStringLiteral("18153"));
    QTest::keyClicks(edit, QStringLiteral("9"));
    QCOMPARE(edit->text(), QStringLiteral("18153"));
    // Nor does a fifth digit that takes the number past 65535.
    for (const char *typed : {"70000", "99999", "65536"}) {
        edit->clear();
        QTest::keyClicks(edit, QLatin1String(typed));
        QCOMPARE(edit->text(), QLatin1String(typed).left(4));
    }
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("65535"));
    QCOMPARE(edit->text(), QStringLiteral("65535"));
}

void TestCSettingsDialog::passedPortsShownUnsigned()
{
    CSettingsDialog d(qint16(quint16(40000)), qint16(quint16(65535)), false, QStringLiteral("h"));
    QCOMPARE(sendEdit(d)->text(), QStringLiteral("40000"));
    QCOMPARE(recvEdit(d)->text(), QStringLiteral("65535"));
    QVERIFY(sendEdit(d)->isEnabled());
    QVERIFY(recvEdit(d)->isEnabled());
    QVERIFY(!defaultsBox(d)->isChecked());

    CSettingsDialog low(18153, 32767, false, QString());
    QCOMPARE(low.findChild<QLineEdit *>(QStringLiteral("UdpSendPortEdit"))->text(), QStringLiteral("18153"));
    QCOMPARE(low.findChild<QLineEdit *>(QStringLiteral("UdpRecvPortEdit"))->text(), QStringLiteral("32767"));
}

void TestCSettingsDialog::useDefaultsOverridesAndLocksPorts()
{
    CSettingsDialog d(qint16(quint16(40000)), 1234, true, QStringLiteral("mixer"));
    QVERIFY(defaultsBox(d)->isChecked());
    QCOMPARE(sendEdit(d)->text(), QStringLiteral("18153"));
    QCOMPARE(recvEdit(d)->text(), QStringLiteral("18150"));
    QVERIFY(!sendEdit(d)->isEnabled());
    QVERIFY(!recvEdit(d)->isEnabled());

    // Checking the box later does the same to edited ports.
    CSettingsDialog e(5, 6, false, QString());
    defaultsBox(e)->setChecked(true);
    QCOMPARE(sendEdit(e)->text(), QStringLiteral("18153"));
    QCOMPARE(recvEdit(e)->text(), QStringLiteral("18150"));
    QVERIFY(!sendEdit(e)->isEnabled());
}

void TestCSettingsDialog::uncheckingDefaultsKeepsThemAndUnlocks()
{
    CSettingsDialog d(7, 8, true, QString());
    defaultsBox(d)->setChecked(false);
    QVERIFY(sendEdit(d)->isEnabled());
    QVERIFY(recvEdit(d)->isEnabled());
    QCOMPARE(sendEdit(d)->text(), QStringLiteral("18153"));
    QCOMPARE(recvEdit(d)->text(), QStringLiteral("18150"));
}

void TestCSettingsDialog::okResolvesLocalhostThenEmitsAndAccepts()
{
    ShownDialog s(1, 2, false, QStringLiteral("localhost"));
    sendEdit(s.d)->setText(QStringLiteral("40000"));
    recvEdit(s.d)->setText(QStringLiteral("18150"));
    bool stillOpenAtEmission = false;
    connect(&s.d, &CSettingsDialog::setUdpPorts, this,
            [&] { stillOpenAtEmission = s.d.isVisible() && s.d.result() != QDialog::Accepted; });

    button(s.d, QDialogButtonBox::Ok)->click();
    // The lookup is asynchronous: the dialog is still open right after Ok.
    QVERIFY(s.d.isVisible());
    QCOMPARE(s.ports.count(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(s.ports.count(), 1, 10000);
    const QList<QVariant> args = s.ports.takeFirst();
    QCOMPARE(port(args.at(0)), quint16(40000));
    QCOMPARE(args.at(0).value<qint16>(), qint16(40000 - 65536));
    QCOMPARE(port(args.at(1)), quint16(18150));
    QCOMPARE(args.at(2).toBool(), false);
    const QString address = args.at(3).toString();
    QHostAddress numeric;
    QVERIFY2(numeric.setAddress(address), qPrintable(address));
    QVERIFY2(numeric.isLoopback(), qPrintable(address));
    QVERIFY(stillOpenAtEmission);
    QCOMPARE(s.accepted.count(), 1);
    QCOMPARE(s.d.result(), int(QDialog::Accepted));
    QVERIFY(!s.d.isVisible());
}

void TestCSettingsDialog::okWithUnresolvableHostStaysOpen()
{
    // A first label longer than 63 characters can never be a host name, so the
    // lookup fails on this machine without asking any name server.
    const QString host = QString(64, QLatin1Char('x')) + QStringLiteral(".no-such-mixer.invalid");
    ShownDialog s(1, 2, true, host);
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("Lookup failed:")), 20000);
    QCoreApplication::processEvents();
    QCOMPARE(s.ports.count(), 0);
    QCOMPARE(s.finished.count(), 0);
    QVERIFY(s.d.isVisible());

    // The user corrects the host and tries again.
    hostEdit(s.d)->setText(QStringLiteral("localhost"));
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(s.ports.count(), 1, 10000);
    QCOMPARE(s.ports.first().at(2).toBool(), true);
    QCOMPARE(port(s.ports.first().at(0)), quint16(18153));
    QCOMPARE(port(s.ports.first().at(1)), quint16(18150));
}

void TestCSettingsDialog::okWithEmptyHostStaysOpen()
{
    ShownDialog s(1, 2, false, QString());
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("Lookup failed:")), 10000);
    QCoreApplication::processEvents();
    QCOMPARE(s.ports.count(), 0);
    QVERIFY(s.d.isVisible());
}

void TestCSettingsDialog::okWithShorthandAddressStaysOpen()
{
    // The resolver would take these as 0.0.188.36, 10.0.0.1 and 192.168.0.1.
    for (const char *host : {"48164", "10.1", " 192.168.1 "}) {
        ShownDialog s(1, 2, false, QString::fromLatin1(host));
        button(s.d, QDialogButtonBox::Ok)->click();
        QLabel *failure = s.d.findChild<QLabel *>(QStringLiteral("lookupFailure"));
        QTRY_VERIFY2(failure->isVisible(), host);
        QCOMPARE(failure->text(), QStringLiteral("Lookup failed: partial address"));
        QTest::qWait(50);
        QCOMPARE(s.ports.count(), 0);
        QVERIFY(s.d.isVisible());
    }
    // A whole address still goes through.
    ShownDialog s(1, 2, false, QStringLiteral("192.0.2.7"));
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(s.ports.count(), 1, 10000);
    QCOMPARE(s.ports.first().at(3).toString(), QStringLiteral("192.0.2.7"));
}

void TestCSettingsDialog::lookupWithoutAddressStaysOpen()
{
    // A lookup may report success yet carry no address; there is nothing to
    // connect to, so it counts as a failed lookup.
    ShownDialog s(1, 2, false, QStringLiteral("mixer"));
    QHostInfo empty;
    empty.setHostName(QStringLiteral("mixer"));
    QCOMPARE(empty.error(), QHostInfo::NoError);
    QVERIFY(empty.addresses().isEmpty());
    QVERIFY(QMetaObject::invokeMethod(&s.d, "lookedUp", Q_ARG(QHostInfo, empty)));
    QCOMPARE(s.ports.count(), 0);
    QCOMPARE(s.finished.count(), 0);
    QVERIFY(s.d.isVisible());
    QVERIFY(s.log.contains(QStringLiteral("Lookup failed:")));
    // Said in the dialog too, under the host field, until the next edit.
    QLabel *failure = s.d.findChild<QLabel *>(QStringLiteral("lookupFailure"));
    QVERIFY(failure && failure->isVisible());
    QVERIFY(failure->text().startsWith(QStringLiteral("Lookup failed:")));
    s.d.findChild<QLineEdit *>(QStringLiteral("UdpHostEdit"))->setText(QStringLiteral("mixer.studio"));
    QVERIFY(!failure->isVisible());

    // The same answer with an address goes through.
    QHostInfo found = empty;
    found.setAddresses({QHostAddress(QStringLiteral("192.0.2.7"))});
    QVERIFY(QMetaObject::invokeMethod(&s.d, "lookedUp", Q_ARG(QHostInfo, found)));
    QCOMPARE(s.ports.count(), 1);
    QCOMPARE(s.ports.first().at(3).toString(), QStringLiteral("192.0.2.7"));
    QCOMPARE(s.d.result(), int(QDialog::Accepted));
}

void TestCSettingsDialog::okWithUnusablePortLooksNothingUp()
{
    // Red frame pixels: how the dialog shows which field is wrong.
    auto marked = [](QLineEdit *edit) {
        const QImage image = edit->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                red += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 60;
        return red > image.width();
    };
    // Port 0 can come from the settings store; an empty field from the user.
    ShownDialog s(1, 0, false, QStringLiteral("localhost"));
    sendEdit(s.d)->clear();
    QVERIFY(!marked(sendEdit(s.d)) && !marked(recvEdit(s.d)));

    button(s.d, QDialogButtonBox::Ok)->click();
    QVERIFY(marked(sendEdit(s.d)) && marked(recvEdit(s.d)));
    QCOMPARE(QToolTip::text(), QStringLiteral("Enter a port from 1 to 65535."));
    QTest::qWait(300);
    QVERIFY(!s.log.contains(QStringLiteral("QHostInfo: ")));
    QCOMPARE(s.ports.count(), 0);
    QVERIFY(s.d.isVisible());

    // Mended fields lose the mark; text that is no number is refused too.
    sendEdit(s.d)->setText(QStringLiteral("18153"));
    recvEdit(s.d)->setText(QStringLiteral("port"));
    QVERIFY(!marked(sendEdit(s.d)) && !marked(recvEdit(s.d)));
    button(s.d, QDialogButtonBox::Ok)->click();
    QVERIFY(!marked(sendEdit(s.d)) && marked(recvEdit(s.d)));

    // A field emptied while the lookup ran stops the answer too.
    recvEdit(s.d)->setText(QStringLiteral("18150"));
    button(s.d, QDialogButtonBox::Ok)->click();
    sendEdit(s.d)->clear();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("QHostInfo: ")), 10000);
    QCOMPARE(s.ports.count(), 0);
    QVERIFY(marked(sendEdit(s.d)));
    QVERIFY(s.d.isVisible());

    sendEdit(s.d)->setText(QStringLiteral("18153"));
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(s.ports.count(), 1, 10000);
    QCOMPARE(port(s.ports.first().at(0)), quint16(18153));
    QCOMPARE(port(s.ports.first().at(1)), quint16(18150));
}

void TestCSettingsDialog::onlyIPv4AnswersAreUsed()
{
    ShownDialog s(1, 2, false, QStringLiteral("::1"));
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("Lookup failed:")), 10000);
    QCOMPARE(s.ports.count(), 0);
    QVERIFY(s.d.isVisible());

    // A name whose first answers are IPv6: the first IPv4 one is taken.
    QHostInfo found;
    found.setAddresses({QHostAddress(QStringLiteral("2001:db8::1")), QHostAddress(QStringLiteral("::1")),
                        QHostAddress(QStringLiteral("192.0.2.5")), QHostAddress(QStringLiteral("192.0.2.6"))});
    QVERIFY(QMetaObject::invokeMethod(&s.d, "lookedUp", Q_ARG(QHostInfo, found)));
    QCOMPARE(s.ports.count(), 1);
    QCOMPARE(s.ports.first().at(3).toString(), QStringLiteral("192.0.2.5"));
}

void TestCSettingsDialog::cancelEmitsNothingAndRejects()
{
    ShownDialog s(1, 2, false, QStringLiteral("localhost"));
    button(s.d, QDialogButtonBox::Cancel)->click();
    QCOMPARE(s.rejected.count(), 1);
    QCOMPARE(s.d.result(), int(QDialog::Rejected));
    QVERIFY(!s.d.isVisible());
    QCoreApplication::processEvents();
    QCOMPARE(s.ports.count(), 0);
}

void TestCSettingsDialog::cancelDuringLookupDiscardsTheAnswer()
{
    ShownDialog s(1, 2, false, QStringLiteral("localhost"));
    button(s.d, QDialogButtonBox::Ok)->click();
    button(s.d, QDialogButtonBox::Cancel)->click();
    QCOMPARE(s.d.result(), int(QDialog::Rejected));
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("Host lookup answered after the dialog closed")), 10000);
    QCOMPARE(s.ports.count(), 0);
    QCOMPARE(s.accepted.count(), 0);
    QCOMPARE(s.d.result(), int(QDialog::Rejected));
}

void TestCSettingsDialog::secondOkDoesNotEmitTwice()
{
    ShownDialog s(1, 2, false, QStringLiteral("localhost"));
    button(s.d, QDialogButtonBox::Ok)->click();
    button(s.d, QDialogButtonBox::Ok)->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.contains(QStringLiteral("Host lookup answered after the dialog closed")), 10000);
    QCOMPARE(s.ports.count(), 1);
    QCOMPARE(s.accepted.count(), 1);
}

QTEST_MAIN(TestCSettingsDialog)
#include "test_csettingsdialog.moc"
