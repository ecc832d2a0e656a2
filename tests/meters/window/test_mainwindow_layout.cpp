// The real MainWindow, offscreen, against a fake mixer on loopback:
// layout and screen: full screen, the pointer, the scaled layout and the screen choice.
#include "mainwindowtesting.h"

class TestMainWindow : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void fullScreenKeyIsRememberedAtOnce()
    {
        prepareStore();
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(&w, Qt::Key_F11);
            QTRY_VERIFY(w.isFullScreen());

            // Stored right away, not only on close: a power cut keeps it.
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            QWidget probe;
            probe.restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
            QVERIFY(probe.windowState() & Qt::WindowFullScreen);
            QVERIFY(settings.contains(QStringLiteral("current_screen")));
        }

        // The next start comes back in full screen; F11 then gives the
        // window as it was before.
        MainWindow w;
        w.show();
        QTRY_VERIFY(w.isFullScreen());
        QTRY_COMPARE(w.geometry(), w.screen()->geometry());
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F11);
        QTRY_VERIFY(!w.isFullScreen());
        QTRY_COMPARE(w.size(), QSize(986, 650));

        // A crash from here on: the store holds the window, not the full
        // screen's geometry as a window.
        auto stored = [] {
            QWidget probe;
            probe.restoreGeometry(QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
                                      .value(QStringLiteral("geometry"))
                                      .toByteArray());
            return probe.windowState() & Qt::WindowFullScreen ? QSize() : probe.size();
        };
        QTRY_COMPARE(stored(), QSize(986, 650));
    }

    void pointerHidesAtRestInFullScreenOnly()
    {
        prepareStore();
        MainWindow w;
        PointerHider *hider = w.pointerHider;
        QCOMPARE(hider->idleInterval(), 3000);
        QCOMPARE(hider->findChild<QTimer *>()->timerType(), Qt::PreciseTimer);
        hider->setIdleInterval(50);  // the same path, a shorter wait

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(200);
        QVERIFY(!hider->isPointerHidden());

        w.toggleFullScreen();
        QTRY_VERIFY(hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::BlankCursor);

        // A move brings it back, and rest hides it again.
        QTest::mouseMove(w.windowHandle(), QPoint(120, 90));
        QVERIFY(!hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QTRY_VERIFY(hider->isPointerHidden());

        // Out of full screen it shows and stays.
        w.toggleFullScreen();
        QTRY_VERIFY(!w.isFullScreen());
        QVERIFY(!hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QTest::qWait(200);
        QVERIFY(!hider->isPointerHidden());
    }

    void layoutWorkedValues_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("progLeft");
        QTest::addColumn<QRect>("analogClock");
        QTest::addColumn<QVector<int>>("fonts");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<float>("scale");
        QTest::newRow("986x650") << QSize(986, 650) << QRect(54, 73, 12, 415) << QRect(348, 85, 410, 410)
                                 << QVector<int>{15, 10, 12, 40, 24} << QPoint(0, 0) << 1.0f;
        QTest::newRow("1972x650") << QSize(1972, 650) << QRect(547, 73, 12, 415) << QRect(841, 85, 410, 410)
                                  << QVector<int>{15, 10, 12, 40, 24} << QPoint(493, 0) << 1.0f;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(230, 121, 19, 689) << QRect(719, 141, 681, 681)
                                   << QVector<int>{24, 16, 19, 66, 39} << QPoint(141, 0) << 1.6613980531692505f;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << QRect(70, 184, 15, 538) << QRect(451, 200, 531, 531)
                                   << QVector<int>{19, 12, 15, 51, 31} << QPoint(0, 90) << 1.297548770904541f;
        QTest::newRow("1000x700") << QSize(1000, 700) << QRect(54, 94, 12, 420) << QRect(352, 106, 415, 415)
                                  << QVector<int>{15, 10, 12, 40, 24} << QPoint(0, 20) << 1.0140224695205688f;
    }

    void layoutWorkedValues()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, progLeft);
        QFETCH(QRect, analogClock);
        QFETCH(QVector<int>, fonts);
        QFETCH(QPoint, offset);
        QFETCH(float, scale);

        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Pass through another size first, so that every size brings a resize.
        w.resize(size + QSize(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size + QSize(10, 10), 2000);
        w.repaint();
        const QRect before = w.ui->AnalogClock->geometry();
        w.resize(size);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size, 2000);
        QVERIFY(w.layoutDirty);
        // The resize alone moves nothing; the paint lays out.
        QCOMPARE(w.ui->AnalogClock->geometry(), before);
        w.repaint();
        QVERIFY(!w.layoutDirty);

        // All 32 widgets: position and size scaled separately, then shifted.
        const auto table = designTable(w);
        QCOMPARE(table.size(), MainWindow::designRectCount);
        for (const auto &entry : table) {
            const QRect &d = entry.second;
            auto trunc = [scale](int v) { return static_cast<int>(v * static_cast<double>(scale)); };
            const QRect expected(trunc(d.x()) + offset.x(), trunc(d.y()) + offset.y(), trunc(d.width()),
                                 trunc(d.height()));
            if (entry.first->geometry() != expected)
                QFAIL(qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                     .arg(entry.first->objectName().isEmpty() ? entry.first->metaObject()->className()
                                                                              : entry.first->objectName())
                                     .arg(entry.first->x())
                                     .arg(entry.first->y())
                                     .arg(entry.first->width())
                                     .arg(entry.first->height())));
        }
        for (QLabel *l : {w.ui->crmlabel, w.ui->timelabel})
            QCOMPARE(l->font().pointSize(), fonts[0]);
        for (QLabel *l : {w.ui->label_src_1, w.ui->label_src_3})
            QCOMPARE(l->font().pointSize(), fonts[1]);

        QCOMPARE(w.ui->ProgLeft->geometry(), progLeft);
        QCOMPARE(w.ui->AnalogClock->geometry(), analogClock);
        QCOMPARE(w.ui->proglabel->font().pointSize(), fonts[0]);
        QCOMPARE(w.ui->signalslabel->font().pointSize(), fonts[0]);
        QCOMPARE(w.ui->footerlabel->font().pointSize(), fonts[1]);
        QCOMPARE(w.ui->label_src_6->font().pointSize(), fonts[1]);
        QCOMPARE(w.ui->label_mictime->font().pointSize(), fonts[2]);
        QCOMPARE(w.ui->DigitalClock->TimeDisplayFont().pointSize(), fonts[3]);
        QCOMPARE(w.ui->DigitalClock->DateDisplayFont().pointSize(), fonts[4]);
        QCOMPARE(w.scaledFrameBackground.size(), size);
        QVERIFY(w.scaledStatusBackground.width() == size.width() || w.scaledStatusBackground.height() == size.height());
        // The frame picture shows in the bars, the status picture over the rest.
        const QImage shown = w.grab().toImage();
        const QPoint status((size.width() - w.scaledStatusBackground.width()) / 2,
                            (size.height() - w.scaledStatusBackground.height()) / 2);
        QCOMPARE(shown.pixel(status + QPoint(2, 2)), w.scaledStatusBackground.toImage().pixel(2, 2));
        if (status != QPoint(0, 0)) {
            const QPoint bar(status.x() / 2, status.y() / 2);
            QCOMPARE(shown.pixel(bar), w.scaledFrameBackground.toImage().pixel(bar));
        }

        // The never-laid-out label keeps its design rectangle.
        QCOMPARE(w.ui->label->geometry(), QRect(80, 370, 51, 51));

        if (size == QSize(986, 650) || size == QSize(1972, 650)) {
            // At scale 1 every widget stands at its design rectangle, shifted by the bar.
            const int x0 = (size.width() - 986) / 2;
            for (int i = 0; i < MainWindow::designRectCount; ++i)
                QCOMPARE(w.designWidget(i)->geometry(), w.designRects[i].translated(x0, 0));
            QCOMPARE(w.designRects[12], QRect(53, 546, 61, 61));
            QCOMPARE(w.designRects[23], QRect(896, 581, 31, 20));
            QCOMPARE(w.designRects[27], QRect(820, 310, 121, 41));
            QCOMPARE(w.designRects[11], QRect(900, 28, 25, 25));
        }
    }

    void relayoutWaitsForStatusBackground()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.repaint();
        QVERIFY(!w.layoutDirty);
        const QRect designClock = w.ui->AnalogClock->geometry();

        // Without a status picture the paint leaves the layout dirty and the
        // widgets where they are.
        w.statusBackground = QPixmap();
        w.resize(1920, 1080);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, QSize(1920, 1080), 2000);
        w.repaint();
        QVERIFY(w.layoutDirty);
        QCOMPARE(w.ui->AnalogClock->geometry(), designClock);

        // A status change alone (no resize) brings the picture and the layout.
        w.online = true;
        w.onlineStatusChanged();
        w.repaint();
        QVERIFY(!w.layoutDirty);
        QCOMPARE(w.ui->AnalogClock->geometry(), QRect(719, 141, 681, 681));
        QVERIFY(samePicture(w.statusBackground, ":/resources/png/background_online.png"));
        QCOMPARE(w.scaledStatusBackground.height(), 1080);
    }

    void resizeRecomputesEveryMeter()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        setLevels(w, -6.0, -12.0, -20.0, -30.0);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui->CrmRight->dBPosition(), -30.0, 2000);
        w.meterReleaseTimer->stop();

        // Steady levels: only the layout can fit the bars to the new height,
        // so right after it no meter has anything left to recompute.
        w.resize(1920, 1080);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, QSize(1920, 1080), 2000);
        w.repaint();
        for (VXNPPMMeter *m : {w.ui->ProgLeft, w.ui->ProgRight, w.ui->CrmLeft, w.ui->CrmRight})
            QVERIFY2(!m->calculatePosition(), qPrintable(m->objectName()));
    }

    void screenChosenByGeometry()
    {
        const QRect first(0, 0, 1920, 1080);
        const QList<QRect> sideBySide = {first, QRect(1920, 0, 1920, 1080)};
        QCOMPARE(MainWindow::screenIndexAt(2000, false, sideBySide), 1);
        // Exactly at the second screen's left edge, and one pixel left of it.
        QCOMPARE(MainWindow::screenIndexAt(1920, false, sideBySide), 1);
        QCOMPARE(MainWindow::screenIndexAt(1919, false, sideBySide), 0);
        // Maximised on the second screen, its frame 8 pixels out to the left.
        QCOMPARE(MainWindow::screenIndexAt(1912, true, sideBySide), 1);
        QCOMPARE(MainWindow::screenIndexAt(1911, true, sideBySide), 0);
        QCOMPARE(MainWindow::screenIndexAt(-100, false, sideBySide), 0);
        QCOMPARE(MainWindow::screenIndexAt(3840, false, sideBySide), 0);
        // Screen 1 left of screen 0: screen 0 is tested first.
        QCOMPARE(MainWindow::screenIndexAt(-1000, false, {first, QRect(-1920, 0, 1920, 1080)}), 0);
        const QList<QRect> three = sideBySide + QList<QRect>{QRect(3840, 0, 1280, 1024)};
        QCOMPARE(MainWindow::screenIndexAt(3840, false, three), 2);
        QCOMPARE(MainWindow::screenIndexAt(3839, false, three), 1);
        QCOMPARE(MainWindow::screenIndexAt(100, false, {}), 0);
    }
};

int main(int argc, char *argv[])
{
    return runMainWindowTests<TestMainWindow>(argc, argv);
}

#include "test_mainwindow_layout.moc"
