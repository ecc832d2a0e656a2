#include "mylabel.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

class TestMyLabel : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void releaseOfAnyButtonClicks_data();
    void releaseOfAnyButtonClicks();
    void pressAndMoveAloneDoNothing();
    void releaseOutsideStillClicks();
    void doubleClickClicksTwice();
};

namespace {

void send(QWidget &widget, QEvent::Type type, Qt::MouseButton button, const QPoint &pos, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, widget.mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

}  // namespace

void TestMyLabel::construction()
{
    QWidget parent;
    myLabel label("Settings", &parent);
    QCOMPARE(label.text(), QString("Settings"));
    QCOMPARE(label.parentWidget(), &parent);
    QVERIFY(!label.isWindow());

    const QMetaObject &mo = *label.metaObject();
    QCOMPARE(QString(mo.className()), QString("myLabel"));
    QCOMPARE(mo.superClass(), &QLabel::staticMetaObject);
    QCOMPARE(mo.propertyCount(), mo.propertyOffset());
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    QCOMPARE(mo.method(mo.methodOffset()).methodSignature(), QByteArray("clicked()"));
    QCOMPARE(mo.method(mo.methodOffset()).methodType(), QMetaMethod::Signal);

    myLabel empty(QString(), &parent);
    QVERIFY(empty.text().isEmpty());
}

void TestMyLabel::releaseOfAnyButtonClicks_data()
{
    QTest::addColumn<int>("buttonValue");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
    QTest::newRow("back") << int(Qt::BackButton);
}

void TestMyLabel::releaseOfAnyButtonClicks()
{
    QFETCH(int, buttonValue);
    const auto button = static_cast<Qt::MouseButton>(buttonValue);

    QWidget window;
    window.resize(200, 100);
    myLabel label(QString(), &window);
    label.setGeometry(20, 20, 60, 60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(&label, &myLabel::clicked);

    QTest::mouseClick(&label, button, Qt::NoModifier, QPoint(30, 30));
    QCOMPARE(spy.count(), 1);
    QTest::mouseClick(&label, button, Qt::ShiftModifier, QPoint(5, 5));
    QCOMPARE(spy.count(), 2);
}

void TestMyLabel::pressAndMoveAloneDoNothing()
{
    myLabel label("x");
    label.resize(50, 50);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &myLabel::clicked);

    QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    send(label, QEvent::MouseMove, Qt::NoButton, QPoint(20, 20), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(spy.count(), 1);
}

void TestMyLabel::releaseOutsideStillClicks()
{
    myLabel label("x");
    label.resize(50, 50);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &myLabel::clicked);

    // The release goes to the label that got the press, wherever it is.
    send(label, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(10, 10), Qt::LeftButton);
    send(label, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(300, -40), Qt::NoButton);
    QCOMPARE(spy.count(), 1);
}

void TestMyLabel::doubleClickClicksTwice()
{
    myLabel label("x");
    label.resize(50, 50);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &myLabel::clicked);

    // Press, release, double-click press, release: one click per release.
    const QPoint at(10, 10);
    send(label, QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
    send(label, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
    send(label, QEvent::MouseButtonDblClick, Qt::LeftButton, at, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    send(label, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
    QCOMPARE(spy.count(), 2);
}

QTEST_MAIN(TestMyLabel)
#include "test_mylabel.moc"
