#include "frmCapture.h"

#include "common/gui/Desktop.h"
#include "common/gui/Twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kAboveBottomTwips = 150;
constexpr int kInsideRightTwips = 50;

void run(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

} // namespace

frmCapture::frmCapture(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmCapture");
    setWindowTitle("Capture");
    openHelp = [](const QString& page) { openHelpPage(page); };

    auto* v = new QVBoxLayout(this);
    v->setSizeConstraint(QLayout::SetFixedSize); // the window follows the buttons shown
    v->setSpacing(4);
    const struct {
        const char* name;
        const char* caption;
        void (frmCapture::*click)();
        QPushButton* frmCapture::*button;
    } buttons[] = {
        {"cmdSaveData", "Save Screen Data", &frmCapture::cmdSaveData_Click, &frmCapture::cmdSaveData_},
        {"cmdPrint", "Print Screen", &frmCapture::cmdPrint_Click, &frmCapture::cmdPrint_},
        {"cmdLog", "Start Data Log", &frmCapture::cmdLog_Click, &frmCapture::cmdLog_},
        {"cmdLoadDataLog", "Load Data Log", &frmCapture::cmdLoadDataLog_Click, &frmCapture::cmdLoadDataLog_},
        {"cmdUnloadDataLog", "Unload Data Log", &frmCapture::cmdUnloadDataLog_Click, &frmCapture::cmdUnloadDataLog_},
    };
    // One width for all, wide enough for "Close Data Log" too.
    int width = QFontMetrics(font()).horizontalAdvance("Close Data Log");
    for (const auto& b : buttons)
        width = std::max(width, QFontMetrics(font()).horizontalAdvance(b.caption));
    for (const auto& b : buttons) {
        auto* btn = new QPushButton(b.caption, this);
        btn->setObjectName(b.name);
        btn->setMinimumWidth(width + 24);
        connect(btn, &QPushButton::clicked, this, [this, click = b.click] { (this->*click)(); });
        v->addWidget(btn);
        this->*b.button = btn;
    }
    showLoaded(false);
}

void frmCapture::cmdSaveData_Click() { run(onSaveData); }
void frmCapture::cmdPrint_Click() { run(onPrint); }
void frmCapture::cmdLog_Click() { run(onLog); }
void frmCapture::cmdUnloadDataLog_Click() { run(onUnloadDataLog); }
void frmCapture::cmdLoadDataLog_Click() { run(onLoadDataLog); }

void frmCapture::showLoaded(bool loaded)
{
    cmdSaveData_->setVisible(!loaded);
    cmdLoadDataLog_->setVisible(!loaded);
    cmdLog_->setVisible(!loaded);
    cmdUnloadDataLog_->setVisible(loaded);
}

void frmCapture::setLogCaption(const QString& caption)
{
    cmdLog_->setText(caption);
}

QPoint frmCapture::cornerPosition(const QRect& mainFrame, const QSize& ownFrame, const QWidget* dpiOf)
{
    const int top = mainFrame.top() + mainFrame.height() - ownFrame.height() -
                    common::twipsToPixels(kAboveBottomTwips, dpiOf);
    const int left = mainFrame.left() + mainFrame.width() - ownFrame.width() -
                     common::twipsToPixels(kInsideRightTwips, dpiOf);
    return {left, top};
}

void frmCapture::showBeside(const QWidget& mainWindow)
{
    show(); // sized and framed first, so its own frame is known
    move(cornerPosition(mainWindow.frameGeometry(), frameGeometry().size(), this));
    raise();
    activateWindow();
}

void frmCapture::closeEvent(QCloseEvent* e)
{
    e->accept();
    emit closed();
}

void frmCapture::keyPressEvent(QKeyEvent* e)
{
    if (helpKey(e, openHelp, kHelpPage))
        return;
    QWidget::keyPressEvent(e);
}
