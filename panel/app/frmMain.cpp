#include "frmMain.h"

#include "Lamp.h"
#include "frmProperties.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

frmMain::frmMain(common::Clock& clock, common::SettingsStore& store, panel::PanelLink::LinkFactory makeLink,
                 QWidget* parent)
    : QMainWindow(parent), clock_(clock), store_(store)
{
    setObjectName("frmMain");
    setWindowTitle("TAV Remote Panel");
    scan_ = std::make_unique<panel::PatternScan>(shared_, main_, clock_);
    core_ = std::make_unique<panel::PanelCore>(shared_, main_, clock_, *this, std::move(makeLink), &store_, scan_.get());
    core_->front.changed = [this] { refresh(); };
    core_->front.onHelp = [] { openHelpPage("index.html"); };
    buildPanel();
    buildMenus();

    // Flashing lamps blink on this common beat.
    blink_ = new QTimer(this);
    blink_->setInterval(400);
    connect(blink_, &QTimer::timeout, this, [this] {
        blinkOn_ = !blinkOn_;
        for (auto* l : lamps_)
            l->setBlinkPhase(blinkOn_);
    });
    blink_->start();
}

frmMain::~frmMain() = default;

QMenu* frmMain::popup(const char* objectName) const { return findChild<QMenu*>(objectName); }

void frmMain::buildPanel()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(10, 10, 10, 6);
    outer->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(buildFrontPanel(central), 1);
    top->addWidget(buildIndicators(central));
    outer->addLayout(top);

    // Antenna choice and the external AGC.
    auto* row = new QHBoxLayout;
    auto* antennas = new QGroupBox("Antenna", central);
    antennas->setObjectName("fraAntenna");
    auto* al = new QHBoxLayout(antennas);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(antennas);
        b->setObjectName(QString("optAntenna_%1").arg(i));
        connect(b, &QRadioButton::clicked, this, [this, i] { core_->link.optAntenna_Click(i); });
        optAntenna_[size_t(i)] = b;
        al->addWidget(b);
    }
    row->addWidget(antennas, 1);
    auto* agcBox = new QGroupBox("Ext AGC", central);
    agcBox->setObjectName("fraEAgc");
    auto* agl = new QHBoxLayout(agcBox);
    txtEAgc_ = new QLineEdit(agcBox);
    txtEAgc_->setObjectName("txtEAgc");
    txtEAgc_->setReadOnly(true);
    txtEAgc_->setFocusPolicy(Qt::NoFocus);
    txtEAgc_->setAlignment(Qt::AlignRight);
    txtEAgc_->setFixedWidth(QFontMetrics(txtEAgc_->font()).horizontalAdvance("000000") + 16);
    agl->addWidget(txtEAgc_);
    row->addWidget(agcBox);
    outer->addLayout(row);
    outer->addStretch(1);
    setCentralWidget(central);

    auto* sb = statusBar();
    sb->setObjectName("StatusBar1");
    for (int i = 0; i < 3; ++i)
        statusPanels_[size_t(i)] =
            addStatusPanel(sb, QString("StatusBar1_Panel%1").arg(i + 1), {}, i == 2 ? 1 : 0);
}

QWidget* frmMain::buildFrontPanel(QWidget* parent)
{
    auto* panelBox = new QFrame(parent);
    panelBox->setObjectName("fraFrontPanel");
    panelBox->setFrameShape(QFrame::StyledPanel);
    panelBox->setStyleSheet("QFrame#fraFrontPanel { background: #2b2f33; border-radius: 6px; }"
                            "QPushButton, QToolButton { background: #d9dde1; color: #111; border: 1px solid #777;"
                            " border-radius: 4px; padding: 5px 10px; font-weight: bold; }"
                            "QPushButton:pressed, QToolButton:pressed { background: #a9b0b6; }");
    auto* v = new QVBoxLayout(panelBox);
    v->setContentsMargins(12, 12, 12, 12);
    v->setSpacing(10);

    // The ACU's four display lines.
    auto* display = new QFrame(panelBox);
    display->setObjectName("fraDisplay");
    display->setStyleSheet("QFrame#fraDisplay { background: #10281a; border: 2px solid #111; border-radius: 3px; }");
    auto* dl = new QVBoxLayout(display);
    dl->setSpacing(0);
    dl->setContentsMargins(6, 6, 6, 6);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(14);
    fixed.setBold(true);
    for (int i = 0; i < 4; ++i) {
        auto* t = new QLineEdit(display);
        t->setObjectName(QString("Text5_%1").arg(i));
        t->setFont(fixed);
        t->setReadOnly(true); // keys go to the entry field, not into the line
        t->setFrame(false);
        t->setToolTip("Enter value to set or Space to toggle");
        t->setStyleSheet("QLineEdit { background: #10281a; color: #7dff9a; padding: 1px 6px; }");
        t->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(21, QLatin1Char('M'))));
        t->installEventFilter(this);
        text5_[size_t(i)] = t;
        dl->addWidget(t);
    }
    v->addWidget(display);

    // Keys: the four families, the arrows and Tracking.
    auto* keys = new QHBoxLayout;
    keys->setSpacing(8);
    auto* families = new QGridLayout;
    families->setSpacing(6);
    const struct {
        const char* name;
        const char* caption;
        const char* tip;
    } keyDefs[] = {
        {"cmdSHIP", "SHIP", "Select SHIP Display"},
        {"cmdSAT", "SAT", "Select SATELLITE Display"},
        {"cmdANT", "ANTENNA", "Select ANTENNA Display"},
        {"cmdMODE", "MODE", "Right Click for ShortCut Menu"},
    };
    std::array<QPushButton*, 4> familyKeys{};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(keyDefs[i].caption, panelBox);
        b->setObjectName(keyDefs[i].name);
        b->setToolTip(keyDefs[i].tip);
        b->setMinimumWidth(86);
        b->setFocusPolicy(Qt::TabFocus);
        familyKeys[size_t(i)] = b;
        families->addWidget(b, i / 2, i % 2);
    }
    connect(familyKeys[0], &QPushButton::clicked, this, [this] { core_->front.cmdSHIP_Click(); });
    connect(familyKeys[1], &QPushButton::clicked, this, [this] { core_->front.cmdSAT_Click(); });
    connect(familyKeys[2], &QPushButton::clicked, this, [this] { core_->front.cmdANT_Click(); });
    connect(familyKeys[3], &QPushButton::clicked, this, [this] { core_->front.cmdMODE_Click(); });
    // Right clicks open the shortcut menus.
    for (int i : {1, 3}) {
        familyKeys[size_t(i)]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(familyKeys[size_t(i)], &QWidget::customContextMenuRequested, this, [this, i](const QPoint&) {
            if (i == 3) {
                core_->front.cmdMODE_Click();
                showPopup(mnuModeDisplay_);
            } else {
                if (main_.displayState < 32 || main_.displayState > 47)
                    core_->front.cmdSAT_Click();
                showPopup(mnuSatDisplay_);
            }
        });
    }
    keys->addLayout(families);

    auto* track = new QPushButton("Tracking", panelBox);
    track->setObjectName("cmdTrack");
    track->setToolTip("Click to toggle Tracking state");
    track->setFocusPolicy(Qt::TabFocus);
    connect(track, &QPushButton::clicked, this, [this] { core_->front.cmdTrack_Click(); });
    keys->addWidget(track, 0, Qt::AlignBottom);
    keys->addStretch(1);

    auto* arrows = new QGridLayout;
    arrows->setSpacing(2);
    const struct {
        Qt::ArrowType type;
        int row, col;
        const char* tip;
    } arrowDefs[] = {
        {Qt::UpArrow, 0, 1, "Elevation Motion / Mode Menu Navigation"},
        {Qt::DownArrow, 2, 1, "Elevation Motion / Mode Menu Navigation"},
        {Qt::LeftArrow, 1, 0, "Azimuth Motion"},
        {Qt::RightArrow, 1, 2, "Azimuth Motion"},
    };
    for (int i = 0; i < 4; ++i) {
        auto* a = new QToolButton(panelBox);
        a->setObjectName(QString("cmdArrow_%1").arg(i));
        a->setArrowType(arrowDefs[i].type);
        a->setToolTip(arrowDefs[i].tip);
        a->setFixedSize(34, 30);
        a->setFocusPolicy(Qt::NoFocus);
        connect(a, &QToolButton::pressed, this, [this, i] { core_->front.cmdArrow_MouseDown(i); });
        connect(a, &QToolButton::released, this, [this, i] { core_->front.cmdArrow_MouseUp(i); });
        arrows->addWidget(a, arrowDefs[i].row, arrowDefs[i].col);
    }
    keys->addLayout(arrows);
    v->addLayout(keys);
    return panelBox;
}

QWidget* frmMain::buildIndicators(QWidget* parent)
{
    auto* box = new QGroupBox(parent);
    box->setObjectName("fraIndicators");
    auto* v = new QVBoxLayout(box);
    v->setSpacing(4);
    for (const auto& def : panel::kIndicatorLabels) {
        auto* l = new QLabel(QString::fromLatin1(def.caption), box);
        l->setObjectName(QString("Label1_%1").arg(def.label));
        if (*def.tip)
            l->setToolTip(QString::fromLatin1(def.tip));
        l->setMinimumWidth(QFontMetrics(l->font()).horizontalAdvance("        Initializing") + 12);
        l->setMinimumHeight(22);
        l->installEventFilter(this);
        // The lamp is drawn over the label's left end, where the caption leaves blanks.
        auto* lamp = new LampWidget(l);
        lamp->setObjectName(QString("Shape1_%1").arg(def.lamp));
        lamp->move(2, 2);
        lamp->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (def.label == 0 || def.label == 4 || def.label == 5 || def.label == 7)
            l->setCursor(Qt::PointingHandCursor);
        labels_[size_t(def.label)] = l;
        lamps_[size_t(def.lamp)] = lamp;
        v->addWidget(l);
    }
    v->addStretch(1);
    return box;
}

void frmMain::buildMenus()
{
    auto* file = menuBar()->addMenu("&File");
    auto* setup = file->addAction("&Printer Setup");
    setup->setObjectName("mnuSetup");
    connect(setup, &QAction::triggered, this, &frmMain::mnuSetup_Click);
    file->addSeparator();
    auto* exit = file->addAction("&Exit");
    exit->setObjectName("mnuExit");
    connect(exit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    auto* comm = menuBar()->addMenu("&Comm Port");
    comm->setObjectName("mnuComm");
    mnuOpen_ = comm->addAction("Port &Open");
    mnuOpen_->setObjectName("mnuOpen");
    mnuOpen_->setCheckable(true);
    connect(mnuOpen_, &QAction::triggered, this, [this] { core_->link.mnuOpen_Click(); });
    auto* prop = comm->addAction("Properties");
    prop->setObjectName("mnuProp");
    connect(prop, &QAction::triggered, this, &frmMain::mnuProp_Click);
    comm->addSeparator();

    auto* timeout = comm->addMenu("Timeout");
    const int times[] = {1000, 2000, 3000};
    for (int i = 0; i < 3; ++i) {
        auto* a = timeout->addAction(QString("%1 ms").arg(times[i]));
        a->setObjectName(QString("mnuTime_%1").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, ms = times[i]] { core_->link.setReplyTimeout(ms); });
        mnuTime_[size_t(i)] = a;
    }
    auto* pace = comm->addMenu("Pacing");
    const int paces[] = {50, 100, 200, 500};
    const char* paceCaptions[] = {"50 ms    (2 Sec/Div)", "100 ms  (4 Sec/Div)", "200 ms  (8 Sec/Div)",
                                  "500 ms  (20 Sec/Div)"};
    for (int i = 0; i < 4; ++i) {
        auto* a = pace->addAction(paceCaptions[i]);
        a->setObjectName(QString("mnuPace_%1").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, ms = paces[i]] { core_->link.setPacing(ms); });
        mnuPace_[size_t(i)] = a;
    }
    comm->addSeparator();
    mnuDVB_ = comm->addAction("LBand DVB / SCPC receiver mode");
    mnuDVB_->setObjectName("mnuDVB");
    mnuDVB_->setCheckable(true);
    connect(mnuDVB_, &QAction::triggered, this, [this] { core_->link.setReceiverMode70(false); });
    mnu70M_ = comm->addAction("70 / 140 MHz SCPC receiver mode");
    mnu70M_->setObjectName("mnu70M");
    mnu70M_->setCheckable(true);
    connect(mnu70M_, &QAction::triggered, this, [this] { core_->link.setReceiverMode70(true); });

    auto* view = menuBar()->addMenu("&View");
    mnuQuery_ = view->addAction("Show Query in Status Bar");
    mnuQuery_->setObjectName("mnuQuery");
    mnuQuery_->setCheckable(true);
    connect(mnuQuery_, &QAction::triggered, this, [this] { core_->link.setShowQuery(!main_.showQuery); });
    auto* active = view->addAction("Bring Active Tools to Front");
    active->setObjectName("mnuActive");
    connect(active, &QAction::triggered, this, &frmMain::mnuActive_Click);

    auto* stat = menuBar()->addMenu("&Status");
    stat->setObjectName("mnuStat");
    auto* showA = stat->addAction("ACU Status Bits");
    showA->setObjectName("mnuShowA");
    connect(showA, &QAction::triggered, this, &frmMain::mnuShowA_Click);
    auto* showP = stat->addAction("PCU Status Bits");
    showP->setObjectName("mnuShowP");
    connect(showP, &QAction::triggered, this, &frmMain::mnuShowP_Click);
    auto* showE = stat->addAction("Error Status Bits");
    showE->setObjectName("mnuShowE");
    connect(showE, &QAction::triggered, this, &frmMain::mnuShowE_Click);
    stat->addSeparator();
    // The System Type and Polang Type bit fields: each entry toggles one bit in the ACU.
    mnuSysT_ = stat->addMenu("System Type");
    mnuSysT_->setObjectName("mnuSysT");
    mnuPolT_ = stat->addMenu("Polang Type");
    mnuPolT_->setObjectName("mnuPolT");
    for (int i = 0; i < 8; ++i) {
        auto* a = mnuSysT_->addAction(QString::fromLatin1(panel::kSystemTypeCaptions[size_t(i)]));
        a->setObjectName(QString("mnuSysT%1").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { core_->indicators.mnuSysT_Click(i); refresh(); });
        sysActions_[size_t(i)] = a;
        auto* b = mnuPolT_->addAction(QString::fromLatin1(panel::kPolangTypeCaptions[size_t(i)]));
        b->setObjectName(QString("mnuPolT%1").arg(i));
        b->setCheckable(true);
        connect(b, &QAction::triggered, this, [this, i] { core_->indicators.mnuPolT_Click(i); refresh(); });
        polActions_[size_t(i)] = b;
    }

    // Hidden pop-up menus.
    mnuDispA_ = new QMenu("Display ACU", this);
    mnuDispA_->setObjectName("mnuDispA");
    mnuDispP_ = new QMenu("Display PCU", this);
    mnuDispP_->setObjectName("mnuDispP");
    mnuDispE_ = new QMenu("Display Error", this);
    mnuDispE_->setObjectName("mnuDispE");

    mnuModeDisplay_ = new QMenu("Mode Display", this);
    mnuModeDisplay_->setObjectName("mnuModeDisplay");
    const struct {
        const char* caption;
        int state;
    } modeEntries[] = {
        {"ACU Version", 128}, {"PCU Version", 129}, {"DVB Version", -1}, {"MDM Version", -1},
        {"El Trim", 132}, {"Az Trim", 133}, {"Auto Threshold", 134}, {"El  Step Size", 135},
        {"Az Step Size", 136}, {"Step Integral", 137}, {"Search Increment", 138}, {"Search Limit", 139},
        {"Search Delay", 140}, {"Sweep Inc / IO Range", 141}, {"System Type", 143}, {"Gyro Type", 144},
        {"Polang Type", 145}, {"Pol Offset", 146}, {"Pol Scale", 147}, {"Tx Polarity", 148},
        {"Track Display", 150}, {"Az/El Limits", 151},
    };
    for (const auto& e : modeEntries) {
        auto* a = mnuModeDisplay_->addAction(e.caption);
        if (e.state < 0)
            continue; // listed without action
        if (e.state == 143)
            mnuSystemTypeEntry_ = a;
        connect(a, &QAction::triggered, this, [this, st = e.state] { core_->front.MenuSelect(st); });
    }
    mnuSatDisplay_ = new QMenu("Sat Display", this);
    mnuSatDisplay_->setObjectName("mnuSatDisplay");
    const struct {
        const char* caption;
        int state;
    } satEntries[] = {
        {"Satellite", 32}, {"Threshold", 33}, {"Freq / MHz", 34}, {"Baud / KHz", 35}, {"Tone", 36},
        {"Volt", 37}, {"FEC", 38}, {"Skew", 39}, {"NID", 40},
    };
    for (const auto& e : satEntries) {
        auto* a = mnuSatDisplay_->addAction(e.caption);
        connect(a, &QAction::triggered, this, [this, st = e.state] { core_->front.MenuSelect(st); });
    }

    auto* tools = menuBar()->findChild<QMenu*>("mnuTools");
    if (!tools) {
        tools = menuBar()->addMenu("&Tools");
        tools->setObjectName("mnuTools");
    }
    mnuFindTav_ = tools->addAction("Find Local and Remote TAVs (UDP Broadcast)");
    mnuFindTav_->setObjectName("mnuFindTav");
    mnuFindTav_->setCheckable(true);
    connect(mnuFindTav_, &QAction::triggered, this, &frmMain::mnuFindTav_Click);

    auto* help = menuBar()->addMenu("&Help");
    auto* vh = help->addAction("&Velmar Help");
    vh->setObjectName("mnuHelp");
    connect(vh, &QAction::triggered, this, [] { openHelpPage("index.html"); });
    auto* about = help->addAction("&About");
    about->setObjectName("mnuAbout");
    connect(about, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::Form_Load()
{
    move(0, 0);
    show();
    core_->link.Startup();
}

frmMain::Answer frmMain::message(const std::string& text, const std::string& title, Buttons b, Icon i)
{
    if (messageHook)
        return messageHook(text, title, b, i);
    const int answer = showMessageBox(
        this, title.empty() ? QString("TAV Remote Panel") : latin1(title), text,
        i == Icon::Exclamation ? QMessageBox::Warning
        : i == Icon::Question  ? QMessageBox::Question
                               : QMessageBox::Information,
        b == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return answer == QMessageBox::Cancel ? Answer::Cancel : Answer::Ok;
}

void frmMain::selectAntennaButton(int index)
{
    if (index < 0 || index > 3)
        return;
    const QSignalBlocker block(optAntenna_[size_t(index)]);
    optAntenna_[size_t(index)]->setChecked(true);
}

void frmMain::refresh()
{
    for (int i = 0; i < 4; ++i) {
        const QString t = latin1(main_.text5[size_t(i)]);
        if (text5_[size_t(i)]->text() != t)
            text5_[size_t(i)]->setText(t);
        const auto& p = shared_.profiles[i + 1];
        optAntenna_[size_t(i)]->setText(QString::fromStdString(p.caption));
        optAntenna_[size_t(i)]->setEnabled(p.enabled);
    }
    for (int i = 0; i < 8; ++i)
        lamps_[size_t(i)]->setLamp(main_.lamps[size_t(i)], i < 7 && main_.lampFlashing[size_t(i)]);
    labels_[3]->setText(latin1(main_.initCaption));

    // The external AGC; its background shows modem lock while System Type has "Ext Modem Lock".
    txtEAgc_->setText(latin1(main_.eAgcText));
    const bool lockShown = panel::bit(shared_.slot('N'), 1);
    txtEAgc_->setStyleSheet(!lockShown          ? QString()
                            : main_.modemLocked ? QString("QLineEdit { background: #7dff9a; }")
                                                : QString("QLineEdit { background: #ff8080; }"));
    txtEAgc_->setProperty("modemLocked", lockShown && main_.modemLocked);

    for (int i = 0; i < 3; ++i)
        statusPanels_[size_t(i)]->setText(latin1(main_.status[size_t(i)]));
    statusPanels_[2]->setVisible(main_.showQuery);
    mnuOpen_->setChecked(shared_.open);
    const int times[] = {1000, 2000, 3000};
    for (int i = 0; i < 3; ++i)
        mnuTime_[size_t(i)]->setChecked(main_.timeoutMs == times[i]);
    const int paces[] = {50, 100, 200, 500};
    for (int i = 0; i < 4; ++i)
        mnuPace_[size_t(i)]->setChecked(main_.pacingMs == paces[i]);
    mnuDVB_->setChecked(!main_.mode70);
    mnu70M_->setChecked(main_.mode70);
    mnuQuery_->setChecked(main_.showQuery);
    for (int i = 0; i < 8; ++i) {
        sysActions_[size_t(i)]->setChecked(core_->indicators.sysChecked()[size_t(i)]);
        polActions_[size_t(i)]->setChecked(core_->indicators.polChecked()[size_t(i)]);
    }
    // Until the ACU has reported a value its bits cannot be toggled (open MODE to read them).
    mnuSysT_->setEnabled(core_->indicators.sysKnown());
    mnuPolT_->setEnabled(core_->indicators.polKnown());
    if (mnuSystemTypeEntry_)
        mnuSystemTypeEntry_->setText(latin1(main_.systemTypeCaption));
}

void frmMain::fillBitMenu(QMenu* menu, const std::vector<panel::BitMenuEntry>& entries)
{
    menu->clear();
    for (const auto& e : entries) {
        if (e.separator()) {
            menu->addSeparator();
            continue;
        }
        auto* a = menu->addAction(QString::fromLatin1(e.caption.c_str()));
        if (e.caption == "Reset Error Bits") {
            a->setObjectName("mnuResetE");
            connect(a, &QAction::triggered, this, [this] { core_->indicators.mnuResetE_Click(); });
            continue;
        }
        a->setCheckable(true);
        a->setChecked(e.checked);
        // The entries only show the bits; clicking one changes nothing.
        connect(a, &QAction::triggered, a, [a, on = e.checked] { a->setChecked(on); });
    }
}

void frmMain::showPopup(QMenu* menu)
{
    // Not modal: received replies and timers keep running while the menu is open.
    menu->popup(QCursor::pos());
}

void frmMain::mnuShowA_Click()
{
    fillBitMenu(mnuDispA_, core_->indicators.DisplayACU());
    showPopup(mnuDispA_);
}

void frmMain::mnuShowP_Click()
{
    fillBitMenu(mnuDispP_, core_->indicators.DisplayPCU());
    showPopup(mnuDispP_);
}

void frmMain::mnuShowE_Click()
{
    fillBitMenu(mnuDispE_, core_->indicators.DisplayError());
    showPopup(mnuDispE_);
}

void frmMain::Label1_Click(int index)
{
    // Until the start-up timer's first tick the lamps are not set up: wait for it.
    const common::Ms kStartupTickWait{10000};
    if (!clock_.waitUntil([this] { return !main_.timer1Tag.empty(); }, kStartupTickWait))
        return;
    switch (index) {
    case 0: core_->front.cmdTrack_Click(); break;
    case 4: mnuShowE_Click(); break;
    case 5: core_->link.mnuOpen_Click(); break;
    case 7: core_->indicators.CirclexToggle(); break;
    default: break;
    }
    refresh();
}

void frmMain::mnuProp_Click()
{
    frmProperties dlg(*this, this);
    dlg.exec();
}

void frmMain::mnuFindTav_Click()
{
    mnuFindTav_->setChecked(true);
    if (findTav_) {
        findTav_->raise();
        findTav_->activateWindow();
        return;
    }
    FindTavSetup setup = findTavSetup;
    setup.configurePort = [this] { mnuProp_Click(); };
    if (!setup.openHelp)
        setup.openHelp = [](const QString& page) { openHelpPage(page); };
    if (setup.messageTitle.isEmpty())
        setup.messageTitle = "TAV Remote Panel";
    findTav_ = new frmFindTAV(std::move(setup), this);
    // The window unloads itself when closed; the entry is unticked then. (The entry is the
    // connection's context: when the main window goes, the entry may go before the window.)
    connect(findTav_, &QObject::destroyed, mnuFindTav_, [entry = mnuFindTav_] { entry->setChecked(false); });
    findTav_->show();
}

void frmMain::mnuAbout_Click()
{
    QMessageBox::information(this, "About",
                             QString("TAV Remote Panel Interface    \nVersion %1\nBuild 22.February.2011 ")
                                 .arg(QStringLiteral(PROGRAM_VERSION)));
}

void frmMain::mnuActive_Click()
{
    // Tool windows register here as they are built; each one whose menu entry is ticked is raised.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && w->property("toolWindow").toBool()) {
            w->raise();
            w->activateWindow();
        }
    }
}

void frmMain::mnuSetup_Click()
{
    QPrinter printer;
    printer.setCopyCount(copies_);
    QPrintDialog dlg(&printer, this);
    dlg.setWindowTitle("Printer Setup");
    if (dlg.exec() == QDialog::Accepted)
        copies_ = printer.copyCount();
}

void frmMain::mnuExit_Click()
{
    // Exit ends the program at once, without saving the view settings.
    exiting_ = true;
    close();
}

void frmMain::closeEvent(QCloseEvent* e)
{
    if (exiting_) {
        core_->link.timer1().setEnabled(false);
        core_->link.timer2().setEnabled(false);
        core_->link.timer3().setEnabled(false);
    } else {
        core_->link.Shutdown();
    }
    e->accept();
}

bool frmMain::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < int(labels_.size()); ++i) {
            if (labels_[size_t(i)] && o == labels_[size_t(i)]) {
                if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
                    Label1_Click(i);
                return true;
            }
        }
    }
    if (e->type() == QEvent::KeyPress) {
        for (auto* t : text5_) {
            if (o != t)
                continue;
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_F1) {
                openHelpPage("index.html");
                return true;
            }
            int code = -1;
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)
                code = panel::FrontPanel::kEnter;
            else if (k->key() == Qt::Key_Backspace)
                code = panel::FrontPanel::kBackspace;
            else if (!k->text().isEmpty()) {
                const QChar c = k->text().at(0);
                if (c.unicode() >= 32 && c.unicode() < 256)
                    code = c.unicode();
            }
            if (code < 0)
                return false; // navigation keys keep working
            core_->front.Text5_KeyPress(code);
            refresh();
            return true; // the line shows what the panel's state says, not raw typing
        }
    }
    return QMainWindow::eventFilter(o, e);
}

void frmMain::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F1) {
        openHelpPage("index.html");
        e->accept();
        return;
    }
    QMainWindow::keyPressEvent(e);
}
