#include "csettingsdialog.h"

#include "ui_csettingsdialog.h"

#include <QDebug>
#include <QHostAddress>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolTip>

#include "incidentlog.h"
#include "korvane.h"
#include "mixerlink.h"

namespace {

// The port as the user knows it: the 16 bits read unsigned.
QString portText(qint16 port)
{
    return QString::number(quint16(port));
}

// Field text to the 16 bits that travel on; only called for usable fields.
qint16 portBits(const QString &text)
{
    return qint16(quint16(text.toInt()));
}

bool usablePort(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= 65535;
}

// QIntValidator calls any number of no more digits than the top has
// "intermediate", so 70000 or 99999 would stay in the field; refuse what no
// further typing can bring back into range.
class PortValidator : public QIntValidator
{
public:
    explicit PortValidator(QObject *parent)
        : QIntValidator(1, 65535, parent)
    {}

    State validate(QString &input, int &pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool ok = false;
        const qlonglong value = locale().toLongLong(input, &ok);
        if (state == Intermediate && ok && value > top())
            return Invalid;
        return state;
    }
};

const char *const badPortStyle = "QLineEdit { border: 2px solid red; }";

// Digits and dots that are not four numbers: the resolver would read
// "48164" as 0.0.188.36 and "10.1" as 10.0.0.1, an address nobody meant. No
// host name is all digits at its end, so nothing real is refused.
bool shorthandAddress(const QString &text)
{
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    const QString host = text.trimmed();
    if (!digitsAndDots.match(host).hasMatch())
        return false;
    QHostAddress address;
    return !(address.setAddress(host) && host.count(QLatin1Char('.')) == 3);
}

}  // namespace

CSettingsDialog::CSettingsDialog(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults, QString remote_host,
                                 QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CSettingsDialog)
{
    ui->setupUi(this);

    ui->UdpSendPortEdit->setValidator(new PortValidator(this));
    ui->UdpRecvPortEdit->setValidator(new PortValidator(this));
    // A field marked as unusable is unmarked as soon as its text changes.
    for (QLineEdit *edit : {ui->UdpSendPortEdit, ui->UdpRecvPortEdit})
        connect(edit, &QLineEdit::textChanged, edit, [edit] {
            edit->setStyleSheet(QString());
            edit->setToolTip(QString());
        });

    ui->UdpSendPortEdit->setText(portText(udp_send_port));
    ui->UdpRecvPortEdit->setText(portText(udp_recv_port));

    // Checking the box runs on_checkBox_use_defaults_toggled, which puts the
    // default ports in and locks the fields.
    ui->checkBox_use_defaults->setChecked(use_defaults);

    ui->UdpHostEdit->setText(remote_host);

    // In the gap between the host field and the ports box.
    lookupFailure = new QLabel(ui->groupBox);
    lookupFailure->setObjectName(QStringLiteral("lookupFailure"));
    lookupFailure->setGeometry(10, 67, 181, 14);
    lookupFailure->setStyleSheet(QStringLiteral("QLabel { color: rgb(200, 0, 0); }"));
    QFont small = lookupFailure->font();
    small.setPixelSize(11);
    lookupFailure->setFont(small);
    lookupFailure->hide();
    connect(ui->UdpHostEdit, &QLineEdit::textChanged, lookupFailure, &QLabel::hide);

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
        ui->UdpSendPortEdit->setText(QString::number(MixerLink::defaultSendPort));
        ui->UdpRecvPortEdit->setText(QString::number(MixerLink::defaultRecvPort));
    }
    ui->UdpSendPortEdit->setEnabled(!checked);
    ui->UdpRecvPortEdit->setEnabled(!checked);
}

bool CSettingsDialog::checkPorts()
{
    QLineEdit *first = nullptr;
    for (QLineEdit *edit : {ui->UdpSendPortEdit, ui->UdpRecvPortEdit}) {
        if (usablePort(edit->text()))
            continue;
        edit->setStyleSheet(QString::fromLatin1(badPortStyle));
        edit->setToolTip(tr("Enter a port from 1 to 65535."));
        if (!first)
            first = edit;
    }
    if (!first)
        return true;
    first->setFocus();
    first->selectAll();
    QToolTip::showText(first->mapToGlobal(QPoint(0, first->height())), first->toolTip(), first);
    return false;
}

void CSettingsDialog::on_buttonBox_accepted()
{
    // An empty or zero port would be taken as port 0 and saved: nothing is
    // looked up until both fields hold a port.
    if (!checkPorts())
        return;
    if (shorthandAddress(ui->UdpHostEdit->text())) {
        showLookupFailure(tr("partial address"));
        return;
    }
    // The dialog stays open until the lookup answers in lookedUp.
    QHostInfo::lookupHost(ui->UdpHostEdit->text(), this, &CSettingsDialog::lookedUp);
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
        showLookupFailure(info.errorString());
        return;
    }
    qDebug() << "QHostInfo: " << info.addresses();

    // The library sends over IPv4 only: take the first IPv4 answer (also
    // one written as an IPv4-mapped IPv6 address). An answer without one
    // leaves nothing to connect to, like a failed lookup.
    QString address;
    for (const QHostAddress &answer : info.addresses()) {
        bool isIPv4 = false;
        const quint32 ipv4 = answer.toIPv4Address(&isIPv4);
        if (isIPv4) {
            address = QHostAddress(ipv4).toString();
            break;
        }
    }
    if (address.isEmpty()) {
        qDebug() << "Lookup failed:"
                 << "no IPv4 address for" << info.hostName();
        showLookupFailure(tr("no IPv4 address"));
        return;
    }

    // The fields stay editable while the lookup runs.
    if (!checkPorts())
        return;

    const bool useDefaults = ui->checkBox_use_defaults->isChecked();
    const qint16 recvPort = portBits(ui->UdpRecvPortEdit->text());
    const qint16 sendPort = portBits(ui->UdpSendPortEdit->text());

    emit setUdpPorts(sendPort, recvPort, useDefaults, address);
    accept();
}

void CSettingsDialog::showLookupFailure(const QString &reason)
{
    const QString text = tr("Lookup failed: %1").arg(reason);
    lookupFailure->setText(lookupFailure->fontMetrics().elidedText(text, Qt::ElideRight, lookupFailure->width()));
    lookupFailure->setToolTip(text);
    lookupFailure->show();
    logIncident(QStringLiteral("lookup-failed"), ui->UdpHostEdit->text());
}
