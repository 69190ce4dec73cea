#pragma once
// "CommPort Properties" of the terminal: one profile, edited in the dialog's own controls and
// applied on OK. Modal. The port list shows the device each "Com N" is and what the system
// says of it, listed afresh each time the dialog is made; a USB adapter chosen from it is
// pinned on OK.
#include "common/Ports.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class frmTerminal;

// The parts of a settings string as the dialog shows them: speed, parity letter, data bits
// and stop bits, cut by their positions from the end ("9600,n,8,1.5" gives 9600, n, 8, 1.5).
struct DialogSettings {
    std::string speed;
    char parity = 0;
    std::string dataBits;
    std::string stopBits;
};
DialogSettings splitSettings(const std::string& settings);

class frmProperties : public QDialog {
    Q_OBJECT
public:
    // networkPath tells whether the module path selected allows TCP/IP; ports is where the
    // port list comes from (the machine's ports when null).
    frmProperties(frmTerminal& term, std::function<bool()> networkPath, QWidget* parent = nullptr,
                  const common::PortSource* ports = nullptr);

    void cmdOK_Click();
    void optSerial_Click();
    void optTCPIP_Click();
    // Cancel: nothing changes (the handshake boxes show the link type again).
    void reject() override;

private:
    void setEcho(bool on);

    // The link type when the dialog opened. Choosing Serial or TCP/IP covers or uncovers the
    // handshake boxes at once; the link itself keeps its type until OK.
    bool wasSerial_ = true;

    frmTerminal& term_;
    std::function<bool()> networkPath_;
    const common::PortSource* ports_ = nullptr;
    std::vector<common::PortChoice> portChoices_; // the "Com N" entries as listed at opening
    bool portPicked_ = false;                     // a port was chosen in this dialog
    QRadioButton* optSerial_ = nullptr;
    QRadioButton* optTCPIP_ = nullptr;
    QComboBox* cboPort_ = nullptr;
    QComboBox* cboSpeed_ = nullptr;
    QComboBox* cboDataBits_ = nullptr;
    QComboBox* cboParity_ = nullptr;
    QComboBox* cboStopBits_ = nullptr;
    QRadioButton* optFlow_[4] = {};
    QRadioButton* optEcho_[2] = {};  // Off, On
    QRadioButton* optEchoT_[2] = {}; // Off, On
    QGroupBox* fraTCPIP_ = nullptr;
    QLineEdit* txtAddress_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
};
