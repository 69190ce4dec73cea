#include "SerialControls.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSignalBlocker>

SerialControls addSerialControls(QWidget* parent, QBoxLayout* column, const SerialChoices& c)
{
    SerialControls s;
    s.frame = new QGroupBox(c.title, parent);
    s.frame->setObjectName(c.objectName);
    auto* pf = new QFormLayout(s.frame);
    s.cboPort = new QComboBox(s.frame);
    s.cboPort->setObjectName("cboPort");
    for (int i = 1; i <= c.ports; ++i)
        s.cboPort->addItem(QString("Com%1").arg(i));
    s.cboSpeed = new QComboBox(s.frame);
    s.cboSpeed->setObjectName("cboSpeed");
    s.cboSpeed->addItems(c.speeds);
    s.cboDataBits = new QComboBox(s.frame);
    s.cboDataBits->setObjectName("cboDataBits");
    s.cboDataBits->addItems(c.dataBits);
    s.cboParity = new QComboBox(s.frame);
    s.cboParity->setObjectName("cboParity");
    s.cboParity->addItems({"Even", "Odd", "None", "Mark", "Space"});
    s.cboStopBits = new QComboBox(s.frame);
    s.cboStopBits->setObjectName("cboStopBits");
    s.cboStopBits->addItems(c.stopBits);
    pf->addRow("Port:", s.cboPort);
    pf->addRow("Baud:", s.cboSpeed);
    pf->addRow("Data Bits:", s.cboDataBits);
    pf->addRow("Parity:", s.cboParity);
    pf->addRow("Stop Bits:", s.cboStopBits);
    column->addWidget(s.frame);

    auto* flow = new QGroupBox("&Flow Control", parent);
    flow->setObjectName("fraFlow");
    auto* fl = new QVBoxLayout(flow);
    const char* flows[] = {"None", "Xon/Xoff", "RTS", "Xon/RTS"};
    for (int i = 0; i < 4; ++i) {
        s.optFlow[i] = new QRadioButton(flows[i], flow);
        s.optFlow[i]->setObjectName(QString("optFlow_%1").arg(i));
        fl->addWidget(s.optFlow[i]);
    }
    column->addWidget(flow);
    return s;
}

void fillPortList(QComboBox* cboPort, const std::vector<common::PortChoice>& choices)
{
    const int current = cboPort->currentIndex();
    const QSignalBlocker quiet(cboPort);
    cboPort->clear();
    for (const auto& c : choices) {
        cboPort->addItem(QString::fromStdString(c.text()));
        cboPort->setItemData(cboPort->count() - 1, QString::fromStdString(c.details()), Qt::ToolTipRole);
    }
    cboPort->setCurrentIndex(current < cboPort->count() ? current : -1);
    // The list is as wide as its longest entry, so no description is cut.
    cboPort->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}
