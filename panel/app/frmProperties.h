#pragma once
// "CommPort Properties": edits the panel's four connection profiles. Edits go straight into the
// in-memory profiles; OK saves them all and re-opens the link with the active profile.
// The port list shows the device each "Com N" is and what the system says of it, listed
// afresh each time the dialog is made; a USB adapter chosen from it is pinned on OK.
#include "common/Ports.h"

#include <QDialog>
#include <set>
#include <vector>

class QTabBar;
class QRadioButton;
class QComboBox;
class QLineEdit;
class QCheckBox;
class QGroupBox;
class QPushButton;
class frmMain;

class frmProperties : public QDialog {
    Q_OBJECT
public:
    // ports: where the port list comes from (the machine's ports when null).
    frmProperties(frmMain& main, QWidget* parent = nullptr, const common::PortSource* ports = nullptr);

    // The profile shown (1..4), from the selected tab.
    int profile() const;
    void showProfile(int n);

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void optSerial_Click();
    void optTCPIP_Click();

    frmMain& main_;
    QTabBar* tabSettings_ = nullptr;
    QRadioButton* optSerial_ = nullptr;
    QRadioButton* optTCPIP_ = nullptr;
    QComboBox* cboPort_ = nullptr;
    QComboBox* cboSpeed_ = nullptr;
    QComboBox* cboDataBits_ = nullptr;
    QComboBox* cboParity_ = nullptr;
    QComboBox* cboStopBits_ = nullptr;
    QRadioButton* optFlow_[4] = {};
    QGroupBox* fraTCPIP_ = nullptr;
    QLineEdit* txtAddress_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
    QLineEdit* txtCaption_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    short portBefore_ = 0; // the port when editing of txtPort began
    std::vector<common::PortChoice> portChoices_; // the "Com N" entries as listed at opening
    std::set<int> portPicked_;                    // profiles whose port was chosen in this dialog
};
