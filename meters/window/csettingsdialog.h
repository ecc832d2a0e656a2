#ifndef CSETTINGSDIALOG_H
#define CSETTINGSDIALOG_H

#include <QDialog>
#include <QHostInfo>
#include <QString>

class QLabel;

namespace Ui {
class CSettingsDialog;
}

// How the meters reach the mixer: host and the two UDP ports, or the default
// ports. Ok resolves the host first and hands on the numeric address through
// setUdpPorts, then accepts; the caller connects to setUdpPorts before exec().
class CSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    CSettingsDialog(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults, QString remote_host,
                    QWidget *parent = nullptr);
    ~CSettingsDialog() override;

signals:
    // Ports travel as the low 16 bits of the port number: a port above 32767
    // arrives negative and is read back as quint16 by the receiver.
    void setUdpPorts(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults, QString remote_host);

private slots:
    void on_checkBox_use_defaults_toggled(bool checked);
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void lookedUp(QHostInfo info);

private:
    // True when both port fields hold a port; otherwise marks the ones
    // that do not and says why.
    bool checkPorts();
    // Why Ok did nothing: in red under the host field until the next edit.
    void showLookupFailure(const QString &reason);

    QLabel *lookupFailure = nullptr;

    Ui::CSettingsDialog *ui;
};

#endif  // CSETTINGSDIALOG_H
