// Proportional layout and the painted backgrounds. The design canvas of
// 986 x 650 is scaled uniformly into the window and centred; the costly work
// (smooth scaling of the pictures, moving 32 widgets) runs only in the first
// paint after a resize or a change of the status background.
#include "mainwindow.h"

#include <QFont>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QTimer>

#include "mylabel.h"
#include "ui_mainwindow.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"

namespace {

const int canvasWidth = 986;
const int canvasHeight = 650;

int scaled(int value, float scale)
{
    return static_cast<int>(static_cast<double>(value) * static_cast<double>(scale));
}

void setPointSize(QWidget *widget, const QFont &base, int size)
{
    QFont font(base);
    if (size > 0)
        font.setPointSize(size);
    widget->setFont(font);
}

}  // namespace

QWidget *MainWindow::designWidget(int index) const
{
    return index >= 0 && index < designRectCount ? designWidgets[index] : nullptr;
}

// Every widget the layout scales, with its rectangle as the form and the
// constructor placed it on the design canvas.
void MainWindow::recordDesignRects()
{
    QWidget *const widgets[designRectCount] = {
        ui->ProgLeft,      ui->ProgRight,     ui->CrmLeft,      ui->CrmRight,     ui->AnalogClock,   ui->DigitalClock,
        ui->proglabel,     ui->crmlabel,      ui->timelabel,    ui->signalslabel, ui->footerlabel,   settingsButton,
        moduleLamps[0],    moduleLamps[1],    moduleLamps[2],   moduleLamps[3],   moduleLamps[4],    moduleLamps[5],
        ui->label_src_1,   ui->label_src_2,   ui->label_src_3,  ui->label_src_4,  ui->label_src_5,   ui->label_src_6,
        ui->label_telring, ui->label_onair1,  ui->label_onair2, nonStopIndicator, ui->label_silence, ui->label_micon,
        ui->label_crmmute, ui->label_mictime,
    };
    for (int i = 0; i < designRectCount; ++i) {
        designWidgets[i] = widgets[i];
        designRects[i] = widgets[i]->geometry();
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    // The paint that follows every resize does the work.
    windowSize = event->size();
    layoutDirty = true;
    if (placementSettleTimer && placementSettleTimer->isActive())
        placementSettleTimer->start();
}

void MainWindow::relayout()
{
    const int width = windowSize.width();
    const int height = windowSize.height();

    scaledStatusBackground = statusBackground.scaled(windowSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaledFrameBackground = frameBackground.scaled(windowSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    int x0 = 0;
    int y0 = 0;
    float scale = 0.0f;
    if (width != 0 || height != 0) {
        const double ratio = static_cast<double>(width) / static_cast<double>(height);
        if (ratio > static_cast<double>(canvasWidth) / canvasHeight) {
            // Wider than the canvas: full height, bars left and right.
            const int contentWidth = (height * canvasWidth) / canvasHeight;
            x0 = (width - contentWidth) / 2;
            scale = static_cast<float>(
                (static_cast<double>(contentWidth) / canvasWidth + static_cast<double>(height) / canvasHeight) / 2.0);
        } else {
            // Taller than (or as wide as) the canvas: full width, bars top and bottom.
            const int contentHeight = (width * canvasHeight) / canvasWidth;
            y0 = (height - contentHeight) / 2;
            scale = static_cast<float>(
                (static_cast<double>(width) / canvasWidth + static_cast<double>(contentHeight) / canvasHeight) / 2.0);
        }
    }

    for (int i = 0; i < designRectCount; ++i) {
        const QRect &r = designRects[i];
        designWidgets[i]->setGeometry(scaled(r.x(), scale) + x0, scaled(r.y(), scale) + y0, scaled(r.width(), scale),
                                      scaled(r.height(), scale));
    }

    const QFont caption = ui->proglabel->font();
    const int captionSize = scaled(15, scale);
    setPointSize(ui->proglabel, caption, captionSize);
    setPointSize(ui->crmlabel, caption, captionSize);
    setPointSize(ui->timelabel, caption, captionSize);
    setPointSize(ui->signalslabel, caption, captionSize);

    setPointSize(ui->footerlabel, ui->footerlabel->font(), scaled(10, scale));

    const QFont source = ui->label_src_1->font();
    const int sourceSize = scaled(10, scale);
    QLabel *const sourceLabels[6] = {ui->label_src_1, ui->label_src_2, ui->label_src_3,
                                     ui->label_src_4, ui->label_src_5, ui->label_src_6};
    for (QLabel *label : sourceLabels)
        setPointSize(label, source, sourceSize);

    setPointSize(ui->label_mictime, ui->label_mictime->font(), scaled(12, scale));

    VXNDigitalClock *clock = ui->DigitalClock;
    QFont timeFont = clock->TimeDisplayFont();
    const int timeSize = scaled(40, scale);
    if (timeSize > 0)
        timeFont.setPointSize(timeSize);
    clock->setTimeDisplayFont(timeFont);
    QFont dateFont = clock->DateDisplayFont();
    const int dateSize = scaled(24, scale);
    if (dateSize > 0)
        dateFont.setPointSize(dateSize);
    clock->setDateDisplayFont(dateFont);

    placeNotices(scale, x0, y0);

    ui->ProgLeft->calculatePosition();
    ui->ProgRight->calculatePosition();
    ui->CrmLeft->calculatePosition();
    ui->CrmRight->calculatePosition();

    layoutDirty = false;
    update();
}

void MainWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (layoutDirty && !statusBackground.isNull())
        relayout();

    const QRect status(QPoint((windowSize.width() - scaledStatusBackground.width()) / 2,
                              (windowSize.height() - scaledStatusBackground.height()) / 2),
                       scaledStatusBackground.size());
    // The status picture is opaque: the frame shows only in the bars beside
    // it, so the once-a-second clock paints copy one picture, not two.
    for (const QRect &bar : QRegion(scaledFrameBackground.rect()).subtracted(status))
        painter.drawPixmap(bar, scaledFrameBackground, bar);
    painter.drawPixmap(status.topLeft(), scaledStatusBackground);
    painter.end();
}
