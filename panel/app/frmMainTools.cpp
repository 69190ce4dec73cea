// The main window's service tools: the graph's colours, Print Screen, the parameter upload.
#include "frmMain.h"

#include "GraphView.h"

#include "panel/graphs/ColorSettings.h"

#include "common/SettingsStore.h"

#include <QAction>
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
