#include "frmMain.h"

#include "Lamp.h"
#include "frmProperties.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
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
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

// Message texts use CR as the line break, as the equipment's own texts do.
QString boxText(const std::string& s)
{
    QString t = latin1(s);
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}
} // namespace

void openHelpPage(const QString& page)
{
    // Installed pages first, then the pages beside a build tree.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList dirs = {appDir + "/../share/tessaro/html", QStringLiteral(TESSARO_HELP_DIR),
                              QStringLiteral(TESSARO_SOURCE_HELP_DIR)};
    for (const QString& d : dirs) {
        const QFileInfo f(d + "/" + page);
        if (f.exists()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(f.canonicalFilePath()));
            return;
        }
    }
}

frmMain::frmMain(common::Clock& clock, common::SettingsStore& store, panel::PanelLink::LinkFactory makeLink,
                 QWidget* parent)
    : QMainWindow(parent), clock_(clock), store_(store)
{
    setObjectName("frmMain");
    setWindowTitle("TAV Remote Panel");
    link_ = std::make_unique<panel::PanelLink>(shared_, main_, clock_, *this, std::move(makeLink), &store_);
    buildPanel();
    buildMenus();
}

frmMain::~frmMain() = default;

void frmMain::buildPanel()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(10, 10, 10, 6);
    outer->setSpacing(8);

    // The ACU's four display lines.
    auto* display = new QGroupBox(central);
    display->setObjectName("fraDisplay");
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
        t->setReadOnly(true);
        t->setFrame(false);
        t->setToolTip("Enter value to set or Space to toggle");
        t->setStyleSheet("QLineEdit { background: #10281a; color: #7dff9a; padding: 1px 6px; }");
        t->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(22, QLatin1Char('M'))));
        text5_[size_t(i)] = t;
        dl->addWidget(t);
    }
    display->setStyleSheet("QGroupBox#fraDisplay { background: #10281a; border: 2px solid #3a3a3a; border-radius: 4px; }");
    outer->addWidget(display);

    // Antenna choice and the Port Status lamp.
    auto* row = new QHBoxLayout;
    auto* antennas = new QGroupBox("Antenna", central);
    antennas->setObjectName("fraAntenna");
    auto* al = new QHBoxLayout(antennas);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(antennas);
        b->setObjectName(QString("optAntenna_%1").arg(i));
        connect(b, &QRadioButton::clicked, this, [this, i] { link_->optAntenna_Click(i); });
        optAntenna_[size_t(i)] = b;
        al->addWidget(b);
    }
    row->addWidget(antennas, 1);

    auto* lamps = new QGroupBox(central);
    lamps->setObjectName("fraLamps");
    auto* ll = new QHBoxLayout(lamps);
    portLamp_ = new LampWidget(lamps);
    portLamp_->setObjectName("Shape1_7");
    portLamp_->setToolTip("Click to open or close the port");
    lblPortStatus_ = new QLabel("Port Status", lamps);
    lblPortStatus_->setObjectName("Label1_7");
    lblPortStatus_->setToolTip("Click to open or close the port");
    lblPortStatus_->setCursor(Qt::PointingHandCursor);
    lblPortStatus_->installEventFilter(this);
    connect(portLamp_, &LampWidget::clicked, this, [this] { link_->mnuOpen_Click(); });
    ll->addWidget(portLamp_);
    ll->addWidget(lblPortStatus_);
    row->addWidget(lamps);
    outer->addLayout(row);
    outer->addStretch(1);
    setCentralWidget(central);

    auto* sb = statusBar();
    sb->setObjectName("StatusBar1");
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(sb);
        l->setObjectName(QString("StatusBar1_Panel%1").arg(i + 1));
        l->setFrameShape(QFrame::StyledPanel);
        l->setContentsMargins(4, 0, 4, 0);
        statusPanels_[size_t(i)] = l;
        sb->addWidget(l, i == 2 ? 1 : 0);
    }
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
    connect(mnuOpen_, &QAction::triggered, this, [this] { link_->mnuOpen_Click(); });
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
        connect(a, &QAction::triggered, this, [this, ms = times[i]] { link_->setReplyTimeout(ms); });
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
        connect(a, &QAction::triggered, this, [this, ms = paces[i]] { link_->setPacing(ms); });
        mnuPace_[size_t(i)] = a;
    }
    comm->addSeparator();
    mnuDVB_ = comm->addAction("LBand DVB / SCPC receiver mode");
    mnuDVB_->setObjectName("mnuDVB");
    mnuDVB_->setCheckable(true);
    connect(mnuDVB_, &QAction::triggered, this, [this] { link_->setReceiverMode70(false); });
    mnu70M_ = comm->addAction("70 / 140 MHz SCPC receiver mode");
    mnu70M_->setObjectName("mnu70M");
    mnu70M_->setCheckable(true);
    connect(mnu70M_, &QAction::triggered, this, [this] { link_->setReceiverMode70(true); });

    auto* view = menuBar()->addMenu("&View");
    mnuQuery_ = view->addAction("Show Query in Status Bar");
    mnuQuery_->setObjectName("mnuQuery");
    mnuQuery_->setCheckable(true);
    connect(mnuQuery_, &QAction::triggered, this, [this] { link_->setShowQuery(!main_.showQuery); });
    auto* active = view->addAction("Bring Active Tools to Front");
    active->setObjectName("mnuActive");
    connect(active, &QAction::triggered, this, &frmMain::mnuActive_Click);

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
    link_->Startup();
}

frmMain::Answer frmMain::message(const std::string& text, const std::string& title, Buttons b, Icon i)
{
    if (messageHook)
        return messageHook(text, title, b, i);
    QMessageBox box(this);
    box.setWindowTitle(title.empty() ? QString("TAV Remote Panel") : latin1(title));
    box.setText(boxText(text));
    box.setIcon(i == Icon::Exclamation ? QMessageBox::Warning
                : i == Icon::Question  ? QMessageBox::Question
                                       : QMessageBox::Information);
    box.setStandardButtons(b == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Cancel ? Answer::Cancel : Answer::Ok;
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
    portLamp_->setLamp(main_.lamps[panel::kPortLamp]);
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
}

void frmMain::mnuProp_Click()
{
    frmProperties dlg(*this, this);
    dlg.exec();
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
        link_->timer1().setEnabled(false);
        link_->timer2().setEnabled(false);
        link_->timer3().setEnabled(false);
    } else {
        link_->Shutdown();
    }
    e->accept();
}

bool frmMain::eventFilter(QObject* o, QEvent* e)
{
    // Clicking the "Port Status" label opens or closes the port, as the menu entry does.
    if (o == lblPortStatus_ && e->type() == QEvent::MouseButtonRelease) {
        link_->mnuOpen_Click();
        return true;
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
