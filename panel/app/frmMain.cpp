#include "frmMain.h"

#include "GraphView.h"
#include "frmCapture.h"
#include "frmComDiag.h"
#include "frmLOS.h"
#include "Lamp.h"
#include "frmMsg.h"
#include "frmProperties.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QStyle>
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

// The progress window as one job drives it: its bar's maximum and what its Cancel does. The
// dump and the upload share the one window.
class frmMain::Progress : public panel::DumpProgress {
public:
    Progress(frmMain& w, int maximum, std::function<void()> cancel)
        : w_(w), maximum_(maximum), cancel_(std::move(cancel))
    {
    }
    void show(const std::string& caption) override
    {
        if (!w_.msg_)
            w_.msg_ = new frmMsg(&w_);
        w_.msg_->onCancel = cancel_;
        w_.msg_->showWith(caption, maximum_);
    }
    void progress(int value) override
    {
        if (w_.msg_)
            w_.msg_->setValue(value);
    }
    void caption(const std::string& text) override
    {
        if (w_.msg_)
            w_.msg_->setCaption(text);
    }
    void hide() override
    {
        if (w_.msg_)
            w_.msg_->hide();
    }

private:
    frmMain& w_;
    int maximum_;
    std::function<void()> cancel_;
};

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
    graphs_ = std::make_unique<panel::PanelGraphs>(shared_, main_, *core_, *this);
    graph().setSurface(&surface_);
    buildPanel();
    buildMenus();
    buildGraphMenus();
    progress_ = std::make_unique<Progress>(*this, panel::kDumpReplies, [this] { paramDump().cancel(); });
    paramDump().setProgress(progress_.get());
    uploadProgress_ = std::make_unique<Progress>(*this, panel::kUploadBarMaximum, [this] { paramUpload().cancel(); });
    paramUpload().setProgress(uploadProgress_.get());
    buildToolMenus();
    graph().changed = [this] { graphChanged(); };
    graph().onDiagStopCleared = [this] {
        if (diag_)
            diag_->refresh();
    };
    // On the first expansion the diagnostics window moves to our right edge.
    graph().onFirstExpand = [this] {
        if (diag_)
            diag_->move(frameGeometry().right() + 1, y());
    };
    dataFiles().captionsChanged = [this] {
        graphChanged();
        if (captureWin_)
            captureWin_->setLogCaption(QString::fromLatin1(dataFiles().logCaption()));
    };
    graph().redraw();
    refreshGraph();

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

frmMain::~frmMain()
{
    // The dump and the files report to this window while they close.
    paramDump().setProgress(nullptr);
    graphs_->upload.setProgress(nullptr);
}

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
    cmdGRAPH_ = new QToolButton(central);
    cmdGRAPH_->setObjectName("cmdGRAPH");
    cmdGRAPH_->setIconSize(QSize(24, 24));
    connect(cmdGRAPH_, &QToolButton::clicked, this, [this] { graph().cmdGRAPH_Click(); });
    row->addWidget(cmdGRAPH_, 0, Qt::AlignBottom);
    outer->addLayout(row);
    graphArea_ = buildGraph(central);
    outer->addWidget(graphArea_);
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
    file->setObjectName("mnuFile");
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

QWidget* frmMain::buildGraph(QWidget* parent)
{
    auto* area = new QWidget(parent);
    area->setObjectName("fraGraph");
    auto* v = new QVBoxLayout(area);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(4);

    auto* top = new QHBoxLayout;
    auto* modeBox = new QVBoxLayout;
    modeBox->setSpacing(1);
    for (int i = 0; i < 5; ++i) {
        label2_[size_t(i)] = new QLabel(area);
        label2_[size_t(i)]->setObjectName(QString("Label2_%1").arg(i));
    }
    for (int i = 0; i < 5; ++i) {
        auto* c = new QComboBox(area);
        c->setObjectName(QString("Combo1_%1").arg(i));
        c->setFocusPolicy(Qt::ClickFocus);
        const auto& sel = graph().controls.Combo1[size_t(i)];
        for (const auto& item : sel.items)
            c->addItem(latin1(item));
        // activated: also when the item shown is chosen again ("Re-Select to Center Trace").
        connect(c, &QComboBox::activated, this, [this, i](int index) {
            auto& sel = graph().controls.Combo1[size_t(i)];
            sel.listIndex = index;
            if (index >= 0 && size_t(index) < sel.items.size())
                sel.text = sel.items[size_t(index)];
            graph().Combo1_Click(i);
        });
        combo_[size_t(i)] = c;
    }
    modeBox->addWidget(label2_[0]);
    modeBox->addWidget(combo_[4]);
    top->addLayout(modeBox);
    const struct {
        const char* name;
        const char* caption;
        void (panel::GraphModel::*click)();
    } buttons[] = {
        {"cmdClear", panel::kClearCaption, &panel::GraphModel::cmdClear_Click},
        {"cmdRedraw", panel::kRedrawCaption, &panel::GraphModel::cmdRedraw_Click},
        {"cmdOffset", panel::kOffsetCaption, &panel::GraphModel::cmdOffset_Click},
    };
    for (const auto& b : buttons) {
        auto* btn = new QPushButton(b.caption, area);
        btn->setObjectName(b.name);
        btn->setFocusPolicy(Qt::NoFocus);
        connect(btn, &QPushButton::clicked, this, [this, click = b.click] { (graph().*click)(); });
        if (std::string(b.name) == "cmdOffset") {
            btn->setToolTip(panel::kOffsetTip);
            btn->installEventFilter(this); // the right button's release undoes the last Center All
        }
        top->addWidget(btn, 0, Qt::AlignBottom);
    }
    buildCaptureControls(area, top);
    txtNotes_ = new QLineEdit(latin1(dataFiles().txtNotes), area);
    txtNotes_->setObjectName("txtNotes");
    connect(txtNotes_, &QLineEdit::textChanged, this,
            [this](const QString& t) { dataFiles().txtNotes = t.toLatin1().toStdString(); });
    top->addWidget(txtNotes_, 1, Qt::AlignBottom);
    v->addLayout(top);

    // The trace selectors, their scales and the home-line markers beside the traces.
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    auto* strip = new QWidget(area);
    strip->setObjectName("fraTraces");
    const int stripWidth = std::max(QFontMetrics(font()).horizontalAdvance("2 Deg /Sec /Div ") + 24, 120);
    strip->setFixedSize(stripWidth, 480);
    const int homeY[] = {70, 150, 230, 300};
    for (int t = 0; t < 4; ++t) {
        auto* c = combo_[size_t(t)];
        c->setParent(strip);
        c->setGeometry(2, homeY[t] - 30, stripWidth - 26, 24);
        auto* l = label2_[size_t(t + 1)];
        l->setParent(strip);
        l->setGeometry(2, homeY[t] + 2, stripWidth - 4, 34);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        auto* line = new QFrame(strip);
        line->setObjectName(QString("Line1_%1").arg(t));
        line->setFrameShape(QFrame::HLine);
        line->setGeometry(stripWidth - 22, homeY[t] - 1, 22, 3);
        line->setStyleSheet("QFrame { color: #d00; background: #d00; }");
        line1_[size_t(t)] = line;
    }
    body->addWidget(strip);
    picture_ = new GraphView(surface_, area);
    picture_->doubleClicked = [this] { graph().Picture1_DblClick(); };
    picture_->rightClicked = [this](const QPoint& at) {
        if (graph().xyMenuOnRightClick())
            mnuTool2_->popup(at);
    };
    graph().focusPicture = [this] {
        if (isVisible() && picture_->isEnabled())
            picture_->setFocus();
    };
    body->addWidget(picture_);
    body->addStretch(1);
    v->addLayout(body);
    return area;
}

void frmMain::buildGraphMenus()
{
    auto* file = menuBar()->findChild<QMenu*>("mnuFile");
    mnuLog_ = new QAction("Start Data &Log", this);
    mnuLog_->setObjectName("mnuLog");
    connect(mnuLog_, &QAction::triggered, this, [this] { dataFiles().mnuLog_Click(); });
    mnuSaveScreen_ = new QAction("Save Screen &Data", this);
    mnuSaveScreen_->setObjectName("mnuSaveScreen");
    connect(mnuSaveScreen_, &QAction::triggered, this, [this] { dataFiles().mnuSaveScreen_Click(); });
    QAction* first = file->actions().value(0);
    file->insertAction(first, mnuLog_);
    file->insertAction(first, mnuSaveScreen_);
    file->insertSeparator(first);

    auto* graphMenu = new QMenu("&Graph", this);
    graphMenu->setObjectName("mnuGraphs");
    menuBar()->insertMenu(menuBar()->findChild<QMenu*>("mnuStat")->menuAction(), graphMenu);
    for (int m = 0; m < panel::kGraphModes; ++m) {
        auto* a = graphMenu->addAction(panel::kGraphMenu[size_t(m)].caption);
        a->setObjectName(panel::kGraphMenu[size_t(m)].name);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, m] { graph().mnuGraph_Click(m); });
        mnuGraph_[size_t(m)] = a;
    }
    graphMenu->addSeparator();
    mnuPanel_ = graphMenu->addAction(panel::kPanelOnlyCaption);
    mnuPanel_->setObjectName("mnuPanel");
    mnuPanel_->setCheckable(true);
    // "Panel Only" collapses the graph area; chosen while collapsed it shows the graph again.
    connect(mnuPanel_, &QAction::triggered, this, [this] { graph().cmdGRAPH_Click(); });

    mnuTool2_ = new QMenu(panel::kXYMenuCaption, this);
    mnuTool2_->setObjectName("mnuTool2");
    void (panel::GraphModel::*const xy[])() = {
        &panel::GraphModel::mnuDSCenter_Click, &panel::GraphModel::mnuDS3D_Click,
        &panel::GraphModel::mnuDSPhase_Click,  &panel::GraphModel::mnuDSRight_Click,
        &panel::GraphModel::mnuDSLeft_Click,   &panel::GraphModel::mnuDSUp_Click,
        &panel::GraphModel::mnuDSDown_Click,
    };
    for (size_t i = 0; i < panel::kXYMenu.size(); ++i) {
        auto* a = mnuTool2_->addAction(panel::kXYMenu[i].caption);
        a->setObjectName(panel::kXYMenu[i].name);
        if (i < 3) {
            a->setCheckable(true);
            xyChecks_[i] = a;
        }
        connect(a, &QAction::triggered, this, [this, f = xy[i]] { (graph().*f)(); });
    }

    auto* tools = menuBar()->findChild<QMenu*>("mnuTools");
    mnuDiag_ = new QAction("&Comm Diagnostics", this);
    mnuDiag_->setObjectName("mnuDiag");
    mnuDiag_->setCheckable(true);
    connect(mnuDiag_, &QAction::triggered, this, &frmMain::mnuDiag_Click);
    tools->insertAction(tools->actions().value(0), mnuDiag_);
    mnuLOS_ = new QAction("&LOS Pointing", this);
    mnuLOS_->setObjectName("mnuLOS");
    mnuLOS_->setCheckable(true);
    connect(mnuLOS_, &QAction::triggered, this, &frmMain::mnuLOS_Click);
    tools->insertAction(tools->actions().value(0), mnuLOS_);
    mnuParamDump_ = new QAction("Parameter Dump (mA999, nA999, [?)", this);
    mnuParamDump_->setObjectName("mnuParamDump");
    connect(mnuParamDump_, &QAction::triggered, this, [this] { paramDump().mnuParamDump_Click(); });
    tools->insertAction(tools->actions().value(0), mnuParamDump_);
}

void frmMain::graphChanged()
{
    refreshGraph();
    picture_->update();
}

void frmMain::refreshGraph()
{
    auto& c = graph().controls;
    for (int i = 0; i < 5; ++i) {
        auto* box = combo_[size_t(i)];
        const auto& sel = c.Combo1[size_t(i)];
        if (box->currentIndex() != sel.listIndex)
            box->setCurrentIndex(sel.listIndex);
        box->setVisible(sel.visible);
        const QString tip = latin1(i == 4 ? sel.tooltip : std::string(panel::kTraceSelectorTip));
        if (box->toolTip() != tip)
            box->setToolTip(tip);
        auto* l = label2_[size_t(i)];
        const QString text = latin1(c.Label2[size_t(i)].text);
        if (l->text() != text)
            l->setText(text);
        l->setVisible(c.Label2[size_t(i)].visible);
    }
    for (int i = 0; i < 4; ++i)
        line1_[size_t(i)]->setVisible(c.Line1Visible[size_t(i)]);
    picture_->setToolTip(latin1(c.Picture1Tip));
    for (int m = 0; m < panel::kGraphModes; ++m)
        mnuGraph_[size_t(m)]->setChecked(c.menuChecked[size_t(m)]);
    mnuPanel_->setChecked(c.mnuPanelChecked);
    xyChecks_[0]->setChecked(c.autoCenter);
    xyChecks_[1]->setChecked(c.threeAxis);
    xyChecks_[2]->setChecked(c.showPhase);
    cmdGRAPH_->setToolTip(latin1(c.cmdGRAPHTip));
    cmdGRAPH_->setIcon(style()->standardIcon(c.cmdGRAPHImage == panel::GraphButtonImage::Expand
                                                 ? QStyle::SP_ArrowDown
                                                 : QStyle::SP_ArrowUp));
    statusBar()->setVisible(c.statusBarShown);
    const bool shown = graph().graphShown();
    if (graphArea_->isVisible() != shown || !graphShownBefore_) {
        graphShownBefore_ = true;
        graphArea_->setVisible(shown);
        // The window takes the height its content needs: the panel alone, or panel and graph.
        if (centralWidget())
            centralWidget()->adjustSize();
        adjustSize();
    }
    mnuLog_->setText(dataFiles().logOpen() ? panel::kCloseDataLog : "Start Data &Log");
    const QString caption = latin1(capture_ && capture().loaded() ? capture().windowCaption()
                                                                  : dataFiles().windowCaption());
    if (windowTitle() != caption)
        setWindowTitle(caption);
}

void frmMain::dumpFileClosed(bool) { graphChanged(); }

void frmMain::diagnosticsReply(const std::string& line)
{
    if (diag_)
        diag_->showResponse(line);
}

void frmMain::mnuLOS_Click()
{
    if (!los_) {
        los_ = new frmLOS(shared_, this);
        los_->setWindowFlag(Qt::Tool);
        los_->setProperty("toolWindow", true);
        connect(los_, &frmLOS::closed, this, [this] { mnuLOS_->setChecked(false); });
    }
    mnuLOS_->setChecked(true);
    los_->show();
    los_->raise();
}

void frmMain::mnuDiag_Click()
{
    if (!diag_) {
        diag_ = new frmComDiag(shared_, main_, clock_, this);
        diag_->setWindowFlag(Qt::Tool);
        diag_->setProperty("toolWindow", true);
        connect(diag_, &frmComDiag::closed, this, [this] {
            mnuDiag_->setChecked(false);
            refresh();
        });
        // At the main window's right edge when the graph is shown; else where the desktop puts it.
        if (graph().controls.windowHeight > 5000)
            diag_->move(frameGeometry().right() + 1, y());
    }
    mnuDiag_->setChecked(true);
    diag_->refresh();
    diag_->show();
    diag_->raise();
}

std::optional<std::string> frmMain::saveFileDialog(const std::string& filter, const std::string& fileName)
{
    if (saveDialogHook)
        return saveDialogHook(filter, fileName);
    // The replace question is asked by the caller in the system's own words.
    const QString f = QFileDialog::getSaveFileName(this, "Save As", latin1(fileName), dialogFilter(filter), nullptr,
                                                   QFileDialog::DontConfirmOverwrite);
    if (f.isEmpty())
        return std::nullopt;
    return f.toStdString();
}

bool frmMain::askYesNo(const std::string& question)
{
    if (questionHook)
        return questionHook(question);
    return showMessageBox(this, "TAV Remote Panel", question, QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void frmMain::showError(const std::string& text) { message(text, "", Buttons::Ok, Icon::Exclamation); }

void frmMain::showMessage(const std::string& text) { message(text, "", Buttons::Ok, Icon::Information); }

void frmMain::Form_Load()
{
    move(0, 0);
    show();
    mnuDiag_Click(); // the diagnostics window opens with the panel
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

    if (diag_)
        diag_->refresh();
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
                                 .arg(QStringLiteral(PROGRAM_VERSION_TEXT)));
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
    // A log being written is closed (a dump running into it ends as cancelled): nothing
    // written is lost.
    dataFiles().shutdown();
    paramUpload().abort();
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
    if (e->type() == QEvent::MouseButtonRelease && o->objectName() == "cmdOffset") {
        if (static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
            graph().cmdOffset_RightUp();
            return true;
        }
        return false;
    }
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
