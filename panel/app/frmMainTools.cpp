// The main window's service tools: the graph's colours, Print Screen, the parameter upload.
#include "frmMain.h"

#include "GraphView.h"
#include "frmBurn.h"
#include "frmCapture.h"
#include "frmComDiag.h"
#include "frmN7.h"
#include "frmScan.h"

#include "panel/graphs/CaptureReplay.h"
#include "panel/graphs/ColorSettings.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QBoxLayout>
#include <QPushButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

QColor toQColor(panel::Rgb c) { return QColor(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)); }

panel::Rgb fromQColor(const QColor& c)
{
    return panel::Rgb(c.red()) << 16 | panel::Rgb(c.green()) << 8 | panel::Rgb(c.blue());
}

// The window's back colour while it prints.
const QColor kPrintBackColor(192, 192, 176);

} // namespace

void frmMain::buildToolMenus()
{
    auto* file = menuBar()->findChild<QMenu*>("mnuFile");
    // Capture replay, after the data log's entries.
    mnuLoadDataLog_ = new QAction("L&oad Data Log", this);
    mnuLoadDataLog_->setObjectName("mnuLoadDataLog");
    connect(mnuLoadDataLog_, &QAction::triggered, this, [this] { capture().mnuLoadDataLog_Click(); });
    mnuUnloadDataLog_ = new QAction("&Unload Data Log", this);
    mnuUnloadDataLog_->setObjectName("mnuUnloadDataLog");
    mnuUnloadDataLog_->setEnabled(false);
    connect(mnuUnloadDataLog_, &QAction::triggered, this, [this] { capture().mnuUnloadDataLog_Click(); });
    QAction* afterLog = file->actions().value(file->actions().indexOf(mnuSaveScreen_) + 1);
    file->insertAction(afterLog, mnuLoadDataLog_);
    file->insertAction(afterLog, mnuUnloadDataLog_);

    mnuPrint_ = new QAction("Print &Screen", this);
    mnuPrint_->setObjectName("mnuPrint");
    connect(mnuPrint_, &QAction::triggered, this, &frmMain::mnuPrint_Click);
    QAction* setup = nullptr;
    for (QAction* a : file->actions())
        if (a->objectName() == "mnuSetup")
            setup = a;
    file->insertAction(setup, mnuPrint_);

    mnuColor_ = new QMenu("&Colors", this);
    mnuColor_->setObjectName("mnuColor");
    menuBar()->insertMenu(menuBar()->findChild<QMenu*>("mnuStat")->menuAction(), mnuColor_);
    for (size_t i = 0; i < std::size(panel::kColorEntries); ++i) {
        const auto& e = panel::kColorEntries[i];
        auto* a = mnuColor_->addAction(e.caption);
        a->setObjectName(e.menuName);
        connect(a, &QAction::triggered, this, [this, i] { mnuColor_Click(int(i)); });
    }
    mnuColor_->addSeparator();
    const struct {
        const char* name;
        const char* caption;
        void (frmMain::*handler)();
    } more[] = {
        {"mnuLoadD", "Load DOS Defaults", &frmMain::mnuLoadD_Click},
        {"mnuLoadW", "Load Win Defaults", &frmMain::mnuLoadW_Click},
        {"mnuReLoad", "Reload Saved Colors", &frmMain::mnuReLoad_Click},
        {"mnuSave", "Save Settings", &frmMain::mnuSave_Click},
    };
    for (const auto& m : more) {
        auto* a = mnuColor_->addAction(m.caption);
        a->setObjectName(m.name);
        connect(a, &QAction::triggered, this, m.handler);
    }
    // A right click on the graph: the X-Y menu in Circlex X-Y mode, the colours otherwise.
    picture_->rightClicked = [this](const QPoint& at) {
        (graph().xyMenuOnRightClick() ? mnuTool2_ : mnuColor_)->popup(at);
    };

    auto* tools = menuBar()->findChild<QMenu*>("mnuTools");
    mnuParamUP_ = new QAction("Parameter Upload (Send Param.txt)", this);
    mnuParamUP_->setObjectName("mnuParamUP");
    connect(mnuParamUP_, &QAction::triggered, this, &frmMain::mnuParamUP_Click);
    tools->insertAction(mnuParamDump_, mnuParamUP_);
    tools->removeAction(mnuParamDump_);
    tools->insertAction(mnuParamUP_, mnuParamDump_);

    paramUpload().openDialog = [this](const std::string& title, const std::string& filter,
                                      const std::string& name) { return openFileDialog(title, filter, name); };

    const struct {
        QAction** action;
        const char* name;
        const char* caption;
        void (frmMain::*handler)();
    } windows[] = {
        {&mnuScan_, "mnuScan", "Pattern &Scan", &frmMain::mnuScan_Click},
        {&mnuN7Par_, "mnuN7Par", "N7 Parameter Tool", &frmMain::mnuN7Par_Click},
        {&mnuBurn_, "mnuBurn", "Burn-In Room Excersise", &frmMain::mnuBurn_Click},
    };
    tools->addSeparator();
    for (const auto& w : windows) {
        *w.action = tools->addAction(w.caption);
        (*w.action)->setObjectName(w.name);
        (*w.action)->setCheckable(true);
        connect(*w.action, &QAction::triggered, this, w.handler);
    }
    // The N7 tool's Read takes its answer from the replies as they are matched.
    link().onReply = [this, next = link().onReply](const std::string& line, const std::string& command) {
        if (next)
            next(line, command);
        if (n7_)
            n7_->replyLine(line, command);
    };

    // The colours saved last (their defaults when none are).
    graph().colors = panel::loadColors(store_);
    setMarkerColors();
}

std::optional<std::string> frmMain::openFileDialog(const std::string& title, const std::string& filter,
                                                   const std::string& fileName)
{
    if (openDialogHook)
        return openDialogHook(title, filter, fileName);
    const QString f = QFileDialog::getOpenFileName(this, QString::fromStdString(title), QString::fromStdString(fileName),
                                                   dialogFilter(filter));
    if (f.isEmpty())
        return std::nullopt;
    return f.toStdString();
}

// ---------------------------------------------------------------- parameter upload

void frmMain::mnuParamUP_Click() { paramUpload().mnuParamUP_Click(paramDump().running()); }

// ---------------------------------------------------------------- colours

void frmMain::setMarkerColors()
{
    const panel::Rgb traces[] = {graph().colors.trace1, graph().colors.trace2, graph().colors.trace3,
                                 graph().colors.trace4};
    for (size_t t = 0; t < line1_.size(); ++t) {
        const QString c = toQColor(traces[t]).name();
        line1_[t]->setStyleSheet(QString("QFrame { color: %1; background: %1; }").arg(c));
    }
}

void frmMain::applyColors(const panel::GraphColors& colors)
{
    graph().colors = colors;
    setMarkerColors();
    graph().redraw();
}

void frmMain::mnuColor_Click(int entry)
{
    if (entry < 0 || size_t(entry) >= std::size(panel::kColorEntries))
        return;
    const auto& e = panel::kColorEntries[size_t(entry)];
    const panel::Rgb current = graph().colors.*e.member;
    QString title = QString(e.caption).remove('&');
    std::optional<panel::Rgb> chosen;
    if (colorDialogHook) {
        chosen = colorDialogHook(current, title.toStdString());
    } else {
        const QColor c = QColorDialog::getColor(toQColor(current), this, title);
        if (c.isValid())
            chosen = fromQColor(c);
    }
    if (!chosen)
        return; // Cancel: nothing changes
    panel::GraphColors colors = graph().colors;
    colors.*e.member = *chosen;
    applyColors(colors);
}

void frmMain::mnuLoadD_Click() { applyColors(panel::dosColors()); }
void frmMain::mnuLoadW_Click() { applyColors(panel::winColors()); }
void frmMain::mnuReLoad_Click() { applyColors(panel::loadColors(store_)); }

void frmMain::mnuSave_Click()
{
    panel::saveColors(store_, graph().colors);
    if (!store_.lastError().empty())
        showError(store_.lastError());
}

// ---------------------------------------------------------------- print screen

void frmMain::mnuPrint_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(copies_);
    bool ok = false;
    if (printDialogHook) {
        ok = printDialogHook(printer);
    } else {
        QPrintDialog dlg(&printer, this);
        ok = dlg.exec() == QDialog::Accepted;
    }
    if (!ok)
        return;
    copies_ = printer.copyCount();
    printScreen(printer);
}

QImage frmMain::printScreen(QPrinter& printer)
{
    graph().redrawForPrint();
    const QPalette screen = palette();
    const bool fill = autoFillBackground();
    QPalette paper = screen;
    paper.setColor(QPalette::Window, kPrintBackColor);
    setPalette(paper);
    setAutoFillBackground(true);
    QImage shot = grab().toImage();
    QPainter p;
    if (p.begin(&printer)) {
        // The whole window, as large as the page takes it, keeping its proportions.
        const QRect page = p.viewport();
        QSize size = shot.size();
        size.scale(page.size(), Qt::KeepAspectRatio);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(page.topLeft(), size), shot);
        p.end();
    } else {
        shot = QImage();
        showError("Error,\rThe printer could not be started.");
    }
    setPalette(screen);
    setAutoFillBackground(fill);
    graph().redraw();
    return shot;
}

// ---------------------------------------------------------------- tool windows

namespace {

// A tool window: kept above the main window, its messages in the main window's boxes, its
// menu entry unticked when it closes.
std::string stdText(const QString& s) { return s.toStdString(); }
const std::string& stdText(const std::string& s) { return s; }

template <class W> void setUpToolWindow(frmMain& main, W* w, QAction* entry)
{
    w->setWindowFlag(Qt::Tool);
    w->setProperty("toolWindow", true);
    w->showMessage = [&main](const auto& text) { main.showMessage(stdText(text)); };
    QObject::connect(w, &W::closed, &main, [entry] { entry->setChecked(false); });
}

} // namespace

void frmMain::mnuScan_Click()
{
    if (!scanWin_) {
        scanWin_ = new frmScan(patternScan(), store_, this);
        setUpToolWindow(*this, scanWin_, mnuScan_);
    }
    mnuScan_->setChecked(true);
    scanWin_->show();
    scanWin_->raise();
}

void frmMain::mnuN7Par_Click()
{
    // The entry toggles the window: the click has already flipped its tick.
    if (n7_ && n7_->isVisible()) {
        mnuN7Par_->setChecked(false);
        n7_->hide();
        return;
    }
    if (!n7_) {
        n7_ = new frmN7(shared_, this);
        setUpToolWindow(*this, n7_, mnuN7Par_);
    }
    mnuN7Par_->setChecked(true);
    n7_->adjustSize();
    n7_->move(frmN7::placement(geometry().topLeft(), n7_->frameGeometry().width(), diag_ ? diag_->frameGeometry().width() : 0,
                               this));
    n7_->show();
    n7_->raise();
}

void frmMain::mnuBurn_Click()
{
    if (!burn_) {
        burn_ = new frmBurn(shared_, clock_, this);
        setUpToolWindow(*this, burn_, mnuBurn_);
    }
    mnuBurn_->setChecked(true);
    burn_->show();
    burn_->raise();
}

// ---------------------------------------------------------------- capture replay

class frmMain::CaptureAdapter : public panel::CaptureUi {
public:
    explicit CaptureAdapter(frmMain& w) : w_(w) {}
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override
    {
        return w_.openFileDialog("Load Data Log", filter, fileName);
    }
    void message(const std::string& text, const std::string& title, panel::PanelUi::Icon icon) override
    {
        w_.message(text, title, panel::PanelUi::Buttons::Ok, icon);
    }
    void captureChanged() override { w_.captureChanged(); }
    void diagStopChanged() override
    {
        if (w_.diag_)
            w_.diag_->refresh();
    }

private:
    frmMain& w_;
};

void frmMain::buildCaptureControls(QWidget* area, QBoxLayout* row)
{
    captureUi_ = std::make_unique<CaptureAdapter>(*this);
    capture_ = std::make_unique<panel::CaptureReplay>(shared_, main_, graph(), *captureUi_);
    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        void (frmMain::*click)();
    } buttons[] = {
        {&cmdLDLScrollBack_, "cmdLDLScrollBack", "<", nullptr},
        {&cmdLDLScrollForward_, "cmdLDLScrollForward", ">", nullptr},
        {nullptr, "cmdCapture", "Capture", &frmMain::cmdCapture_Click},
    };
    for (const auto& b : buttons) {
        auto* btn = new QPushButton(b.caption, area);
        btn->setObjectName(b.name);
        btn->setFocusPolicy(Qt::NoFocus);
        if (b.button) {
            *b.button = btn;
            btn->setFixedWidth(btn->fontMetrics().horizontalAdvance("<<<") + 12);
            btn->hide(); // shown while a capture is loaded
        } else {
            connect(btn, &QPushButton::clicked, this, b.click);
        }
        row->addWidget(btn, 0, Qt::AlignBottom);
    }
    connect(cmdLDLScrollBack_, &QPushButton::clicked, this, [this] { capture().cmdLDLScrollBack_Click(); });
    connect(cmdLDLScrollForward_, &QPushButton::clicked, this, [this] { capture().cmdLDLScrollForward_Click(); });

}

void frmMain::captureChanged()
{
    const bool loaded = capture().loaded();
    // Live samples stay off the replayed page (a one-shot answer, a mode change's polls).
    graphs_->holdLive = loaded;
    cmdLDLScrollBack_->setVisible(loaded);
    cmdLDLScrollForward_->setVisible(loaded);
    for (QAction* a : {mnuSaveScreen_, mnuLoadDataLog_, mnuLog_})
        a->setEnabled(!loaded);
    mnuUnloadDataLog_->setEnabled(loaded);
    if (captureWin_)
        captureWin_->showLoaded(loaded);
    refreshGraph();
}

void frmMain::cmdCapture_Click()
{
    if (!captureWin_) {
        captureWin_ = new frmCapture(this);
        captureWin_->setWindowFlag(Qt::Tool);
        captureWin_->setProperty("toolWindow", true);
        captureWin_->onSaveData = [this] { dataFiles().mnuSaveScreen_Click(); };
        captureWin_->onPrint = [this] { mnuPrint_Click(); };
        captureWin_->onLog = [this] { dataFiles().mnuLog_Click(); };
        captureWin_->onUnloadDataLog = [this] { capture().cmdUnloadDataLog_Click(); };
        captureWin_->onLoadDataLog = [this] { capture().cmdLoadDataLog_Click(); };
        captureWin_->showLoaded(capture().loaded());
    }
    captureWin_->setLogCaption(QString::fromLatin1(dataFiles().logCaption()));
    captureWin_->showBeside(*this);
}
