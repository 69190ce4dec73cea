#include "frmComDiag.h"

#include "common/gui/Desktop.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::string bytes(const QString& s) { return s.toLatin1().toStdString(); }

// Where each button of the common commands sits: row, column.
struct Place {
    int index, row, col;
};
// The original's heights count its caption and borders; the window here sets its inside.
constexpr int kFrameTwips = 400;
constexpr int kButtonHeight = 32;

constexpr Place kPlaces[] = {
    {0, 0, 0}, {1, 0, 1}, {2, 0, 2}, {3, 0, 3},
    {4, 1, 0}, {5, 1, 1}, {6, 1, 2}, {10, 1, 3},
    {11, 2, 0}, {8, 2, 2}, {9, 2, 3},
};

} // namespace

frmComDiag::frmComDiag(panel::PanelShared& shared, panel::MainState& main, common::Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), diag_(shared, main, clock)
{
    setObjectName("frmComDiag");
    setWindowTitle("Comm Diagnostics");
    setProperty("toolWindow", true); // raised by "Bring Active Tools to Front"
    build();
    diag_.changed = [this] { refresh(); };
    refresh();
    applyHeight(); // opens with the common commands shown
}

frmComDiag::~frmComDiag() { diag_.changed = nullptr; }

QMenu* frmComDiag::popup(const char* objectName) const { return findChild<QMenu*>(objectName); }

int frmComDiag::twips(int t) const
{
    const qreal dpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
    return int(t * dpi / 1440.0 + 0.5);
}

void frmComDiag::build()
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics fm(fixed);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);

    auto* top = new QGridLayout;
    top->setHorizontalSpacing(6);
    top->setVerticalSpacing(4);
    const auto label = [this](const char* name, const char* caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->setBuddy(buddy);
        return l;
    };
    const auto box = [&](const char* name, const char* tip, int chars, bool readOnly) {
        auto* t = new QLineEdit(this);
        t->setObjectName(name);
        t->setToolTip(QString::fromLatin1(tip));
        t->setFont(fixed);
        t->setReadOnly(readOnly);
        t->setMinimumWidth(fm.horizontalAdvance(QString(chars, QLatin1Char('M'))) + 14);
        return t;
    };
    text1_ = box("Text1", "Displays last M&C command sent", 7, true);
    text2_ = box("Text2", "Enter new ACU or PCU M&C command here", 9, false);
    text3_ = box("Text3", "Displays ACU response to \"Last Sent\" command", 30, true);
    text1_->setFocusPolicy(Qt::ClickFocus);
    text3_->setFocusPolicy(Qt::ClickFocus);
    connect(text2_, &QLineEdit::textEdited, this, [this](const QString& t) { diag_.text2 = bytes(t); });
    connect(text2_, &QLineEdit::returnPressed, this, [this] {
        diag_.text2 = bytes(text2_->text());
        diag_.Text2_Enter(); // the Enter key itself goes nowhere
    });

    chkSTOP_ = new QCheckBox(" Stop", this);
    chkSTOP_->setObjectName("chkSTOP");
    chkSTOP_->setToolTip("Stop all queries.");
    connect(chkSTOP_, &QCheckBox::clicked, this, [this](bool on) { diag_.chkSTOP_Click(on); });

    command1_ = new QToolButton(this);
    command1_->setObjectName("Command1");
    command1_->setToolTip("Show/Hide common commands");
    command1_->setAutoRaise(false);
    command1_->setFixedSize(28, 24);
    connect(command1_, &QToolButton::clicked, this, [this] { diag_.Command1_Click(); });

    top->addWidget(label("lblLastSent", "Last Sent", text1_), 0, 0);
    top->addWidget(text1_, 0, 1);
    top->addWidget(label("lblCommand", "Command", text2_), 0, 2, Qt::AlignRight);
    top->addWidget(text2_, 0, 3);
    top->addWidget(chkSTOP_, 0, 4);
    top->addWidget(command1_, 0, 5, Qt::AlignRight);
    top->addWidget(label("lblResponse", "Response", text3_), 1, 0);
    top->addWidget(text3_, 1, 1, 1, 5);
    top->setColumnStretch(3, 1);
    outer->addLayout(top);

    // The common commands.
    auto* frame = new QFrame(this);
    frame->setObjectName("fraCommon");
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setSpacing(6);
    for (const auto& p : kPlaces) {
        const auto* def = std::find_if(panel::kDiagButtons.begin(), panel::kDiagButtons.end(),
                                       [&p](const panel::DiagButton& b) { return b.index == p.index; });
        auto* b = new QPushButton(QString::fromLatin1(def->caption), frame);
        b->setObjectName(QString("cmdRepeat_%1").arg(p.index));
        b->setToolTip(QString::fromLatin1(def->tip));
        b->setAutoDefault(false);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance("Sat Reference") + 24);
        b->setMinimumHeight(kButtonHeight);
        const int index = p.index;
        connect(b, &QPushButton::clicked, this, [this, index, b] {
            if (index == panel::ComDiag::PcuAux || index == panel::ComDiag::AcuAux) {
                // The chosen entry sends its command; a menu closed without a choice sends nothing.
                (index == panel::ComDiag::PcuAux ? mnuPCU_ : mnuACU_)->popup(b->mapToGlobal(QPoint(0, b->height())));
                return;
            }
            diag_.cmdRepeat_Click(index);
        });
        cmdRepeat_[size_t(index)] = b;
        grid->addWidget(b, p.row, p.col);
    }
    // The PCU status button decodes on the right mouse button.
    cmdRepeat_[panel::ComDiag::PcuStatus]->installEventFilter(this);
    common_ = frame;
    outer->addWidget(frame);
    outer->addStretch(1);

    mnuACU_ = buildMenu("mnuACU_Aux", "ACU Aux", panel::kAcuAuxMenu.data(), panel::kAcuAuxMenu.size());
    mnuPCU_ = buildMenu("mnuPCU_Aux", "PCU Aux", panel::kPcuAuxMenu.data(), panel::kPcuAuxMenu.size());
    mnuPStat_ = new QMenu("PCU status", this);
    mnuPStat_->setObjectName("mnuPStat");
    for (size_t i = 0; i < panel::kPcuStatusEntries.size(); ++i) {
        if (i == 6 || i == 12)
            mnuPStat_->addSeparator();
        auto* a = mnuPStat_->addAction(QString::fromLatin1(panel::kPcuStatusEntries[i].caption));
        a->setObjectName(QString("mnuPStat_%1").arg(i));
        a->setCheckable(true);
        // The entries only show the flags; a click changes nothing.
        connect(a, &QAction::triggered, this, [this, a, i] { a->setChecked(diag_.pcuStatusChecks()[i]); });
        pstat_[i] = a;
    }
}

QMenu* frmComDiag::buildMenu(const char* name, const char* title, const panel::DiagMenuEntry* entries, size_t count)
{
    auto* menu = new QMenu(title, this);
    menu->setObjectName(name);
    for (size_t i = 0; i < count; ++i) {
        const panel::DiagMenuEntry& e = entries[i];
        auto* a = menu->addAction(QString::fromLatin1(e.caption));
        a->setObjectName(e.name);
        connect(a, &QAction::triggered, this, [this, &e] { diag_.mnuAux_Click(e); });
    }
    return menu;
}

void frmComDiag::refresh()
{
    const auto set = [](QLineEdit* t, const std::string& s) {
        const QString v = latin1(s);
        if (t->text() != v)
            t->setText(v);
    };
    set(text1_, diag_.text1);
    set(text3_, diag_.text3);
    if (text2_->text() != latin1(diag_.text2))
        text2_->setText(latin1(diag_.text2));
    {
        const QSignalBlocker block(chkSTOP_);
        chkSTOP_->setChecked(diag_.stopChecked());
    }
    for (int index : {int(panel::ComDiag::ClTest), int(panel::ComDiag::AzTest)}) {
        QPushButton* b = cmdRepeat_[size_t(index)];
        b->setText(QString::fromStdString(diag_.caption(index)));
        // One test at a time: the other test waits until this one is over.
        const bool other = diag_.testRunning() && diag_.caption(index) != "Stop";
        b->setEnabled(!other);
    }
    const bool open = diag_.heightTwips() == panel::ComDiag::kOpenHeightTwips;
    command1_->setArrowType(open ? Qt::UpArrow : Qt::DownArrow);
    if (common_->isHidden() == open)
        applyHeight();
}

void frmComDiag::applyHeight()
{
    const bool open = diag_.heightTwips() == panel::ComDiag::kOpenHeightTwips;
    common_->setVisible(open);
    layout()->activate();
    const int need = layout()->minimumSize().height();
    setFixedHeight(std::max(twips(diag_.heightTwips() - kFrameTwips), need));
}

void frmComDiag::showResponse(const std::string& line) { diag_.showResponse(line); }

void frmComDiag::showStatusMenu()
{
    diag_.PcuStatusDecode();
    for (size_t i = 0; i < pstat_.size(); ++i)
        pstat_[i]->setChecked(diag_.pcuStatusChecks()[i]);
    mnuPStat_->popup(QCursor::pos());
}

void frmComDiag::closeEvent(QCloseEvent* e)
{
    diag_.Form_Unload();
    e->accept();
    emit closed();
}

void frmComDiag::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F1) {
        if (openHelp)
            openHelp(kHelpPage);
        else
            openHelpPage(kHelpPage);
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

bool frmComDiag::eventFilter(QObject* o, QEvent* e)
{
    if (o == cmdRepeat_[panel::ComDiag::PcuStatus] && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
        showStatusMenu();
        return true;
    }
    return QWidget::eventFilter(o, e);
}
