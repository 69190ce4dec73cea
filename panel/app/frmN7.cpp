#include "frmN7.h"

#include "common/gui/Desktop.h"
#include "common/gui/Twips.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
std::string bytes(const QString& s) { return s.toLatin1().toStdString(); }
} // namespace

frmN7::frmN7(panel::PanelShared& shared, QWidget* parent) : QWidget(parent, Qt::Window), tool_(shared)
{
    setObjectName("frmN7");
    setWindowTitle("Click Options to show n7 -or- Enter n7 to show Options");
    setProperty("toolWindow", true); // raised by "Bring Active Tools to Front"
    openHelp = [](const QString& page) { openHelpPage(page); };
    showMessage = [this](const std::string& text) {
        showMessageBox(this, "N7 Parameter Tool", text, QMessageBox::Warning, QMessageBox::Ok);
    };
    build();
    tool_.changed = [this] { refresh(); };
    tool_.Form_Load(); // phase "+90 Deg", all drives "Max": 192
    selectValue();
}

QPoint frmN7::placement(const QPoint& mainTopLeft, int ownWidth, int diagWidth, const QWidget* dpiRef)
{
    return {mainTopLeft.x() + common::twipsToPixels(kLeftOffsetTwips, dpiRef) - ownWidth + diagWidth,
            mainTopLeft.y() + common::twipsToPixels(kTopOffsetTwips, dpiRef)};
}

void frmN7::build()
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics fm(fixed);
    const int boxWidth = fm.horizontalAdvance("0000") + 16;

    auto* groups = new QHBoxLayout;
    groups->setSpacing(8);
    for (int g = 0; g < panel::n7::kGroups; ++g) {
        auto* frame = new QGroupBox(QString::fromLatin1(panel::N7Tool::kFrameCaptions[size_t(g)]), this);
        frame->setObjectName(QString("Frame%1").arg(g + 1));
        auto* col = new QVBoxLayout(frame);
        col->setSpacing(2);
        for (int i = 0; i < panel::n7::kChoices; ++i) {
            auto* o = new QRadioButton(QString::fromLatin1(panel::N7Tool::kOptionCaptions[size_t(g)][size_t(i)]), frame);
            o->setObjectName(QString("Option%1_%2").arg(g + 1).arg(i));
            o->setToolTip("Select option to encode n7");
            connect(o, &QRadioButton::clicked, this, [this, g, i] { Option_Click(g, i); });
            options_[size_t(g)][size_t(i)] = o;
            col->addWidget(o);
        }
        auto* c = new QLineEdit(frame);
        c->setObjectName(QString("Text%1").arg(g + 2));
        c->setToolTip("Value of Selection Above");
        c->setReadOnly(true);
        c->setFocusPolicy(Qt::ClickFocus);
        c->setFont(fixed);
        c->setFixedWidth(boxWidth);
        c->setAlignment(Qt::AlignRight);
        components_[size_t(g)] = c;
        col->addWidget(c, 0, Qt::AlignHCenter);
        groups->addWidget(frame);
    }

    text1_ = new QLineEdit(this);
    text1_->setObjectName("Text1");
    text1_->setToolTip("Enter n7 value to Decode");
    text1_->setFont(fixed);
    text1_->setFixedWidth(boxWidth + 8);
    text1_->setAlignment(Qt::AlignRight);
    text1_->installEventFilter(this);
    connect(text1_, &QLineEdit::textEdited, this, [this](const QString& t) { tool_.text1 = bytes(t); });
    auto* label = new QLabel("n7 Parameter", this);
    label->setObjectName("Label1");
    label->setBuddy(text1_);

    const struct {
        const char* name;
        const char* caption;
        const char* tip;
        void (frmN7::*click)();
    } buttons[] = {
        {"Command1", "Read", "", &frmN7::Command1_Click},
        {"Command2", "Send", "Sends new N7 Parameter to TAV", &frmN7::Command2_Click},
        {"Command3", "Exit", "", &frmN7::Command3_Click},
    };
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(text1_);
    row->addSpacing(12);
    for (const auto& b : buttons) {
        auto* btn = new QPushButton(b.caption, this);
        btn->setObjectName(b.name);
        if (*b.tip)
            btn->setToolTip(b.tip);
        btn->setAutoDefault(false);
        connect(btn, &QPushButton::clicked, this, [this, click = b.click] { (this->*click)(); });
        row->addWidget(btn);
    }
    row->addStretch(1);

    status_ = new QLabel(this);
    status_->setObjectName("lblStatus");

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->addLayout(groups);
    outer->addLayout(row);
    outer->addWidget(status_);
}

void frmN7::refresh()
{
    for (int g = 0; g < panel::n7::kGroups; ++g) {
        options_[size_t(g)][size_t(tool_.choice()[size_t(g)])]->setChecked(true);
        components_[size_t(g)]->setText(QString::number(tool_.component(g)));
    }
    if (text1_->text() != latin1(tool_.text1))
        text1_->setText(latin1(tool_.text1));
    status_->setText(latin1(tool_.status));
}

void frmN7::selectValue()
{
    text1_->setFocus();
    text1_->selectAll();
}

void frmN7::report(const std::string& message)
{
    if (!message.empty() && showMessage)
        showMessage(message);
}

void frmN7::Option_Click(int group, int index)
{
    tool_.Option_Click(group, index);
    selectValue();
}

void frmN7::Text1_Enter()
{
    tool_.text1 = bytes(text1_->text());
    report(tool_.Text1_Enter());
    selectValue();
}

void frmN7::Command1_Click() { report(tool_.Command1_Click()); }

void frmN7::Command2_Click()
{
    tool_.text1 = bytes(text1_->text());
    report(tool_.Command2_Click());
}

void frmN7::Command3_Click()
{
    hide();
    emit closed();
}

void frmN7::replyLine(const std::string& line, const std::string& command)
{
    if (tool_.replyLine(line, command) && isVisible())
        selectValue();
}

void frmN7::closeEvent(QCloseEvent* e)
{
    e->accept();
    emit closed();
}

void frmN7::keyPressEvent(QKeyEvent* e)
{
    if (helpKey(e, openHelp, kHelpPage))
        return;
    QWidget::keyPressEvent(e);
}

bool frmN7::eventFilter(QObject* o, QEvent* e)
{
    if (o == text1_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Text1_Enter();
            return true; // the key goes no further
        }
    }
    return QWidget::eventFilter(o, e);
}
