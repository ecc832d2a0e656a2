// What keeps a wall display honest and harmless: failures and an
// unsynchronised clock shown on the face, and the display-only mode.
#include "mainwindow.h"

#include <QFont>
#include <QLabel>

#include "clocksync.h"
#include "incidentlog.h"
#include "mylabel.h"

namespace {

// On the design canvas: under the status pill, and just above the digital
// clock's time, inside the circle the pointers sweep.
const QRect failureNoticeRect(336, 55, 414, 28);
const int failureNoticePixels = 19;
const QRect clockSyncNoticeRect(431, 232, 244, 24);
const int clockSyncNoticePixels = 15;

// Amber on near-black: about 10:1, legible across the room.
const char *const noticeStyle =
    "QLabel { color: rgb(255, 184, 28); background-color: rgb(16, 18, 22); border-radius: 5px; }";

QLabel *createNotice(QWidget *window)
{
    auto *notice = new QLabel(window);
    notice->setAlignment(Qt::AlignCenter);
    notice->setStyleSheet(QString::fromLatin1(noticeStyle));
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font = notice->font();
    font.setBold(true);
    notice->setFont(font);
    notice->hide();
    return notice;
}

void placeNotice(QLabel *notice, const QRect &design, int pixels, float scale, int x0, int y0)
{
    const double s = static_cast<double>(scale);
    notice->setGeometry(static_cast<int>(design.x() * s) + x0, static_cast<int>(design.y() * s) + y0,
                        static_cast<int>(design.width() * s), static_cast<int>(design.height() * s));
    QFont font = notice->font();
    font.setPixelSize(qMax(1, static_cast<int>(pixels * s)));
    notice->setFont(font);
}

}  // namespace

void MainWindow::createNotices()
{
    failureNotice = createNotice(this);
    clockSyncNotice = createNotice(this);
    clockSyncNotice->setText(tr("CLOCK NOT SYNCHRONISED"));
    placeNotices(1.0f, 0, 0);
}

void MainWindow::placeNotices(float scale, int x0, int y0)
{
    placeNotice(failureNotice, failureNoticeRect, failureNoticePixels, scale, x0, y0);
    placeNotice(clockSyncNotice, clockSyncNoticeRect, clockSyncNoticePixels, scale, x0, y0);
    failureNotice->raise();
    clockSyncNotice->raise();
}

// A studio clock that drifts is worse than none: say so on the face.
void MainWindow::checkClockSync()
{
    const bool synchronised = clockSynchronised();
    if (clockSyncShown == int(synchronised))
        return;
    // At start only the bad news is news.
    if (!synchronised || clockSyncShown != -1)
        logIncident(synchronised ? QStringLiteral("clock-synchronised") : QStringLiteral("clock-unsynchronised"));
    clockSyncShown = synchronised;
    clockSyncNotice->setVisible(!synchronised);
}

// A shared touch screen: the lamps and the non-stop icon only show, and
// the gear goes (Ctrl+, still opens the settings).
void MainWindow::applyDisplayOnly()
{
    settingsButton->setVisible(!displayOnly);
}
