#include "frmProperties.h"

#include "frmTerminal.h"

#include "common/Link.h"
#include "common/SettingsStore.h"
#include "common/gui/SerialControls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

DialogSettings splitSettings(const std::string& s)
{
    DialogSettings d;
    const long L = long(s.size());
    const long X = s.find('.') != std::string::npos ? 2 : 0;
    auto at = [&](long pos1) -> char { return pos1 >= 1 && pos1 <= L ? s[size_t(pos1 - 1)] : 0; };
    if (L - 6 - X > 0)
        d.speed = s.substr(0, size_t(L - 6 - X));
    d.parity = at(L - 4 - X);
    if (const char c = at(L - 2 - X))
        d.dataBits = std::string(1, c);
    if (L >= X + 1)
        d.stopBits = s.substr(size_t(L - X - 1));
    return d;
}

namespace {
constexpr int kPorts = 16; // "Com1" .. "Com16"
}

frmProperties::frmProperties(frmTerminal& term, std::function<bool()> networkPath, QWidget* parent,
                             const common::PortSource* ports)
    : QDialog(parent), term_(term), networkPath_(std::move(networkPath)), ports_(ports)
{
    setObjectName("frmProperties");
    setWindowTitle("CommPort Properties");
    setModal(true);
    auto& t = term_.terminal();

    auto* outer = new QVBoxLayout(this);
    auto* tabs = new QTabBar(this);
    tabs->setObjectName("tabSettings");
    tabs->addTab("Properties");
    outer->addWidget(tabs);

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
    left->addWidget(fraSettings);

    auto echoGroup = [this](const char* name, QRadioButton* (&opts)[2]) {
        auto* g = new QGroupBox("&Echo", this);
        g->setObjectName(name);
        auto* l = new QHBoxLayout(g);
        auto* bg = new QButtonGroup(g);
        const char* caps[] = {"Off", "On"};
        for (int i = 0; i < 2; ++i) {
            opts[i] = new QRadioButton(caps[i], g);
            opts[i]->setObjectName(QString("%1_%2").arg(name).arg(i));
            bg->addButton(opts[i]);
            l->addWidget(opts[i]);
            // The two echo groups always agree.
            connect(opts[i], &QRadioButton::clicked, this, [this, i] { setEcho(i == 1); });
        }
        return g;
    };
    left->addWidget(echoGroup("optEcho", optEcho_));

    fraTCPIP_ = new QGroupBox("TCP / IP Settings", this);
    fraTCPIP_->setObjectName("fraTCPIP");
    auto* ft = new QFormLayout(fraTCPIP_);
    txtAddress_ = new QLineEdit(QString::fromStdString(t.aAddress), fraTCPIP_);
    txtAddress_->setObjectName("txtAddress");
    txtPort_ = new QLineEdit(QString::number(t.nPort), fraTCPIP_);
    txtPort_->setObjectName("txtPort");
    ft->addRow("IP Address", txtAddress_);
    ft->addRow("Port Number", txtPort_);
    ft->addRow(echoGroup("optEchoT", optEchoT_));
    left->addWidget(fraTCPIP_);
    left->addStretch(1);
    body->addLayout(left);

    auto* right = new QVBoxLayout;
    const SerialControls serial =
        addSerialControls(this, right,
                          {"Connection Parameters", "fraParameters", kPorts,
                           {"1200", "2400", "4800", "9600", "19200", "38400", "115200"},
                           {"4", "5", "6", "7", "8"}, {"1", "1.5", "2"}});
    cboPort_ = serial.cboPort;
    cboSpeed_ = serial.cboSpeed;
    cboDataBits_ = serial.cboDataBits;
    cboParity_ = serial.cboParity;
    cboStopBits_ = serial.cboStopBits;
    for (int i = 0; i < 4; ++i)
        optFlow_[i] = serial.optFlow[i];
    portChoices_ = common::portChoices(kPorts, &term_.store(), ports_ ? ports_->ports() : common::SystemPortSource().ports());
    fillPortList(cboPort_, portChoices_);
    connect(cboPort_, &QComboBox::activated, this, [this] { portPicked_ = true; });
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
    connect(ok, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(optSerial_, &QRadioButton::clicked, this, &frmProperties::optSerial_Click);
    connect(optTCPIP_, &QRadioButton::clicked, this, &frmProperties::optTCPIP_Click);

    // Opening: the port's present settings, cut into their parts.
    const DialogSettings d = splitSettings(t.settings);
    cboSpeed_->setCurrentText(QString::fromStdString(d.speed));
    const struct {
        char letter;
        const char* name;
    } parities[] = {{'e', "Even"}, {'o', "Odd"}, {'n', "None"}, {'m', "Mark"}, {'s', "Space"}};
    // The serial layer here reports the letter as it was stored; either case is understood.
    for (const auto& p : parities)
        if (std::tolower(static_cast<unsigned char>(d.parity)) == p.letter)
            cboParity_->setCurrentText(p.name);
    cboDataBits_->setCurrentText(QString::fromStdString(d.dataBits));
    cboStopBits_->setCurrentText(QString::fromStdString(d.stopBits));
    cboPort_->setCurrentIndex(t.commPort >= 1 && t.commPort <= kPorts ? t.commPort - 1 : -1);
    optFlow_[t.handshaking >= 0 && t.handshaking <= 3 ? t.handshaking : 0]->setChecked(true);
    setEcho(t.echo);
    wasSerial_ = t.serial;
    if (t.serial) {
        optSerial_->setChecked(true);
        fraTCPIP_->hide();
    } else {
        optTCPIP_->setChecked(true);
        optTCPIP_Click();
    }
    adjustSize();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmProperties::setEcho(bool on)
{
    optEcho_[on ? 1 : 0]->setChecked(true);
    optEchoT_[on ? 1 : 0]->setChecked(true);
}

void frmProperties::optSerial_Click()
{
    fraTCPIP_->hide();
    term_.terminal().serial = true; // the handshake boxes are uncovered
    term_.refresh();
}

void frmProperties::optTCPIP_Click()
{
    auto& t = term_.terminal();
    if (networkPath_ && networkPath_()) {
        fraTCPIP_->show();
        t.serial = false; // the handshake boxes are covered
        term_.refresh();
        return;
    }
    term_.message("TCP/IP not allowed for the present module selection", "", term::TerminalUi::Buttons::Ok,
                  term::TerminalUi::Icon::Exclamation);
    if (t.linkOpen())
        t.mnuOpen_Click();
    optSerial_->setChecked(true);
    optSerial_Click();
}

void frmProperties::cmdOK_Click()
{
    auto& t = term_.terminal();
    auto& store = term_.store();
    using B = term::TerminalUi::Buttons;
    using I = term::TerminalUi::Icon;
    // The link belongs to a running sequence: nothing is applied under it.
    if (t.sequenceRunning()) {
        reject();
        return;
    }
    // The link is closed as the kind it is, not as the kind chosen in the dialog.
    t.serial = wasSerial_;
    const bool wasOpen = t.linkOpen();
    if (wasOpen)
        t.mnuOpen_Click();

    if (optSerial_->isChecked()) {
        const int port = cboPort_->currentIndex() + 1;
        const std::string settings = cboSpeed_->currentText().trimmed().toStdString() + ","
                                     + cboParity_->currentText().left(1).toStdString() + ","
                                     + cboDataBits_->currentText().trimmed().toStdString() + ","
                                     + cboStopBits_->currentText().trimmed().toStdString();
        const common::SystemPortSource machine;
        const common::PortSource& source = ports_ ? *ports_ : machine;
        std::string device = common::serialDevicePath(port, &store, source);
        // The serial layer's own checks: a value it rejects leaves the dialog open and the link
        // closed, with nothing saved.
        common::LineSettings ls;
        std::string error;
        if (!common::parseSettings(settings, ls))
            error = "Invalid port settings \"" + settings + "\"";
        else if (ls.dataBits < 5)
            error = std::to_string(ls.dataBits) + " data bits are not supported by " + device + " (use 5 to 8)";
        if (!error.empty()) {
            term_.message(error, "", B::Ok, I::Exclamation);
            t.serial = true; // the boxes show the choice again while the dialog stays open
            term_.refresh();
            return;
        }
        int flow = 0;
        for (int i = 0; i < 4; ++i)
            if (optFlow_[i]->isChecked())
                flow = i;
        // A USB adapter chosen here is pinned by its stable name: this port number keeps
        // meaning that adapter whatever else is plugged in.
        if (portPicked_ && port >= 1 && port <= int(portChoices_.size())
            && !common::savePin(store, portChoices_[size_t(port - 1)]))
            term_.message("The port choice could not be saved.\n" + store.lastError(), "", B::Ok, I::Exclamation);
        device = common::serialDevicePath(port, &store, source);
        t.commPort = port;
        t.devicePath = device;
        t.settings = settings;
        t.handshaking = flow;
        store.save("Properties", "Settings", settings);
        store.save("Properties", "CommPort", std::to_string(port));
        store.save("Properties", "Handshaking", std::to_string(flow));
        t.serial = true;
        t.echo = optEcho_[1]->isChecked();
    } else {
        // A port number that does not fit the stored 16-bit port would silently become port 0;
        // it is refused like a value the serial layer rejects (the dialog stays open).
        const QString portText = txtPort_->text().trimmed();
        bool isNumber = false;
        const long long port = portText.toLongLong(&isNumber);
        if (isNumber && (port < 1 || port > 32767)) {
            term_.message("Port Number " + portText.toStdString() + " is out of range: use 1 to 32767.", "", B::Ok,
                          I::Exclamation);
            term_.refresh();
            return;
        }
        store.save("Properties", "Address", txtAddress_->text().toStdString());
        store.save("Properties", "PortNumber", txtPort_->text().toStdString());
        t.aAddress = txtAddress_->text().toStdString();
        short n = 0;
        t.nPort = common::toInt16(txtPort_->text().toStdString(), n) ? n : 0;
        t.serial = false;
        t.echo = optEchoT_[1]->isChecked();
    }
    t.echoText = t.echo ? ", Echo On  " : ", Echo Off  ";
    store.save("Properties", "Echo", common::boolText(t.echo));
    store.save("Properties", "Type", common::boolText(t.serial));
    wasSerial_ = t.serial;
    if (wasOpen)
        t.mnuOpen_Click();
    term_.refresh();
    accept();
}

void frmProperties::reject()
{
    term_.terminal().serial = wasSerial_;
    term_.refresh();
    QDialog::reject();
}
