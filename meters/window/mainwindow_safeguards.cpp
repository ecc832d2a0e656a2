// What keeps a wall display honest and harmless: failures, an
// unsynchronised clock and unsaved settings shown on the face, and the
// display-only mode.
#include "mainwindow.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

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
// Below the mic timer, inside the circle too.
const QRect settingsNoticeRect(431, 414, 244, 24);
const int settingsNoticePixels = 15;
// A long failure subject may shrink the notice's font this far, no further.
const int leastFailurePercent = 70;

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

// Returns the font's pixel size there.
int placeNotice(QLabel *notice, const QRect &design, int pixels, float scale, int x0, int y0)
{
    const double s = static_cast<double>(scale);
    notice->setGeometry(static_cast<int>(design.x() * s) + x0, static_cast<int>(design.y() * s) + y0,
                        static_cast<int>(design.width() * s), static_cast<int>(design.height() * s));
    QFont font = notice->font();
    font.setPixelSize(qMax(1, static_cast<int>(pixels * s)));
    notice->setFont(font);
    return font.pixelSize();
}

QString joinedWords(const QString &lead, const QString &subject, const QString &tail)
{
    QStringList words;
    for (const QString &part : {lead, subject, tail})
        if (!part.isEmpty())
            words << part;
    return words.join(QLatin1Char(' '));
}

}  // namespace

void MainWindow::createNotices()
{
    failureNotice = createNotice(this);
    clockSyncNotice = createNotice(this);
    clockSyncNotice->setText(tr("CLOCK NOT SYNCHRONISED"));
    settingsNotice = createNotice(this);
    settingsNotice->setText(tr("SETTINGS NOT SAVED"));
    placeNotices(1.0f, 0, 0);
}

void MainWindow::placeNotices(float scale, int x0, int y0)
{
    failureNoticeFullPixels = placeNotice(failureNotice, failureNoticeRect, failureNoticePixels, scale, x0, y0);
    fitFailureNotice();
    placeNotice(clockSyncNotice, clockSyncNoticeRect, clockSyncNoticePixels, scale, x0, y0);
    placeNotice(settingsNotice, settingsNoticeRect, settingsNoticePixels, scale, x0, y0);
    failureNotice->raise();
    clockSyncNotice->raise();
    settingsNotice->raise();
}

// Read from across the room: the whole text at full size if it fits, else
// at a smaller size down to leastFailurePercent, else at that size with the
// middle of the subject left out.
void MainWindow::fitFailureNotice()
{
    const QString whole = joinedWords(failureLead, failureSubject, failureTail);
    if (whole.isEmpty())
        return;
    const int full = failureNoticeFullPixels;
    const int least = qMax(1, (full * leastFailurePercent + 99) / 100);
    // Half a letter's room at either rounded end.
    const int room = failureNotice->width() - full;
    QFont font = failureNotice->font();
    for (int pixels = full; pixels >= least; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance(whole) <= room) {
            failureNotice->setFont(font);
            failureNotice->setText(whole);
            return;
        }
    }
    // A stored value may be of any length: only both ends can ever show.
    QString subject = failureSubject;
    if (subject.size() > 256)
        subject = subject.left(128) + QChar(0x2026) + subject.right(128);
    const QFontMetrics metrics(font);
    const int subjectRoom =
        room - metrics.horizontalAdvance(joinedWords(failureLead, QStringLiteral(" "), failureTail));
    failureNotice->setFont(font);
    failureNotice->setText(
        joinedWords(failureLead, metrics.elidedText(subject, Qt::ElideMiddle, qMax(0, subjectRoom)), failureTail));
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
