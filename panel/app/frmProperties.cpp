#include "frmProperties.h"

#include "frmMain.h"

#include "common/SettingsStore.h"
#include "common/gui/SerialControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

using common::Ms;

namespace {
constexpr int kPorts = 20; // "Com1" .. "Com20"
}

frmProperties::frmProperties(frmMain& main, QWidget* parent, const common::PortSource* ports)
    : QDialog(parent), main_(main)
{
    setObjectName("frmProperties");
    setWindowTitle("CommPort Properties");
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    tabSettings_ = new QTabBar(this);
    tabSettings_->setObjectName("tabSettings");
    for (int n = 1; n <= 4; ++n)
        tabSettings_->addTab(QString("Antenna %1").arg(n));
    outer->addWidget(tabSettings_);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;

    auto* fraSettings = new QGroupBox("Connection", this);
    fraSettings->setObjectName("fraSettings");
    auto* fs = new QVBoxLayout(fraSettings);
    optSerial_ = new QRadioButton("Serial", fraSettings);
    optSerial_->setObjectName("optSerial");
    optTCPIP_ = new QRadioButton("TCP/IP", fraSettings);
    optTCPIP_->setObjectName("optTCPIP");
    fs->addWidget(optSerial_);
    fs->addWidget(optTCPIP_);
    auto* capRow = new QFormLayout;
    txtCaption_ = new QLineEdit(fraSettings);
    txtCaption_->setObjectName("txtCaption");
    capRow->addRow("Caption:", txtCaption_);
    fs->addLayout(capRow);
    Check1_ = new QCheckBox("Enabled", fraSettings);
    Check1_->setObjectName("Check1");
    fs->addWidget(Check1_);
    left->addWidget(fraSettings);

    fraTCPIP_ = new QGroupBox("TCP/IP Settings", this);
    fraTCPIP_->setObjectName("fraTCPIP");
    auto* ft = new QFormLayout(fraTCPIP_);
    txtAddress_ = new QLineEdit(fraTCPIP_);
    txtAddress_->setObjectName("txtAddress");
    txtPort_ = new QLineEdit(fraTCPIP_);
    txtPort_->setObjectName("txtPort");
    ft->addRow("IP Address", txtAddress_);
    ft->addRow("Port Number", txtPort_);
    left->addWidget(fraTCPIP_);
    left->addStretch(1);
    body->addLayout(left);

    auto* right = new QVBoxLayout;
    const SerialControls serial =
        addSerialControls(this, right,
                          {"Connection Preferences", "fraPreferences", kPorts,
                           {"1200", "2400", "4800", "9600", "19200", "38400"}, {"7", "8"}, {"1", "2"}});
    cboPort_ = serial.cboPort;
    cboSpeed_ = serial.cboSpeed;
    cboDataBits_ = serial.cboDataBits;
    cboParity_ = serial.cboParity;
    cboStopBits_ = serial.cboStopBits;
    for (int i = 0; i < 4; ++i)
        optFlow_[i] = serial.optFlow[i];
    portChoices_ = common::portChoices(kPorts, &main_.store(), ports ? ports->ports() : common::SystemPortSource().ports());
    fillPortList(cboPort_, portChoices_);
    body->addLayout(right);
    outer->addLayout(body);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cmdCancel");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);

    // Opening: the data format shows the panel's fixed format; the flow option is the link's (none).
    cboParity_->setCurrentText("None");
    cboDataBits_->setCurrentText("8");
    cboStopBits_->setCurrentText("1");
    optFlow_[0]->setChecked(true);
    {
        const QSignalBlocker b(tabSettings_);
        tabSettings_->setCurrentIndex(0);
    }
    showProfile(1);

    // Every edit goes straight into the in-memory profile of the tab shown.
    connect(tabSettings_, &QTabBar::currentChanged, this, [this](int i) { showProfile(i + 1); });
    connect(cboPort_, &QComboBox::activated, this, [this](int i) {
        main_.shared().profiles[profile()].commPort = short(i + 1);
        portPicked_.insert(profile());
    });
    connect(cboSpeed_, &QComboBox::activated, this, [this](int) {
        main_.shared().profiles[profile()].settings = cboSpeed_->currentText().toStdString() + ",N,8,1";
    });
    connect(txtAddress_, &QLineEdit::textEdited, this, [this](const QString& t) {
        main_.shared().profiles[profile()].address = t.toStdString();
    });
    connect(txtPort_, &QLineEdit::textEdited, this, [this](const QString& t) {
        short port = 0;
        const bool ok = common::toInt16(t.toStdString(), port);
        // A text that is no port number leaves the port as it was before this edit began,
        // not at whatever shorter number was typed on the way ("4000" on the way to "40000").
        main_.shared().profiles[profile()].port = ok ? port : portBefore_;
        // A text that is no 16-bit number leaves the stored port as it was; say so by colour.
        txtPort_->setStyleSheet(ok || t.isEmpty() ? QString() : QString("QLineEdit { background: #ffd0d0; }"));
        txtPort_->setToolTip(ok || t.isEmpty() ? QString() : QString("Not a port number (1 to 32767)"));
    });
    connect(txtPort_, &QLineEdit::editingFinished, this, [this] {
        portBefore_ = main_.shared().profiles[profile()].port;
    });
    connect(txtCaption_, &QLineEdit::textEdited, this, [this](const QString& t) {
        main_.shared().profiles[profile()].caption = t.toStdString();
        main_.refresh();
    });
    connect(Check1_, &QCheckBox::clicked, this, [this](bool on) {
        main_.shared().profiles[profile()].enabled = on;
        main_.refresh();
    });
    connect(optSerial_, &QRadioButton::clicked, this, &frmProperties::optSerial_Click);
    connect(optTCPIP_, &QRadioButton::clicked, this, &frmProperties::optTCPIP_Click);
    connect(ok, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &frmProperties::cmdCancel_Click);

    adjustSize();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

int frmProperties::profile() const { return tabSettings_->currentIndex() + 1; }

void frmProperties::showProfile(int n)
{
    const auto& p = main_.shared().profiles[n];
    Check1_->setChecked(p.enabled);
    txtCaption_->setText(QString::fromStdString(p.caption));
    cboPort_->setCurrentIndex(p.commPort >= 1 && p.commPort <= kPorts ? p.commPort - 1 : -1);
    const QString speed = QString::fromStdString(common::settingsSpeed(p.settings));
    if (cboSpeed_->findText(speed) < 0)
        cboSpeed_->addItem(speed); // a stored speed outside the list is still shown as it is
    cboSpeed_->setCurrentText(speed);
    txtAddress_->setText(QString::fromStdString(p.address));
    txtPort_->setText(QString::number(p.port));
    portBefore_ = p.port;
    txtPort_->setStyleSheet(QString());
    optSerial_->setChecked(p.serial);
    optTCPIP_->setChecked(!p.serial);
    fraTCPIP_->setVisible(!p.serial);
}

void frmProperties::optSerial_Click()
{
    fraTCPIP_->setVisible(false);
    auto& sh = main_.shared();
    const int n = profile();
    if (!sh.profiles[n].serial && n == sh.profiles.select && sh.open)
        main_.link().mnuOpen_Click();
    sh.profiles[n].serial = true;
}

void frmProperties::optTCPIP_Click()
{
    fraTCPIP_->setVisible(true);
    auto& sh = main_.shared();
    const int n = profile();
    if (sh.profiles[n].serial && n == sh.profiles.select && sh.open)
        main_.link().mnuOpen_Click();
    sh.profiles[n].serial = false;
}

void frmProperties::cmdOK_Click()
{
    auto& sh = main_.shared();
    bool saved = sh.profiles.save(main_.store());
    // A USB adapter chosen for a profile is pinned by its stable name, so that port number
    // keeps meaning that adapter whatever else is plugged in.
    for (const int n : portPicked_) {
        const int port = sh.profiles[n].commPort;
        if (port >= 1 && port <= int(portChoices_.size()))
            saved = common::savePin(main_.store(), portChoices_[size_t(port - 1)]) && saved;
    }
    if (!saved)
        main_.message("Error,\rThe settings could not be saved.\r" + main_.store().lastError(), "",
                      panel::PanelUi::Buttons::Ok, panel::PanelUi::Icon::Exclamation);
    // The stored profiles now decide the link, not a link given on the command line.
    sh.endpoint.reset();
    if (sh.open) {
        main_.link().mnuOpen_Click();
        main_.clock().wait(Ms{1000});
    }
    main_.link().mnuOpen_Click();
    accept();
}

void frmProperties::cmdCancel_Click()
{
    // Edits already made stay in memory; only the store is left untouched.
    reject();
}

void frmProperties::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F1) {
        openHelpPage("comm_port.html");
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
