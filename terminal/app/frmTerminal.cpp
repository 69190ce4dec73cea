#include "frmTerminal.h"

#include "common/Profiles.h"
#include "common/gui/Desktop.h"
#include "common/SettingsStore.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kWindowWidthTwips = 8600;

constexpr int kMinWidthTwips = 7200;
} // namespace

frmTerminal::frmTerminal(common::Clock& clock, common::SettingsStore& store, term::Terminal::LinkFactory makeLink,
                         int copy, QWidget* parent)
    : QMainWindow(parent), clock_(clock), store_(store), copy_(copy)
{
    setObjectName("frmTerminal");
    setWindowTitle(copy_ == 2 ? "Tessaro Program Terminal 2" : "Tessaro Program Terminal");
    term_ = std::make_unique<term::Terminal>(clock_, *this, std::move(makeLink));
    paths_ = std::make_unique<term::ModulePaths>(*term_, &store_);
    commands_ = std::make_unique<term::ModuleCommands>(*term_);
    sender_ = std::make_unique<term::TextSender>(*term_);
    nmea_ = std::make_unique<term::Nmea>(*term_);
    log_ = std::make_unique<term::CommsLog>(*term_);
    saveReset_ = std::make_unique<term::SaveReset>(*term_);
    dump_ = std::make_unique<term::ParamDump>(*term_, *paths_);
    dump_->chooseFile = [this](const std::string& title, const std::string& filter, const std::string& name) {
        return chooseSaveFile(title, filter, name);
    };
    dump_->onProgressWindow = [this](bool show) { showDumpWindow(show); };
    dump_->onProgress = [this](int value) {
        if (dumpBar_)
            dumpBar_->setValue(value);
    };
    upload_ = std::make_unique<upload::UploadEngine>(*term_, *paths_, *sender_);
    autoUpload_ = std::make_unique<upload::AutoUpload>(*upload_);
    upload_->history = &history_;
    upload_->chooseFile = [this](const std::string& title, const std::string& filter) {
        return chooseFile(false, title, filter);
    };
    upload_->onProgressWindow = [this](bool show, const std::string& caption, const std::string& text) {
        if (show)
            showCancelWindow(caption, text, [this] { upload_->cancel(); });
        else
            hideCancelWindow();
    };
    log_->terminalCaption = windowTitle().toStdString();
    log_->onChanged = [this] { refresh(); };
    sender_->onCancelWindow = [this](bool show, const std::string& caption, const std::string& text) {
        if (show)
            showCancelWindow(caption, text, [this] { sender_->cancel(); });
        else
            hideCancelWindow();
    };
    paths_->onModemTuneStopped = [this](bool byCancel) {
        hideCancelWindow();
        if (byCancel)
            sender_->cancel();
        refresh();
    };
    paths_->openDocument = [](const std::string& name) { openHelpPage(QString::fromStdString(name)); };
    term_->driveDtr = [this](bool on) {
        if (auto* l = term_->link())
            l->setDtr(on);
    };
    term_->driveRts = [this](bool on) {
        if (auto* l = term_->link())
            l->setRts(on);
    };
    buildWindow();
    buildToolbar();
    buildMenus();
}

frmTerminal::~frmTerminal()
{
    // The modem tune stream holds the sequence guard; it lets go while the window is whole.
    paths_->ModemTuneCancel();
}

int frmTerminal::twips(int t) const
{
    const qreal dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    return int(t * dpi / 1440.0 + 0.5);
}

void frmTerminal::buildWindow()
{
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 0);
    v->setSpacing(4);

    // The panel display strip of the panel paths.
    panelArea_ = new QWidget(central);
    panelArea_->setObjectName("fraPanel");
    auto* pg = new QGridLayout(panelArea_);
    pg->setContentsMargins(0, 0, 0, 0);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(12);
    auto field = [&](const char* name, const char* tip) {
        auto* e = new QLineEdit(panelArea_);
        e->setObjectName(name);
        e->setToolTip(tip);
        e->setReadOnly(true);
        e->setFont(fixed);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet("QLineEdit { background: #10281a; color: #7dff9a; }");
        return e;
    };
    txtLine1_ = field("txtLine1", "Line1 Display");
    txtLine2_ = field("txtLine2", "Line2 Display");
    txtLine3_ = field("txtLine3", "Bargraph Segments");
    txtLine4_ = field("txtLine4", "Panel Brightnes");
    txtLine6U_ = field("txtLine6U", "Unwrap Legend");
    txtLine6T_ = field("txtLine6T", "Tracking Legend");
    // The two display lines take the width; the bargraph (2 characters), brightness (4) and
    // legend (UNWRAP, TRACKING) boxes are as wide as what they show.
    const QFontMetrics fm(fixed);
    const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 12;
    for (QLineEdit* e : {txtLine3_, txtLine4_})
        e->setFixedWidth(fm.horizontalAdvance(QString(5, QLatin1Char('0'))) + frame);
    for (QLineEdit* e : {txtLine6U_, txtLine6T_})
        e->setFixedWidth(fm.horizontalAdvance(QStringLiteral("TRACKING")) + frame);
    for (QLineEdit* e : {txtLine3_, txtLine4_, txtLine6U_, txtLine6T_})
        e->setAlignment(Qt::AlignCenter);
    pg->addWidget(txtLine1_, 0, 0);
    pg->addWidget(txtLine2_, 1, 0);
    pg->addWidget(txtLine3_, 0, 1);
    pg->addWidget(txtLine4_, 1, 1);
    pg->addWidget(txtLine6U_, 0, 2);
    pg->addWidget(txtLine6T_, 1, 2);
    pg->setColumnStretch(0, 1);
    v->addWidget(panelArea_);

    // Connect indicator, upload buttons and the handshake line boxes.
    auto* row = new QHBoxLayout;
    imgConnected_ = new QLabel(central);
    imgConnected_->setObjectName("imgConnected");
    imgConnected_->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(20, 20));
    imgNotConnected_ = new QLabel(central);
    imgNotConnected_->setObjectName("imgNotConnected");
    imgNotConnected_->setPixmap(style()->standardIcon(QStyle::SP_DialogCancelButton).pixmap(20, 20));
    for (auto* img : {imgConnected_, imgNotConnected_}) {
        img->setToolTip("Toggles Port");
        img->setCursor(Qt::PointingHandCursor);
        img->installEventFilter(this);
        row->addWidget(img);
    }
    const struct {
        QPushButton** target;
        const char* name;
        const char* caption;
    } buttons[] = {
        {&cmdStart_, "cmdStart", "Start"},
        {&cmdErase_, "cmdErase", "Erase"},
        {&cmdUpload_, "cmdUpload", "Upload"},
        {&cmdAUpload_, "cmdAUpload", "Auto Upload"},
        {&Command5_, "Command5", "S9"},
    };
    for (const auto& b : buttons) {
        *b.target = new QPushButton(b.caption, central);
        (*b.target)->setObjectName(b.name);
        (*b.target)->installEventFilter(this);
        row->addWidget(*b.target);
    }
    Command5_->setToolTip("Restart the DVB or PCU bootloader");
    connect(cmdStart_, &QPushButton::clicked, this, [this] {
        upload_->cmdStart_Click();
        refresh();
    });
    connect(cmdErase_, &QPushButton::clicked, this, [this] {
        upload_->cmdErase_Click();
        refresh();
    });
    connect(cmdUpload_, &QPushButton::clicked, this, [this] {
        upload_->mnuUpload_Click();
        refresh();
    });
    connect(cmdAUpload_, &QPushButton::clicked, this, [this] {
        autoUpload_->cmdAUpload_Click();
        refresh();
    });
    connect(Command5_, &QPushButton::clicked, this, [this] {
        upload_->Command5_Click();
        refresh();
    });
    row->addStretch(1);

    auto* hsBox = new QWidget(central);
    hsBox->setObjectName("fraHandshake");
    auto* hl = new QHBoxLayout(hsBox);
    hl->setContentsMargins(0, 0, 0, 0);
    const char* names[] = {"chkDTR", "chkRTS", "chkCTS", "chkDSR", "chkDCD"};
    const char* captions[] = {"DTR", "RTS", "CTS", "DSR", "DCD"};
    for (int i = 0; i < 5; ++i) {
        auto* c = new QCheckBox(captions[i], hsBox);
        c->setObjectName(names[i]);
        c->installEventFilter(this);
        hs_[size_t(i)] = c;
        hl->addWidget(c);
    }
    lblOnOff_ = new QLabel("(On/Off)", hsBox);
    lblOnOff_->setObjectName("lblOnOff");
    lblOnOff_->hide();
    hl->addWidget(lblOnOff_);
    connect(hs_[0], &QCheckBox::clicked, this, [this](bool on) {
        term_->chkDTR_Click(on);
        refresh();
    });
    connect(hs_[1], &QCheckBox::clicked, this, [this](bool on) {
        term_->chkRTS_Click(on);
        refresh();
    });
    // The input lines cannot be set from here: a click puts the box back as the port says.
    for (int i = 2; i < 5; ++i)
        connect(hs_[size_t(i)], &QCheckBox::clicked, this, [this] { refresh(); });
    row->addWidget(hsBox);
    // Covers the line boxes while the link is TCP/IP.
    fraHSBlock_ = new QFrame(hsBox);
    fraHSBlock_->setObjectName("fraHSBlock");
    fraHSBlock_->setAutoFillBackground(true);
    fraHSBlock_->hide();
    v->addLayout(row);

    txtTerm_ = new QPlainTextEdit(central);
    txtTerm_->setObjectName("txtTerm");
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(10);
    txtTerm_->setFont(mono);
    txtTerm_->setReadOnly(true); // keys go to the link; the screen shows what comes back
    txtTerm_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtTerm_->setStyleSheet("QPlainTextEdit { color: blue; }");
    txtTerm_->setUndoRedoEnabled(false);
    txtTerm_->installEventFilter(this);
    v->addWidget(txtTerm_, 1);
    setCentralWidget(central);

    auto* sb = statusBar();
    sb->setObjectName("sbrStatus");
    const char* keys[] = {"Status", "Settings", "ConnectTime", "Device"};
    const char* tips[] = {"Communications Port Status", "Communications Port Settings", "Connect Time",
                          "The device the serial port maps to"};
    for (int i = 0; i < 4; ++i)
        sbr_[size_t(i)] = addStatusPanel(sb, QString("sbrStatus_%1").arg(keys[i]), tips[i], i == 1 ? 1 : 0);
    setMinimumWidth(twips(kMinWidthTwips));
}

void frmTerminal::buildToolbar()
{
    tbrToolBar_ = addToolBar("Tools");
    tbrToolBar_->setObjectName("tbrToolBar");
    tbrToolBar_->setMovable(false);
    tbrToolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const struct {
        const char* key;
        const char* caption;
        const char* tip;
    } defs[] = {
        {"OpenLogFile", "Open Log", "Open Log File..."},
        {"CloseLogFile", "Close Log", "Close Log File"},
        {"Properties", "Properties", "Properties..."},
        {"SendGPS", "GPS", "Send GPS Data, click twice"},
        {"SendHDG", "HDG", "Send Heading Data"},
        {"ClearScreen", "Clear", "Clear Screen"},
        {"CheckSum", "Vantor On", "Vantor Comms On"},
        {"ChkOff", "Vantor Off", "Vantor Comms Off"},
        {"Status", "Status", "Module Status"},
        {"ModVer", "Version", "Module Version"},
    };
    for (const auto& d : defs) {
        // Groups: log, properties, NMEA, screen, Vantor communications, module queries.
        for (const char* first : {"Properties", "SendGPS", "ClearScreen", "CheckSum", "Status"})
            if (std::string(d.key) == first)
                tbrToolBar_->addSeparator();
        auto* a = tbrToolBar_->addAction(d.caption);
        a->setObjectName(d.key);
        a->setToolTip(d.tip);
    }
    auto act = [this](const char* key) { return tbrToolBar_->findChild<QAction*>(key); };
    connect(act("Properties"), &QAction::triggered, this, &frmTerminal::mnuProp_Click);
    connect(act("ClearScreen"), &QAction::triggered, this, [this] {
        term_->ClearScreen();
        refresh();
    });
    connect(act("CheckSum"), &QAction::triggered, this, [this] { commands_->Run(term::ModuleCommand::VantorCommsOn); });
    connect(act("ChkOff"), &QAction::triggered, this, [this] { commands_->Run(term::ModuleCommand::VantorCommsOff); });
    connect(act("Status"), &QAction::triggered, this, [this] {
        paths_->QueryModuleStatus();
        refresh();
    });
    connect(act("ModVer"), &QAction::triggered, this, [this] {
        paths_->QueryModuleVersion();
        refresh();
    });
    connect(act("SendGPS"), &QAction::triggered, this, [this] {
        nmea_->SendGPS();
        refresh();
    });
    connect(act("SendHDG"), &QAction::triggered, this, [this] {
        nmea_->SendHDG();
        refresh();
    });
    connect(act("OpenLogFile"), &QAction::triggered, this, &frmTerminal::mnuStartLog_Click);
    connect(act("CloseLogFile"), &QAction::triggered, this, [this] { log_->Stop(); });
    // Whatever would use, close, reopen or reconfigure the link waits while a long sequence runs.
    for (const char* key : {"SendGPS", "SendHDG", "OpenLogFile", "Properties"})
        sequenceActions_.push_back(act(key));
}

QMenu* frmTerminal::toolsMenu(const std::string& path)
{
    QMenu* menu = menuBar()->findChild<QMenu*>("mnuTools", Qt::FindDirectChildrenOnly);
    QStringList parts = QString::fromStdString(path).split('/');
    for (const QString& part : parts) {
        QMenu* found = nullptr;
        for (QAction* a : menu->actions())
            if (a->menu() && a->menu()->title() == part)
                found = a->menu();
        if (!found)
            found = menu->addMenu(part);
        menu = found;
    }
    return menu;
}

void frmTerminal::buildMenus()
{
    auto* file = menuBar()->addMenu("&File");
    mnuStartLog_ = file->addAction("&Start Log File...");
    mnuStartLog_->setObjectName("mnuStartLog");
    connect(mnuStartLog_, &QAction::triggered, this, &frmTerminal::mnuStartLog_Click);
    mnuStopLog_ = file->addAction("S&top Log File");
    mnuStopLog_->setObjectName("mnuStopLog");
    connect(mnuStopLog_, &QAction::triggered, this, [this] { log_->Stop(); });
    file->addSeparator();
    auto* send = file->addAction("Send &Text File");
    send->setObjectName("mnuSendText");
    connect(send, &QAction::triggered, this, &frmTerminal::mnuSendText_Click);
    auto* upload = file->addAction("Parameter Upload   (Send mod Text @ 80ms)");
    upload->setObjectName("mnuParamUpload");
    connect(upload, &QAction::triggered, this, &frmTerminal::mnuParamUpload_Click);
    mnuLoop_ = file->addAction("Loop Send Text File");
    mnuLoop_->setObjectName("mnuLoop");
    mnuLoop_->setCheckable(true);
    connect(mnuLoop_, &QAction::triggered, this, [this] {
        sender_->toggleLoop();
        refresh();
    });
    auto* s19 = file->addAction("&Upload S19 File...");
    s19->setObjectName("mnuUploadS19");
    connect(s19, &QAction::triggered, this, [this] {
        upload_->mnuSendHex_Click();
        refresh();
    });
    manualUploadActions_.push_back(s19);
    sequenceActions_.insert(sequenceActions_.end(), {send, upload, mnuStartLog_});
    auto* clear = file->addAction("Clear &Screen");
    clear->setObjectName("mnuClear");
    connect(clear, &QAction::triggered, this, [this] {
        term_->ClearScreen();
        refresh();
    });
    file->addSeparator();
    auto* exit = file->addAction("E&xit");
    exit->setObjectName("mnuExit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    auto* comm = menuBar()->addMenu("&CommPort");
    comm->setObjectName("mnuCommPort");
    mnuOpen_ = comm->addAction("Port &Open");
    mnuOpen_->setObjectName("mnuOpen");
    mnuOpen_->setCheckable(true);
    connect(mnuOpen_, &QAction::triggered, this, [this] {
        term_->mnuOpen_Click();
        refresh();
    });
    sequenceActions_.push_back(mnuOpen_);
    auto* pace = comm->addMenu("&Pacing   (Send Text Only)");
    pace->setObjectName("mnuPacing");
    for (size_t i = 0; i < term::kPacingChoices.size(); ++i) {
        const int ms = term::kPacingChoices[i];
        auto* a = pace->addAction(QString("%1 ms").arg(ms));
        a->setObjectName(QString("mnuPace_%1").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, ms] {
            sender_->choosePacing(ms);
            refresh();
        });
        mnuPace_[i] = a;
        sequenceActions_.push_back(a);
    }
    mnuHex_ = comm->addAction("&Hex Data Display");
    mnuHex_->setObjectName("mnuHex");
    mnuHex_->setCheckable(true);
    connect(mnuHex_, &QAction::triggered, this, [this] {
        term_->mnuHex_Click();
        refresh();
    });
    sequenceActions_.push_back(mnuHex_);
    // The module list, grouped.
    int group = -1;
    for (const auto& row : term::modulePathTable()) {
        if (row.group != group) {
            comm->addSeparator();
            group = row.group;
        }
        auto* a = comm->addAction(QString::fromLatin1(row.caption));
        a->setObjectName(row.menu);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, p = row.path] {
            paths_->Select(p, true);
            refresh();
        });
        pathActions_.emplace_back(row.path, a);
        sequenceActions_.push_back(a);
    }
    comm->addSeparator();
    auto* prop = comm->addAction("Properties...");
    prop->setObjectName("mnuProp");
    connect(prop, &QAction::triggered, this, &frmTerminal::mnuProp_Click);
    sequenceActions_.push_back(prop);

    auto* tools = menuBar()->addMenu("&Tools");
    tools->setObjectName("mnuTools");
    for (const auto& row : term::moduleCommandTable()) {
        auto* a = toolsMenu(row.submenu)->addAction(QString::fromLatin1(row.caption));
        a->setObjectName(row.menu);
        connect(a, &QAction::triggered, this, [this, id = row.id] {
            commands_->Run(id);
            refresh();
        });
        if (row.id == term::ModuleCommand::ACUParamDump)
            acuDumpActions_.push_back(a);
        else
            sequenceActions_.push_back(a);
    }
    auto* pcuReset = toolsMenu("PCU Tools")->addAction(QString::fromLatin1(term::kPcuResetCaption));
    pcuReset->setObjectName(term::kPcuResetMenu);
    connect(pcuReset, &QAction::triggered, this, [this] {
        commands_->PCUReset();
        refresh();
    });
    sequenceActions_.push_back(pcuReset);
    buildDumpMenus(tools);
    int n = 0;
    for (const auto& e : term::kSaveResetMenu) {
        auto* a = toolsMenu(e.menu)->addAction(QString::fromLatin1(e.caption));
        a->setObjectName(QString("mnuSaveReset_%1").arg(n++));
        connect(a, &QAction::triggered, this, [this, run = e.run] {
            ((*saveReset_).*run)();
            refresh();
        });
        sequenceActions_.push_back(a);
        if (std::string(e.menu) == "Manual Program Upload Tools")
            mnuAcuResetManual_ = a;
    }
    auto* manual = toolsMenu("Manual Program Upload Tools");
    const struct {
        const char* name;
        const char* caption;
        std::function<void()> run;
    } manualEntries[] = {
        {"mnuStartProg", "Start Progamming Sequence", [this] { upload_->cmdStart_Click(); }},
        {"mnuErase", "Erase", [this] { upload_->cmdErase_Click(); }},
        {"mnuBulk", "Bulk Erase", [this] { upload_->mnuBulk_Click(); }},
        {"mnuUpload", "Upload S19 File", [this] { upload_->mnuUpload_Click(); }},
    };
    for (const auto& m : manualEntries) {
        auto* a = manual->addAction(m.caption);
        a->setObjectName(m.name);
        connect(a, &QAction::triggered, this, [this, run = m.run] {
            run();
            refresh();
        });
        manualUploadActions_.push_back(a);
    }
    mnuRemUpload_ = manual->addAction("Remote Upload / Lock Ports");
    mnuRemUpload_->setObjectName("mnuRem");
    mnuRemUpload_->setEnabled(false);
    connect(mnuRemUpload_, &QAction::triggered, this, [this] {
        upload_->mnuRem_Click();
        refresh();
    });
    auto* vantor = toolsMenu("Vantor Tools");
    auto* gps = vantor->addAction("Send GPS Data");
    gps->setObjectName("mnuSendGPS");
    connect(gps, &QAction::triggered, this, [this] {
        nmea_->SendGPS();
        refresh();
    });
    auto* hdg = vantor->addAction("Send HDG Data");
    hdg->setObjectName("mnuSendHDG");
    connect(hdg, &QAction::triggered, this, [this] {
        nmea_->SendHDG();
        refresh();
    });
    auto* hdgReset = vantor->addAction("Reset HDG Range null, 1, 10, 100");
    hdgReset->setObjectName("mnuResetHDG");
    connect(hdgReset, &QAction::triggered, this, [this] { nmea_->ResetHdgRange(); });
    sequenceActions_.insert(sequenceActions_.end(), {gps, hdg});
    auto* modem = toolsMenu("Modem Tools");
    mnuExpert_ = modem->addAction("Expert Mode");
    mnuExpert_->setObjectName("mnuExpert");
    mnuExpert_->setCheckable(true);
    connect(mnuExpert_, &QAction::triggered, this, [this] {
        paths_->ExpertMode_Click();
        refresh();
    });
    mnuModemTune_ = modem->addAction("Modem Tune");
    mnuModemTune_->setObjectName("mnuModemTune");
    connect(mnuModemTune_, &QAction::triggered, this, [this] {
        if (paths_->ModemTune_Click())
            showCancelWindow("Modem Tune", "Modem Tune\rPress Cancel to END", [this] { paths_->ModemTuneCancel(); });
        refresh();
    });

    tools->addSeparator();
    mnuFindTav_ = tools->addAction("Find Local and Remote TAVs (UDP Broadcast)");
    mnuFindTav_->setObjectName("mnuFindTav");
    mnuFindTav_->setCheckable(true);
    connect(mnuFindTav_, &QAction::triggered, this, &frmTerminal::mnuFindTav_Click);

    auto* help = menuBar()->addMenu("&Help");
    auto* korrinHelp = help->addAction("&Korrin Help");
    korrinHelp->setObjectName("mnuHelp");
    korrinHelp->setShortcut(QKeySequence(Qt::Key_F1));
    korrinHelp->setShortcutContext(Qt::ApplicationShortcut);
    connect(korrinHelp, &QAction::triggered, this, [] { openHelpPage("korrin.html"); });
    auto* instr = help->addAction("&Instructions");
    instr->setObjectName("mnuInstructions");
    connect(instr, &QAction::triggered, this, [this] { paths_->Instructions(); });
    auto* about = help->addAction("&About");
    about->setObjectName("mnuAbout");
    connect(about, &QAction::triggered, this, &frmTerminal::mnuAbout_Click);
}

void frmTerminal::mnuFindTav_Click()
{
    mnuFindTav_->setChecked(true);
    if (findTav_) {
        findTav_->raise();
        findTav_->activateWindow();
        return;
    }
    FindTavSetup setup = findTavSetup;
    setup.store = &store_;
    if (setup.defaultAddress.isEmpty() || setup.defaultAddress == QString::fromLatin1(common::kPanelFindAddress))
        setup.defaultAddress = QString::fromLatin1(common::kTerminalFindAddress);
    setup.configurePort = [this] { mnuProp_Click(); };
    if (!setup.openHelp)
        setup.openHelp = [](const QString& page) { openHelpPage(page); };
    if (setup.messageTitle.isEmpty())
        setup.messageTitle = windowTitle();
    findTav_ = new frmFindTAV(std::move(setup), this);
    // The window deletes itself when closed; the entry is unticked then.
    connect(findTav_, &QObject::destroyed, mnuFindTav_, [this] {
        findTav_ = nullptr;
        mnuFindTav_->setChecked(false);
    });
    findTav_->setConfigureEnabled(!term_->sequenceRunning());
    findTav_->show();
}

std::string frmTerminal::chooseSaveFile(const std::string& title, const std::string& filter,
                                        const std::string& defaultName)
{
    if (fileHook)
        return fileHook(true, title, filter);
    return QFileDialog::getSaveFileName(this, QString::fromStdString(title), QString::fromStdString(defaultName),
                                        dialogFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite)
        .toStdString();
}

void frmTerminal::buildDumpMenus(QMenu* tools)
{
    // The full dumps head the Tools menu; they run on every path (on the PCU's own paths they
    // end after the PCU section).
    QAction* first = tools->actions().value(0);
    for (const term::DumpMenuEntry* e : {&term::kDumpAll, &term::kDumpLegacy}) {
        auto* a = new QAction(QString::fromLatin1(e->caption), tools);
        a->setObjectName(e->menu);
        tools->insertAction(first, a);
        connect(a, &QAction::triggered, this, [this, e] {
            dump_->FullDump(*e);
            refresh();
        });
        sequenceActions_.push_back(a);
    }
    tools->insertSeparator(first);
    // The PCU's own: disabled, with "ACU Param Dump", on the paths straight to the PCU.
    QMenu* pcu = toolsMenu("PCU Tools");
    auto* section = pcu->addAction(QString::fromLatin1(term::kPcuDumpCaption));
    section->setObjectName(term::kPcuDumpMenu);
    connect(section, &QAction::triggered, this, [this] {
        dump_->mnuPcuParamDump_Click();
        refresh();
    });
    auto* listing = pcu->addAction(QString::fromLatin1(term::kPcuListingCaption));
    listing->setObjectName(term::kPcuListingMenu);
    connect(listing, &QAction::triggered, this, [this] {
        dump_->mnuPcuListing_Click();
        refresh();
    });
    pcuDumpActions_ = {section, listing};
}

void frmTerminal::showDumpWindow(bool show)
{
    if (!show) {
        if (dumpWindow_)
            dumpWindow_->hide();
        return;
    }
    if (!dumpWindow_) {
        // Kept above the terminal, but not modal: received text and the keyboard keep working.
        dumpWindow_ = new QWidget(this, Qt::Tool | Qt::WindowStaysOnTopHint);
        dumpWindow_->setObjectName("frmPleaseWait");
        dumpWindow_->setWindowTitle(term::kDumpProgressCaption);
        auto* l = new QVBoxLayout(dumpWindow_);
        auto* text = new QLabel(term::kDumpProgressText, dumpWindow_);
        text->setObjectName("lblPleaseWait");
        l->addWidget(text);
        dumpBar_ = new QProgressBar(dumpWindow_);
        dumpBar_->setObjectName("ProgressBar1");
        dumpBar_->setRange(0, term::kDumpProgressMax);
        l->addWidget(dumpBar_);
        auto* b = new QPushButton("Cancel", dumpWindow_);
        b->setObjectName("cmdDumpCancel");
        connect(b, &QPushButton::clicked, this, [this] { dump_->cancel(); });
        l->addWidget(b);
    }
    dumpBar_->setValue(0);
    dumpWindow_->adjustSize();
    dumpWindow_->move(geometry().topLeft() + QPoint(twips(50), twips(50)));
    dumpWindow_->show();
    dumpWindow_->raise();
}

std::string frmTerminal::chooseFile(bool save, const std::string& title, const std::string& filter)
{
    if (fileHook)
        return fileHook(save, title, filter);
    // The replace question is asked by the caller in the system's own words.
    const QString f = save ? QFileDialog::getSaveFileName(this, QString::fromStdString(title), QString(),
                                                          dialogFilter(filter), nullptr,
                                                          QFileDialog::DontConfirmOverwrite)
                           : QFileDialog::getOpenFileName(this, QString::fromStdString(title), QString(),
                                                          dialogFilter(filter));
    return f.toStdString();
}

void frmTerminal::mnuStartLog_Click()
{
    // Cancel at the replace question ends the command, as a cancelled file choice does.
    const std::string path = chooseFile(true, term::kLogDialogTitle, term::kLogFilter);
    if (!path.empty())
        log_->Start(path);
    refresh();
}

void frmTerminal::mnuSendText_Click()
{
    // A file that does not exist is reported and the dialog opens again.
    for (int tries = 0; tries < 100; ++tries) {
        const std::string path = chooseFile(false, term::kSendTextDialogTitle, term::kSendTextFilter);
        if (path.empty())
            return;
        if (sender_->SendTextFile(path) != term::TextSender::Result::NotFound)
            break;
    }
    refresh();
}

void frmTerminal::mnuParamUpload_Click()
{
    for (int tries = 0; tries < 100; ++tries) {
        const std::string path = chooseFile(false, term::kSendTextDialogTitle, term::kSendTextFilter);
        if (path.empty())
            return;
        if (sender_->ParameterUpload(path) != term::TextSender::Result::NotFound)
            break;
    }
    refresh();
}

void frmTerminal::showCancelWindow(const std::string& caption, const std::string& text, std::function<void()> onCancel)
{
    if (!cancelWindow_) {
        // Kept above the terminal, but not modal: the terminal stays usable while it shows.
        cancelWindow_ = new QWidget(this, Qt::Tool | Qt::WindowStaysOnTopHint);
        cancelWindow_->setObjectName("frmCancelSend");
        auto* l = new QVBoxLayout(cancelWindow_);
        cancelText_ = new QLabel(cancelWindow_);
        cancelText_->setObjectName("lblCancelText");
        l->addWidget(cancelText_);
        auto* b = new QPushButton("Cancel", cancelWindow_);
        b->setObjectName("cmdCancel");
        connect(b, &QPushButton::clicked, this, [this] {
            if (cancelAction_)
                cancelAction_();
        });
        l->addWidget(b);
    }
    cancelAction_ = std::move(onCancel);
    cancelWindow_->setWindowTitle(latin1(caption));
    cancelText_->setText(boxText(text));
    cancelWindow_->adjustSize();
    cancelWindow_->move(geometry().topLeft() + QPoint(twips(30), twips(30)));
    cancelWindow_->show();
    cancelWindow_->raise();
}

void frmTerminal::hideCancelWindow()
{
    if (cancelWindow_)
        cancelWindow_->hide();
    cancelAction_ = nullptr;
}

void frmTerminal::applyMenuState()
{
    const auto& m = paths_->menus();
    for (auto& [path, a] : pathActions_)
        a->setChecked(path == m.checked);
    const bool busy = term_->sequenceRunning();
    for (QAction* a : sequenceActions_)
        a->setEnabled(!busy);
    if (mnuAcuResetManual_)
        mnuAcuResetManual_->setEnabled(m.acuResetEnabled && !busy);
    mnuRemUpload_->setEnabled(m.remoteUploadEnabled);
    for (QAction* a : acuDumpActions_)
        a->setEnabled(m.acuParamDumpEnabled && !busy);
    for (QAction* a : pcuDumpActions_)
        a->setEnabled(m.pcuParamDumpEnabled && !busy);
    lblOnOff_->setVisible(m.onOffLabelVisible);
    for (auto* b : {cmdStart_, cmdErase_, cmdUpload_}) {
        b->setVisible(m.manualButtonsVisible);
        b->setEnabled(m.manualButtonsEnabled && !busy);
    }
    Command5_->setEnabled(term_->linkOpen() && !busy);
    for (QAction* a : manualUploadActions_)
        a->setEnabled(term_->linkOpen() && !busy);
    cmdAUpload_->setEnabled(m.cmdAUploadEnabled && !busy);
    for (const char* key : {"SendGPS", "SendHDG", "Status", "ModVer"})
        if (auto* a = tbrToolBar_->findChild<QAction*>(key))
            a->setEnabled(m.linkToolsEnabled && !busy);
    for (const char* key : {"CheckSum", "ChkOff"})
        if (auto* a = tbrToolBar_->findChild<QAction*>(key))
            a->setEnabled(m.vantorCommsEnabled && !busy);
    // DTR powers some modules and resets others: the line boxes wait too.
    hs_[0]->setEnabled(!busy);
    hs_[1]->setEnabled(!busy);
    if (findTav_)
        findTav_->setConfigureEnabled(!busy);
    mnuExpert_->setChecked(m.expertMode);
    mnuModemTune_->setEnabled(m.expertMode && !m.modemTuneRunning && !busy);
    mnuLoop_->setChecked(sender_->loop());
    mnuStartLog_->setEnabled(log_->canStart() && !busy);
    mnuStopLog_->setEnabled(log_->canStop());
    // The toolbar's log buttons follow the log as the File menu entries do.
    if (auto* a = tbrToolBar_->findChild<QAction*>("OpenLogFile"))
        a->setEnabled(log_->canStart() && !busy);
    if (auto* a = tbrToolBar_->findChild<QAction*>("CloseLogFile"))
        a->setEnabled(log_->canStop());
    setWindowTitle(QString::fromStdString(log_->caption()));
}

void frmTerminal::Form_Load() { load(nullptr); }

void frmTerminal::Form_LoadWith(const common::Endpoint& endpoint) { load(&endpoint); }

void frmTerminal::load(const common::Endpoint* endpoint)
{
    // Settings of the single profile; a value the serial layer rejects stops the start-up.
    common::TerminalProfile p;
    p.load(store_);
    // 8600 twips wide, or wider when the toolbar needs it to show every button.
    const int toolbarWidth = tbrToolBar_->sizeHint().width() + 2 * tbrToolBar_->contentsMargins().left();
    resize(std::max(twips(kWindowWidthTwips), toolbarWidth), height());
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    show();

    std::string error;
    if (!term::LoadSettings(*term_, p, store_, endpoint, error)) {
        message(error, "", Buttons::Ok, Icon::Exclamation);
        refresh();
        return;
    }
    paths_->Restore();
    sender_->choosePacing(term::kStartupPacingMs);
    term_->CalibrateMSwait();
    term_->mnuOpen_Click();
    refresh();
}

frmTerminal::Answer frmTerminal::message(const std::string& text, const std::string& title, Buttons b, Icon i)
{
    return ask(text, title, b, i, b == Buttons::YesNo || b == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok);
}

frmTerminal::Answer frmTerminal::ask(const std::string& text, const std::string& title, Buttons b, Icon i,
                                     Answer defaultButton)
{
    if (messageHook)
        return messageHook(text, title, b, i);
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (b) {
    case Buttons::Ok: buttons = QMessageBox::Ok; break;
    case Buttons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case Buttons::RetryCancel: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
    }
    QMessageBox::StandardButton standard = QMessageBox::NoButton;
    switch (defaultButton) {
    case Answer::Ok: standard = QMessageBox::Ok; break;
    case Answer::Cancel: standard = QMessageBox::Cancel; break;
    case Answer::Yes: standard = QMessageBox::Yes; break;
    case Answer::No: standard = QMessageBox::No; break;
    case Answer::Retry: standard = QMessageBox::Retry; break;
    }
    if (!buttons.testFlag(standard))
        standard = QMessageBox::NoButton;
    switch (showMessageBox(this, title.empty() ? windowTitle() : latin1(title), text,
                           i == Icon::Exclamation ? QMessageBox::Warning
                           : i == Icon::Question  ? QMessageBox::Question
                           : i == Icon::Critical  ? QMessageBox::Critical
                                                  : QMessageBox::Information,
                           buttons, standard)) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    default: return Answer::Ok;
    }
}

void frmTerminal::renderScreen()
{
    const auto& screen = term_->screen;
    const std::string& text = screen.text();
    // Only what came since the last render is added, unless the screen was trimmed or cleared.
    const std::uint64_t total = screen.total();
    const std::uint64_t onScreenFrom = total - text.size();
    auto display = [this](const std::string& s) {
        // CR LF, and a CR alone, end a line on this screen. Very long lines are broken for the
        // view (every kViewLine characters, and after "<0A>" in a hex display): laying out one
        // huge line is what makes a text view slow, and the screen model keeps the text as is.
        constexpr int kViewLine = 128;
        QString out;
        out.reserve(qsizetype(s.size() + s.size() / kViewLine + 8));
        for (unsigned char c : s) {
            if (c == '\n') {
                if (!shownEndsInCr_) {
                    out += QLatin1Char('\n');
                    viewColumn_ = 0;
                }
                shownEndsInCr_ = false;
                continue;
            }
            shownEndsInCr_ = false;
            if (c == '\r') {
                out += QLatin1Char('\n');
                viewColumn_ = 0;
                shownEndsInCr_ = true;
                continue;
            }
            out += QChar(c);
            ++viewColumn_;
            hexTail_ = (hexTail_ << 8) | c;
            if (viewColumn_ >= kViewLine || (c == '>' && hexTail_ == 0x3C30413Eu)) { // "<0A>"
                out += QLatin1Char('\n');
                viewColumn_ = 0;
            }
        }
        return out;
    };
    // Cleared or trimmed: the screen no longer starts where the view does, so it is redrawn whole.
    if (onScreenFrom != shownFrom_ || shownTotal_ < onScreenFrom || shownTotal_ > total) {
        shownEndsInCr_ = false;
        viewColumn_ = 0;
        txtTerm_->setPlainText(display(text));
    } else if (shownTotal_ < total) {
        QTextCursor c(txtTerm_->document());
        c.movePosition(QTextCursor::End);
        c.insertText(display(text.substr(size_t(shownTotal_ - onScreenFrom))));
    }
    shownTotal_ = total;
    shownFrom_ = onScreenFrom;
    txtTerm_->moveCursor(QTextCursor::End);
    txtTerm_->verticalScrollBar()->setValue(txtTerm_->verticalScrollBar()->maximum());
}

void frmTerminal::refresh()
{
    // Laying out the screen text is the costly part of showing received text (a hex display is
    // one long line); it is done at most every 40 ms, so a fast stream never starves the link.
    if (!renderTimer_) {
        renderTimer_ = new QTimer(this);
        renderTimer_->setSingleShot(true);
        renderTimer_->setInterval(40);
        connect(renderTimer_, &QTimer::timeout, this, &frmTerminal::renderScreen);
    }
    if (!renderTimer_->isActive())
        renderTimer_->start();
    const auto& f = term_->fields;
    txtLine1_->setText(latin1(f.line1));
    txtLine2_->setText(latin1(f.line2));
    txtLine3_->setText(latin1(f.line3));
    txtLine4_->setText(latin1(f.line4));
    txtLine6U_->setText(latin1(f.line6U));
    txtLine6T_->setText(latin1(f.line6T));
    const bool open = term_->linkOpen();
    imgConnected_->setVisible(open);
    imgNotConnected_->setVisible(!open);
    mnuOpen_->setChecked(open);
    mnuHex_->setChecked(term_->hexDisplay);
    for (size_t i = 0; i < term::kPacingChoices.size(); ++i)
        mnuPace_[i]->setChecked(sender_->checkedPacing() == term::kPacingChoices[i]);
    sbr_[0]->setText(latin1(term_->statusText));
    sbr_[1]->setText(latin1(term_->settingsText));
    // The device the serial port number maps to, so the mapping is never a guess.
    sbr_[1]->setToolTip(term_->serial && !term_->devicePath.empty()
                            ? QString("Communications Port Settings\nDevice: %1").arg(latin1(term_->devicePath))
                            : QString("Communications Port Settings"));
    sbr_[2]->setText(latin1(term_->connectTimeText));
    // The device itself (a pinned adapter's stable name included), shown for serial links only.
    const bool device = term_->serial && !term_->devicePath.empty();
    sbr_[3]->setText(device ? latin1(term_->devicePath) : QString());
    sbr_[3]->setVisible(device);
    hs_[0]->setChecked(term_->dtr());
    hs_[1]->setChecked(term_->rts());
    // The input lines as the port reports them (cleared while closed or unknown).
    common::Link::ModemLines lines;
    if (open && term_->serial && term_->link())
        lines = term_->link()->modemLines();
    hs_[2]->setChecked(lines.known && lines.cts);
    hs_[3]->setChecked(lines.known && lines.dsr);
    hs_[4]->setChecked(lines.known && lines.dcd);
    fraHSBlock_->setVisible(!term_->serial);
    fraHSBlock_->setGeometry(fraHSBlock_->parentWidget()->rect());
    fraHSBlock_->raise();
    applyMenuState();
    LayoutTerminal();
}

void frmTerminal::LayoutTerminal()
{
    // The panel strip takes nOffset twips above the screen on the panel paths (above 800).
    if (height() <= twips(1800) || width() <= twips(2400))
        return;
    const bool panel = term_->nOffset > 800;
    panelArea_->setVisible(panel);
    if (panel)
        panelArea_->setFixedHeight(twips(term_->nOffset - 800));
}

void frmTerminal::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    LayoutTerminal();
}

void frmTerminal::mnuProp_Click()
{
    // Its OK closes and reopens the link: not under a running sequence (the toolbar, the menu
    // and Find TAVs' "Configure Port" are disabled then; this is the last word).
    if (term_->sequenceRunning())
        return;
    // The properties dialog of the terminal comes with its own window class.
    if (onProperties)
        onProperties();
}

void frmTerminal::mnuAbout_Click()
{
    QMessageBox::information(this, "About",
                             QString("Programming Terminal Version %1\n         Build 22.Feb.2011")
                                 .arg(QStringLiteral(PROGRAM_VERSION_TEXT)));
}

bool frmTerminal::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease && (o == imgConnected_ || o == imgNotConnected_)) {
        term_->mnuOpen_Click();
        refresh();
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        const bool keyTarget = o == txtTerm_ || o == cmdStart_ || o == cmdErase_ || o == cmdUpload_
                               || o == cmdAUpload_ || o == Command5_ || o == hs_[0] || o == hs_[1];
        if (keyTarget) {
            auto* k = static_cast<QKeyEvent*>(e);
            int code = -1;
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)
                code = 13;
            else if (!k->text().isEmpty() && k->text().at(0).unicode() < 256)
                code = k->text().at(0).unicode();
            if (code < 0)
                return false; // navigation keys scroll the screen
            if (o != txtTerm_)
                txtTerm_->setFocus();
            if (!term_->KeyPress(code))
                return false; // copying keys are the text box's
            refresh();
            return true;
        }
    }
    return QMainWindow::eventFilter(o, e);
}

void frmTerminal::closeEvent(QCloseEvent* e)
{
    // A running sequence is asked to stop; the window closes once it has returned.
    if (term_->sequenceRunning()) {
        sender_->cancel();
        paths_->ModemTuneCancel();
        term_->abortFlag = term::kAbortCancelled;
        e->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    if (term_->linkOpen())
        term_->mnuOpen_Click();
    if (onClosing)
        onClosing();
    log_->Stop();
    hideCancelWindow();
    e->accept();
}
