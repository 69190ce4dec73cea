#include "frmLOS.h"

#include "common/gui/Desktop.h"
#include "panel/tools/LineOfSight.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kAngleTip = "DD:MM:SS, DD:MM.mmmm or DD.dddddd";

std::string text(const QLineEdit* e) { return e->text().toLatin1().toStdString(); }

} // namespace

frmLOS::frmLOS(panel::PanelShared& shared, QWidget* parent) : QWidget(parent, Qt::Window), s_(shared)
{
    setObjectName("frmLOS");
    setWindowTitle("Line of Sight Pointing");
    openHelp = [](const QString& page) { openHelpPage(page); };
    text1_ = box("Text1", "38:01", kAngleTip);
    text2_ = box("Text2", "N", {});
    text3_ = box("Text3", "122.00", kAngleTip);
    text4_ = box("Text4", "W", {});
    text5_ = box("Text5", {}, {});
    text10_ = box("Text10", "38:00", kAngleTip);
    text9_ = box("Text9", "N", {});
    text12_ = box("Text12", "122:00", kAngleTip);
    text11_ = box("Text11", "W", {});
    text13_ = box("Text13", "50", {});
    text6_ = box("Text6", {}, "WGS84 Local Flat Earth Model", true);
    text7_ = box("Text7", {}, "Horizontal Projection", true);
    text8_ = box("Text8", {}, "WGS84 Local Flat Earth Model", true);
    text15_ = box("Text15", {}, "Based on Altitude of \"Target\" and \"Antenna\"", true);
    text14_ = box("Text14", {}, "Based on \"Viewable\" range and \"Actual\" range", true);
    for (auto* h : {text2_, text4_, text9_, text11_}) {
        h->setMaxLength(1);
        h->setFixedWidth(QFontMetrics(h->font()).horizontalAdvance("WW") + 12);
        h->installEventFilter(this);
    }
    check1_ = new QCheckBox("Manual Antenna Position Entry", this);
    check1_->setObjectName("Check1");
    check1_->setToolTip("Allows accurate position entry");
    const auto manual = [this] {
        for (auto* e : {text9_, text10_, text11_, text12_})
            e->setEnabled(check1_->isChecked());
        followTelemetry();
    };
    connect(check1_, &QCheckBox::toggled, this, manual);

    auto* g = new QGridLayout(this);
    int row = 0;
    const auto label = [this](const QString& t) { return new QLabel(t, this); };
    g->addWidget(label("Target Latitude:"), row, 0);
    g->addWidget(text1_, row, 1);
    g->addWidget(text2_, row, 2);
    g->addWidget(label("Antenna Latitude:"), row, 3);
    g->addWidget(text10_, row, 4);
    g->addWidget(text9_, row++, 5);
    g->addWidget(label("Target Longitude:"), row, 0);
    g->addWidget(text3_, row, 1);
    g->addWidget(text4_, row, 2);
    g->addWidget(label("Antenna Longitude:"), row, 3);
    g->addWidget(text12_, row, 4);
    g->addWidget(text11_, row++, 5);
    g->addWidget(label("Target Altitude:"), row, 0);
    g->addWidget(text5_, row, 1);
    g->addWidget(label("Antenna Altitude:"), row, 3);
    g->addWidget(text13_, row++, 4);
    g->addWidget(check1_, row++, 3, 1, 3);
    g->addWidget(label("Azimuth"), row, 0);
    g->addWidget(text6_, row, 1);
    g->addWidget(label("Viewable Range"), row, 3);
    g->addWidget(text15_, row++, 4);
    g->addWidget(label("Elevation"), row, 0);
    g->addWidget(text7_, row, 1);
    g->addWidget(label("Viewable Status"), row, 3);
    g->addWidget(text14_, row++, 4);
    g->addWidget(label("Range"), row, 0);
    g->addWidget(text8_, row, 1);
    g->addWidget(label("N. Miles"), row++, 2);
    const struct {
        const char* name;
        const char* caption;
        const char* tip;
        void (frmLOS::*click)();
    } buttons[] = {
        {"Command1", "Calculate", "Calculate Az, El, Range and Viewable Status", &frmLOS::Command1_Click},
        {"Command2", "Target Antenna", "Calculate and send Target commands to TAV", &frmLOS::Command2_Click},
        {"Command3", "Exit", "Close Dialog but keep entered values active", &frmLOS::Command3_Click},
    };
    int col = 0;
    for (const auto& b : buttons) {
        auto* btn = new QPushButton(b.caption, this);
        btn->setObjectName(b.name);
        btn->setToolTip(b.tip);
        connect(btn, &QPushButton::clicked, this, [this, click = b.click] { (this->*click)(); });
        g->addWidget(btn, row, col, 1, 2);
        col += 2;
    }
    manual();
}

QLineEdit* frmLOS::box(const char* name, const QString& t, const QString& tip, bool readOnly)
{
    auto* e = new QLineEdit(t, this);
    e->setObjectName(name);
    if (!tip.isEmpty())
        e->setToolTip(tip);
    e->setReadOnly(readOnly);
    return e;
}

void frmLOS::Command1_Click()
{
    const panel::los::Position antenna{text(text10_), text(text9_), text(text12_), text(text11_), text(text13_)};
    const panel::los::Position target{text(text1_), text(text2_), text(text3_), text(text4_), text(text5_)};
    const auto p = panel::los::Calculate(antenna, target);
    text6_->setText(QString::fromStdString(p.azimuthText));
    text7_->setText(QString::fromStdString(p.elevationText));
    text8_->setText(QString::fromStdString(p.rangeText));
    text15_->setText(QString::fromStdString(p.viewableText));
    text14_->setText(QString::fromStdString(p.status));
}

void frmLOS::Command2_Click()
{
    Command1_Click();
    s_.typed = panel::los::TargetCommands(text(text6_), text(text7_));
}

void frmLOS::Command3_Click()
{
    if (auto* calc = findChild<QPushButton*>("Command1"))
        calc->setFocus();
    hide();
    emit closed();
}

void frmLOS::followTelemetry()
{
    if (check1_->isChecked() || !s_.positionValid)
        return;
    const double lat = s_.latitude / 10.0, lon = s_.longitude / 10.0;
    text10_->setText(QString::number(lat, 'f', 1));
    text9_->setText(QString(QChar(s_.latHemisphere)));
    text12_->setText(QString::number(lon, 'f', 1));
    text11_->setText(QString(QChar(s_.lonHemisphere)));
}

void frmLOS::showEvent(QShowEvent* e)
{
    followTelemetry();
    QWidget::showEvent(e);
}

void frmLOS::closeEvent(QCloseEvent* e)
{
    e->accept();
    emit closed();
}

void frmLOS::keyPressEvent(QKeyEvent* e)
{
    if (helpKey(e, openHelp, kHelpPage))
        return;
    QWidget::keyPressEvent(e);
}

bool frmLOS::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return QWidget::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->text().size() != 1)
        return false;
    const bool latitude = o == text2_ || o == text9_;
    const char c = panel::los::HemisphereKey(k->text().at(0).toLatin1(), latitude);
    if (c == 0)
        return false; // other keys as they are
    static_cast<QLineEdit*>(o)->setText(QString(QChar(c)));
    return true;
}
