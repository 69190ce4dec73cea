#pragma once
// The serial parameter controls both "CommPort Properties" dialogs show: a group of port, speed,
// data bits, parity and stop bits lists, and a "&Flow Control" group of four options. Each
// dialog passes its own list contents and keeps its own logic.
#include "common/Ports.h"

#include <QStringList>
#include <vector>

class QBoxLayout;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QWidget;

struct SerialChoices {
    QString title;      // caption of the parameter group
    QString objectName; // object name of the parameter group
    int ports = 0;      // "Com1" .. "Com<ports>"
    QStringList speeds;
    QStringList dataBits;
    QStringList stopBits;
};

struct SerialControls {
    QGroupBox* frame = nullptr;
    QComboBox* cboPort = nullptr;
    QComboBox* cboSpeed = nullptr;
    QComboBox* cboDataBits = nullptr;
    QComboBox* cboParity = nullptr;
    QComboBox* cboStopBits = nullptr;
    QRadioButton* optFlow[4] = {};
};

// Builds the parameter group and the flow group as children of parent and adds both to column.
SerialControls addSerialControls(QWidget* parent, QBoxLayout* column, const SerialChoices& choices);

// Shows each "Com N" entry with the device it is and what the system says of it, and more in
// its tooltip. The entries keep their order (list index + 1 is the port number) and the
// entry chosen stays chosen.
void fillPortList(QComboBox* cboPort, const std::vector<common::PortChoice>& choices);
