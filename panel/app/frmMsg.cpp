#include "frmMsg.h"

#include "common/gui/Desktop.h"

#include <QCloseEvent>
#include <algorithm>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

frmMsg::frmMsg(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName("frmMsg");
    setWindowTitle("TAV Remote Panel");
    auto* v = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setObjectName("lblMsg");
    label_->setAlignment(Qt::AlignCenter);
    label_->setMinimumWidth(QFontMetrics(label_->font()).horizontalAdvance("Reading TAV Parameters") + 80);
    bar_ = new QProgressBar(this);
    bar_->setObjectName("ProgressBar1");
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("cmdCancel");
    v->addWidget(label_);
    v->addWidget(bar_);
    v->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (onCancel)
            onCancel();
    });
}

void frmMsg::showWith(const std::string& caption, int maximum)
{
    setCaption(caption);
    bar_->setRange(0, maximum);
    bar_->setValue(0);
    show();
    raise();
}

void frmMsg::setCaption(const std::string& caption) { label_->setText(latin1(caption)); }

void frmMsg::setValue(int value) { bar_->setValue(std::clamp(value, bar_->minimum(), bar_->maximum())); }

void frmMsg::closeEvent(QCloseEvent* e)
{
    // Closing by the title bar is a Cancel; the job hides the window when it has ended.
    if (onCancel)
        onCancel();
    e->ignore();
}
