#include "frmScan.h"

#include "common/SettingsStore.h"
#include "common/gui/Desktop.h"
#include "panel/tools/PatternScan.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

using panel::PatternScan;

constexpr int kIconSize = 28;
constexpr int kMaxRateMs = 65535;

const char* const kModes[] = {"A, E, I", "i, j, k", "ads, eds !"};

const struct {
    const char* tip;
    qreal degrees; // the arrow's direction, clockwise from pointing up
} kDirections[4] = {
    {"Elevation Up", 0},
    {"Azimuth Up", 90},
    {"Elevation Down", 180},
    {"Azimuth Down", 270},
};

// An arrow for a direction button, drawn rather than loaded so it scales with the screen.
QIcon arrowIcon(qreal degrees, const QColor& colour)
{
    const qreal dpr = 2.0;
    QPixmap pm(int(kIconSize * dpr), int(kIconSize * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(kIconSize / 2.0, kIconSize / 2.0);
    p.rotate(degrees);
    const qreal h = kIconSize * 0.42; // half the arrow's length
    QPainterPath arrow;
    arrow.moveTo(0, -h);
    arrow.lineTo(h * 0.8, -h * 0.05);
    arrow.lineTo(h * 0.3, -h * 0.05);
    arrow.lineTo(h * 0.3, h);
    arrow.lineTo(-h * 0.3, h);
    arrow.lineTo(-h * 0.3, -h * 0.05);
    arrow.lineTo(-h * 0.8, -h * 0.05);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(arrow);
    p.end();
    return QIcon(pm);
}

// A box's number: the whole text must be one (blanks around it allowed).
std::optional<double> number(const QLineEdit* box)
{
    bool ok = false;
    const double v = box->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The scan rate as the options store keeps it: one decimal at least ("1.0", "0.5", "0.25").
QString rateText(double v)
{
    char buf[32];
    if (v == std::floor(v) && std::fabs(v) < 1e9)
        std::snprintf(buf, sizeof buf, "%.1f", v);
    else
        std::snprintf(buf, sizeof buf, "%g", v);
    return QString::fromLatin1(buf);
}

QString plainText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return QString::fromLatin1(buf);
}

} // namespace

frmScan::frmScan(PatternScan& scan, common::SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), scan_(scan), store_(store)
{
    setObjectName("frmScan");
    setProperty("toolWindow", true); // raised by "Bring Active Tools to Front"
    openHelp = [](const QString& page) { openHelpPage(page); };
    showMessage = [this](const QString& text) {
        showMessageBox(this, "Pattern Scan", text.toStdString(), QMessageBox::Warning, QMessageBox::Ok);
    };
    build();
    // The scan may outlive this window (and the other way round): the hook checks.
    scan_.changed = [w = QPointer<frmScan>(this), before = std::move(scan_.changed)] {
        if (before)
            before();
        if (w)
            w->refresh();
    };
    showFields(true);
    refresh();
}

frmScan::~frmScan() = default;

void frmScan::build()
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics fm(fixed);
    const auto box = [&](const char* name, const QString& text, const QString& tip, int chars) {
        auto* t = new QLineEdit(text, this);
        t->setObjectName(name);
        t->setFont(fixed);
        if (!tip.isEmpty())
            t->setToolTip(tip);
        t->setFixedWidth(fm.horizontalAdvance(QString(chars, QLatin1Char('0'))) + 16);
        return t;
    };
    const auto label = [this](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->setBuddy(buddy);
        return l;
    };

    txtScan_ = box("txtScan", "0.5", {}, 6);
    text2_ = box("Text2", "10", {}, 6);
    txtRate_ = box("txtRate", "250", "Update Rate", 6);
    txtN8_ = box("txtN8", "8", {}, 6);
    combo1_ = new QComboBox(this);
    combo1_->setObjectName("Combo1");
    for (const char* m : kModes)
        combo1_->addItem(QString::fromLatin1(m));
    // A new command form takes effect from the next target on.
    connect(combo1_, &QComboBox::activated, this, [this](int index) {
        scan_.mode = PatternScan::Mode(index);
        shown_.mode = index;
    });
    text3_ = box("Text3", {}, {}, 6);
    text4_ = box("Text4", {}, {}, 6);
    for (auto* t : {text3_, text4_}) {
        t->setReadOnly(true);
        t->setFocusPolicy(Qt::ClickFocus);
    }

    auto* settings = new QGridLayout;
    settings->setHorizontalSpacing(6);
    settings->setVerticalSpacing(4);
    int row = 0;
    settings->addWidget(label("lblScan", "Scan Rate ", txtScan_), row, 0);
    settings->addWidget(txtScan_, row, 1);
    settings->addWidget(label("lblPerSec", "/Sec", nullptr), row++, 2);
    settings->addWidget(label("lblStop", "Auto Stop Degrees", text2_), row, 0);
    settings->addWidget(text2_, row++, 1);
    auto* lblRate = label("lblRate", "Rate mS", txtRate_);
    lblRate->setToolTip("Update Rate");
    settings->addWidget(lblRate, row, 0);
    settings->addWidget(txtRate_, row++, 1);
    settings->addWidget(label("lblN8", "N8", txtN8_), row, 0);
    settings->addWidget(txtN8_, row++, 1);
    settings->addWidget(label("lblMode", "Scan Mode", combo1_), row, 0);
    settings->addWidget(combo1_, row++, 1, 1, 2);
    settings->setRowStretch(row, 1);

    // The direction buttons as a cross: elevation up and down, azimuth down (left) and up (right).
    auto* cross = new QGridLayout;
    cross->setSpacing(4);
    const int places[4][2] = {{0, 1}, {1, 2}, {2, 1}, {1, 0}};
    const QColor colour = palette().color(QPalette::ButtonText);
    for (int d = 0; d < 4; ++d) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString("cmdDIR_%1").arg(d));
        b->setToolTip(kDirections[d].tip);
        b->setIcon(arrowIcon(kDirections[d].degrees, colour));
        b->setIconSize(QSize(kIconSize, kIconSize));
        b->setFixedSize(kIconSize + 14, kIconSize + 14);
        connect(b, &QToolButton::clicked, this, [this, d] { cmdDIR_Click(d); });
        cmdDIR_[d] = b;
        cross->addWidget(b, places[d][0], places[d][1]);
    }

    auto* position = new QGridLayout;
    position->setHorizontalSpacing(6);
    position->addWidget(label("lblAz", "   Az", text3_), 0, 0);
    position->addWidget(text3_, 0, 1);
    position->addWidget(label("lblEl", "   El", text4_), 1, 0);
    position->addWidget(text4_, 1, 1);

    cmdStopRst_ = new QPushButton("Stop/Reset", this);
    cmdStopRst_->setObjectName("cmdStopRst");
    cmdStopRst_->setToolTip("Stop scan or Reset scan start point");
    cmdStopRst_->setAutoDefault(false);
    cmdStopRst_->setMinimumWidth(cmdStopRst_->fontMetrics().horizontalAdvance("Stop/Reset") + 28);
    connect(cmdStopRst_, &QPushButton::clicked, this, &frmScan::cmdStopRst_Click);
    cmdExit_ = new QPushButton("Exit", this);
    cmdExit_->setObjectName("cmdExit");
    cmdExit_->setToolTip("Close Dialog but keep entered values active");
    cmdExit_->setAutoDefault(false);
    connect(cmdExit_, &QPushButton::clicked, this, &frmScan::cmdExit_Click);

    auto* right = new QVBoxLayout;
    right->addLayout(cross);
    right->addLayout(position);
    right->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addLayout(settings);
    top->addLayout(right);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdStopRst_);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit_);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->addLayout(top);
    outer->addLayout(buttons);

    setTabOrder(txtScan_, text2_);
    setTabOrder(text2_, txtRate_);
    setTabOrder(txtRate_, txtN8_);
    setTabOrder(txtN8_, combo1_);
    setTabOrder(combo1_, cmdDIR_[0]);
    setTabOrder(cmdDIR_[0], cmdDIR_[1]);
    setTabOrder(cmdDIR_[1], cmdDIR_[2]);
    setTabOrder(cmdDIR_[2], cmdDIR_[3]);
    setTabOrder(cmdDIR_[3], cmdStopRst_);
    setTabOrder(cmdStopRst_, cmdExit_);
}

frmScan::Fields frmScan::fields() const
{
    return {scan_.scanRate, scan_.stopDegrees, scan_.rateMs, scan_.n8, int(scan_.mode)};
}

void frmScan::showFields(bool force)
{
    const Fields now = fields();
    if (force || now.scanRate != shown_.scanRate)
        txtScan_->setText(rateText(now.scanRate));
    if (force || now.stopDegrees != shown_.stopDegrees)
        text2_->setText(plainText(now.stopDegrees));
    if (force || now.rateMs != shown_.rateMs)
        txtRate_->setText(QString::number(now.rateMs));
    if (force || now.n8 != shown_.n8)
        txtN8_->setText(QString::number(now.n8));
    if (force || now.mode != shown_.mode)
        combo1_->setCurrentIndex(now.mode);
    shown_ = now;
}

void frmScan::refresh()
{
    setWindowTitle(QString::fromStdString(scan_.caption()));
    cmdStopRst_->setText(QString::fromStdString(scan_.stopResetCaption()));
    cmdStopRst_->setToolTip(QString::fromStdString(scan_.stopResetTip()));
    text3_->setText(QString::fromStdString(scan_.azText()));
    text4_->setText(QString::fromStdString(scan_.elText()));
    // Only what changed elsewhere: what is being typed stays as it is.
    showFields(false);
}

bool frmScan::feed(bool report)
{
    QString problem;
    const auto fail = [&problem](const char* text) {
        if (problem.isEmpty())
            problem = QString::fromLatin1(text);
    };
    const auto rate = number(txtScan_);
    if (rate && *rate >= 0)
        scan_.scanRate = *rate;
    else
        fail("Scan Rate: enter the degrees per second, a number of 0 or more.");
    const auto degrees = number(text2_);
    if (degrees && *degrees >= 0)
        scan_.stopDegrees = *degrees;
    else
        fail("Auto Stop Degrees: enter the degrees to scan, a number of 0 or more (0: no auto stop).");
    const auto ms = number(txtRate_);
    if (ms && *ms >= 1 && *ms <= kMaxRateMs)
        scan_.rateMs = int(*ms);
    else
        fail("Rate mS: enter the milliseconds between targets, a number from 1 to 65535.");
    const auto n8 = number(txtN8_);
    if (n8 && *n8 == std::floor(*n8) && std::fabs(*n8) <= 32767)
        scan_.n8 = int(*n8);
    else
        fail("N8: enter a whole number.");
    scan_.mode = PatternScan::Mode(combo1_->currentIndex());
    shown_ = fields();
    if (!problem.isEmpty() && report && showMessage)
        showMessage(problem);
    return problem.isEmpty();
}

void frmScan::cmdDIR_Click(int direction)
{
    if (!feed(true))
        return;
    scan_.cmdDIR_Click(direction);
}

void frmScan::cmdStopRst_Click() { scan_.cmdStopRst_Click(); }

void frmScan::exit()
{
    feed(false); // the values entered are kept, and saved, as far as they are valid
    scan_.Stop();
    scan_.saveOptions(store_);
    emit closed();
}

void frmScan::cmdExit_Click()
{
    cmdExit_->setFocus();
    hide();
    exit();
}

void frmScan::showEvent(QShowEvent* e)
{
    if (!loaded_) {
        loaded_ = true;
        // A scan the front panel's arrows started goes on; otherwise the start point is the
        // antenna's position now.
        if (!scan_.running())
            scan_.Load();
        scan_.loadOptions(store_);
        showFields(true);
        refresh();
    }
    QWidget::showEvent(e);
}

void frmScan::closeEvent(QCloseEvent* e)
{
    // Closing only hides the window (it is never destroyed by it).
    if (isVisible())
        exit();
    e->accept();
}

void frmScan::keyPressEvent(QKeyEvent* e)
{
    if (helpKey(e, openHelp, kHelpPage))
        return;
    QWidget::keyPressEvent(e);
}
