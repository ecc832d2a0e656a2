#include "csettingsdialog.h"

#include "ui_csettingsdialog.h"

#include <QDebug>
#include <QIntValidator>

#include <korvane.h>

namespace {

// The port as the user knows it: the 16 bits read unsigned.
QString portText(qint16 port)
{
    return QString::number(quint16(port));
}

// Field text to the 16 bits that travel on; text that does not parse is 0.
qint16 portBits(const QString &text)
{
    return qint16(quint16(text.toInt()));
}

} // namespace

CSettingsDialog::CSettingsDialog(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults,
                                 QString remote_host, QWidget *parent)
    : QDialog(parent), ui(new Ui::CSettingsDialog)
{
    ui->setupUi(this);

    ui->UdpSendPortEdit->setValidator(new QIntValidator(1, 65535, this));
    ui->UdpRecvPortEdit->setValidator(new QIntValidator(1, 65535, this));

    ui->UdpSendPortEdit->setText(portText(udp_send_port));
    ui->UdpRecvPortEdit->setText(portText(udp_recv_port));

    // Checking the box runs on_checkBox_use_defaults_toggled, which puts the
    // default ports in and locks the fields.
    ui->checkBox_use_defaults->setChecked(use_defaults);

    ui->UdpHostEdit->setText(remote_host);

    const char *version = korvane_library_version(nullptr);
    ui->label_libversion->setText(version ? QString::fromUtf8(version) : QString());
}

CSettingsDialog::~CSettingsDialog()
{
    delete ui;
}

void CSettingsDialog::on_checkBox_use_defaults_toggled(bool checked)
{
    if (checked) {
        ui->UdpSendPortEdit->setText(QString::number(DefaultSendPort));
        ui->UdpRecvPortEdit->setText(QString::number(DefaultRecvPort));
    }
    ui->UdpSendPortEdit->setEnabled(!checked);
    ui->UdpRecvPortEdit->setEnabled(!checked);
}

void CSettingsDialog::on_buttonBox_accepted()
{
    // The dialog stays open until the lookup answers in lookedUp.
    QHostInfo::lookupHost(ui->UdpHostEdit->text(), this, SLOT(lookedUp(QHostInfo)));
}

void CSettingsDialog::on_buttonBox_rejected()
{
    reject();
}

void CSettingsDialog::lookedUp(QHostInfo info)
{
    // A dialog that was cancelled (or already accepted by an earlier Ok)
    // while this lookup ran must not hand on settings any more.
    if (!isVisible()) {
        qDebug() << "Host lookup answered after the dialog closed; ignored:" << info.hostName();
        return;
    }

    if (info.error() != QHostInfo::NoError) {
        qDebug() << "Lookup failed:" << info.errorString();
        return;
    }
    if (info.addresses().isEmpty()) {
        // No error but nothing to connect to: as unusable as a failed lookup.
        qDebug() << "Lookup failed:" << "no address for" << info.hostName();
        return;
    }
    qDebug() << "QHostInfo: " << info.addresses();

    const QString address = info.addresses().first().toString();
    const bool useDefaults = ui->checkBox_use_defaults->isChecked();
    const qint16 recvPort = portBits(ui->UdpRecvPortEdit->text());
    const qint16 sendPort = portBits(ui->UdpSendPortEdit->text());

    emit setUdpPorts(sendPort, recvPort, useDefaults, address);
    accept();
}
