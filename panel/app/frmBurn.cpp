#include "frmBurn.h"

#include "common/gui/Desktop.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

std::string bytes(const QString& s) { return s.toLatin1().toStdString(); }

// Log text as the box shows it: its CR LF line ends as plain line breaks.
QString shown(const std::string& log, size_t from)
{
    QString s = latin1(log.substr(from));
    s.remove(QLatin1Char('\r'));
    return s;
}

} // namespace

frmBurn::frmBurn(panel::PanelShared& shared, common::Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), burn_(shared, clock)
{
    setObjectName("frmBurn");
    setWindowTitle("Burn-In Excersise");
    setProperty("toolWindow", true); // raised by "Bring Active Tools to Front"
    openHelp = [](const QString& page) { openHelpPage(page); };
    showMessage = [this](const std::string& text) {
        showMessageBox(this, "Burn-In Excersise", text, QMessageBox::Warning, QMessageBox::Ok);
    };
    build();
    burn_.changed = [this] { refresh(); };
    refresh();
}

frmBurn::~frmBurn() { burn_.changed = nullptr; }

void frmBurn::build()
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics fm(fixed);

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName("Text1");
    text1_->setReadOnly(true);
    text1_->setFont(fixed);
    text1_->setMinimumSize(fm.horizontalAdvance(QString(48, QLatin1Char('.'))) + 24, fm.lineSpacing() * 10);
    auto* lblLog = new QLabel("Command Sequence", this);
    lblLog->setObjectName("Label1");
    lblLog->setBuddy(text1_);

    text2_ = new QLineEdit(QString::fromLatin1(burn_.text2), this);
    text2_->setObjectName("Text2");
    text2_->setFont(fixed);
    text2_->setFixedWidth(fm.horizontalAdvance("000000") + 16);
    // Any key typed makes the next Start take the new text.
    connect(text2_, &QLineEdit::textEdited, this, [this](const QString& t) { burn_.Text2_Change(bytes(t)); });
    auto* lblInterval = new QLabel("Interval", this);
    lblInterval->setObjectName("Label2");
    lblInterval->setBuddy(text2_);

    countdown_ = new QLabel(this);
    countdown_->setObjectName("lblCountdown");
    countdown_->setFont(fixed);
    countdown_->setMinimumWidth(fm.horizontalAdvance("000000"));
    countdown_->setToolTip("Seconds to the next position");
    auto* lblNext = new QLabel("Next position in", this);
    lblNext->setObjectName("Label3");
    lblNext->setBuddy(countdown_);

    const auto button = [this](const char* name, const char* caption, void (frmBurn::*click)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
        return b;
    };
    command1_ = button("Command1", "Start", &frmBurn::Command1_Click);
    command2_ = button("Command2", "Stop", &frmBurn::Command2_Click);
    command3_ = button("Command3", "Continue", &frmBurn::Command3_Click);

    auto* controls = new QGridLayout;
    controls->setHorizontalSpacing(6);
    controls->addWidget(lblInterval, 0, 0);
    controls->addWidget(text2_, 0, 1);
    controls->addWidget(new QLabel("s", this), 0, 2);
    controls->addWidget(lblNext, 1, 0);
    controls->addWidget(countdown_, 1, 1);
    controls->addWidget(new QLabel("s", this), 1, 2);
    controls->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command1_);
    buttons->addWidget(command2_);
    buttons->addWidget(command3_);
    buttons->addStretch(1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->addWidget(lblLog);
    outer->addWidget(text1_, 1);
    outer->addLayout(controls);
    outer->addLayout(buttons);
}

void frmBurn::refresh()
{
    const std::string& log = burn_.text1;
    if (log.size() < shownLog_ || shownLog_ == 0) {
        text1_->setPlainText(shown(log, 0));
    } else if (log.size() > shownLog_) {
        // The log only grows between Starts: add what is new.
        text1_->moveCursor(QTextCursor::End);
        text1_->insertPlainText(shown(log, shownLog_));
    }
    if (log.size() != shownLog_)
        text1_->verticalScrollBar()->setValue(text1_->verticalScrollBar()->maximum());
    shownLog_ = log.size();
    countdown_->setText(QString::fromStdString(burn_.countdownText()));
    command3_->setEnabled(burn_.continueEnabled());
}

void frmBurn::Command1_Click()
{
    const std::string problem = burn_.Command1_Click();
    if (!problem.empty() && showMessage)
        showMessage(problem);
}

void frmBurn::Command2_Click() { burn_.Command2_Click(); }
void frmBurn::Command3_Click() { burn_.Command3_Click(); }

void frmBurn::closeEvent(QCloseEvent* e)
{
    burn_.Form_Unload();
    e->accept();
    emit closed();
}

void frmBurn::keyPressEvent(QKeyEvent* e)
{
    if (helpKey(e, openHelp, kHelpPage))
        return;
    QWidget::keyPressEvent(e);
}
