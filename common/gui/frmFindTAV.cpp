#include "frmFindTAV.h"

#include "Desktop.h"

#include "common/SettingsStore.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

std::string bytes(const QString& s) { return s.toLatin1().toStdString(); }

} // namespace

frmFindTAV::frmFindTAV(FindTavSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)), discovery_(setup_.network, setup_.makeSocket)
{
    setObjectName("frmFindTAV");
    setWindowTitle("Find TAVs");
    setAttribute(Qt::WA_DeleteOnClose); // closing unloads the window and closes its socket
    setProperty("toolWindow", true);    // raised by "Bring Active Tools to Front"
    build();

    // The terminal fills the boxes from its stored search settings.
    QString address = setup_.defaultAddress;
    QString port = QString::fromLatin1(common::kFindTavsDefaultPort);
    if (setup_.store) {
        address = latin1(setup_.store->get(common::kFindTavsSection, common::kFindTavsAddressKey, bytes(address)));
        port = latin1(setup_.store->get(common::kFindTavsSection, common::kFindTavsPortKey, bytes(port)));
    }
    txtIPAddress_->setText(address);
    txtPort_->setText(port);

    discovery_.onChanged = [this] { showList(); };
    discovery_.onError = [this](const std::string& text) { message(latin1(text)); };
}

frmFindTAV::~frmFindTAV()
{
    discovery_.onChanged = nullptr;
    discovery_.onError = nullptr;
    discovery_.close();
}

void frmFindTAV::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->setSpacing(8);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);

    cmdFind_ = new QPushButton("Find All local TAVs", this);
    cmdFind_->setObjectName("cmdFind");
    cmdFind_->setToolTip("Broadcast search on Local Area Network only");
    connect(cmdFind_, &QPushButton::clicked, this, &frmFindTAV::cmdFind_Click);

    auto* lblIP = new QLabel("IP Address", this);
    lblIP->setObjectName("lblIPAddress");
    txtIPAddress_ = new QLineEdit(this);
    txtIPAddress_->setObjectName("txtIPAddress");
    txtIPAddress_->setMinimumWidth(QFontMetrics(txtIPAddress_->font()).horizontalAdvance("255.255.255.255") + 24);
    lblIP->setBuddy(txtIPAddress_);
    // Enter in the address box searches that address.
    connect(txtIPAddress_, &QLineEdit::returnPressed, this, [this] { cmdFindSpec_Click(); });

    auto* lblPort = new QLabel("Port Number", this);
    lblPort->setObjectName("lblPortNumber");
    txtPort_ = new QLineEdit(this);
    txtPort_->setObjectName("txtPort");
    txtPort_->setMaximumWidth(QFontMetrics(txtPort_->font()).horizontalAdvance("000000") + 24);
    lblPort->setBuddy(txtPort_);

    cmdFindSpec_ = new QPushButton("Find Specific TAV", this);
    cmdFindSpec_->setObjectName("cmdFindSpec");
    cmdFindSpec_->setToolTip("This search is routable to Remote TAVs");
    connect(cmdFindSpec_, &QPushButton::clicked, this, &frmFindTAV::cmdFindSpec_Click);

    grid->addWidget(lblIP, 0, 0);
    grid->addWidget(txtIPAddress_, 0, 1);
    grid->addWidget(cmdFindSpec_, 0, 2);
    grid->addWidget(lblPort, 1, 0);
    grid->addWidget(txtPort_, 1, 1, Qt::AlignLeft);
    grid->addWidget(cmdFind_, 1, 2);
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);

    auto* lblList = new QLabel("List of All TAVs Found", this);
    lblList->setObjectName("lblList");
    outer->addWidget(lblList);
    List1_ = new QListWidget(this);
    List1_->setObjectName("List1");
    List1_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    List1_->setSelectionMode(QAbstractItemView::SingleSelection);
    List1_->setMinimumHeight(140);
    List1_->viewport()->installEventFilter(this);
    List1_->installEventFilter(this);
    lblList->setBuddy(List1_);
    outer->addWidget(List1_, 1);
    auto* lblHint = new QLabel("Double Click on Address to open Web Page", this);
    lblHint->setObjectName("lblDblClick");
    outer->addWidget(lblHint);

    auto* buttons = new QHBoxLayout;
    cndUseIP_ = new QPushButton("Configure Port", this);
    cndUseIP_->setObjectName("cndUseIP");
    cndUseIP_->setToolTip("Manually Configure Port Properties");
    cndUseIP_->setEnabled(bool(setup_.configurePort));
    connect(cndUseIP_, &QPushButton::clicked, this, &frmFindTAV::cndUseIP_Click);
    buttons->addWidget(cndUseIP_);
    buttons->addStretch(1);
    const char* exitCaptions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QPushButton(exitCaptions[i], this);
        b->setObjectName(QString("cmdExit_%1").arg(i));
        connect(b, &QPushButton::clicked, this, [this, i] { cmdExit_Click(i); });
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);

    setTabOrder(txtIPAddress_, txtPort_);
    setTabOrder(txtPort_, cmdFindSpec_);
    setTabOrder(cmdFindSpec_, cmdFind_);
    setTabOrder(cmdFind_, List1_);
    setTabOrder(List1_, cndUseIP_);
}

void frmFindTAV::showList()
{
    const auto& found = discovery_.found();
    // Answers only ever add to the end; a search clears the list first.
    if (found.size() < size_t(List1_->count()))
        List1_->clear();
    for (size_t i = size_t(List1_->count()); i < found.size(); ++i)
        List1_->addItem(latin1(found[i]));
}

void frmFindTAV::message(const QString& text)
{
    if (setup_.message) {
        setup_.message(text);
        return;
    }
    QMessageBox box(this);
    box.setWindowTitle(setup_.messageTitle.isEmpty() ? windowTitle() : setup_.messageTitle);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void frmFindTAV::cmdFind_Click() { discovery_.findAll(bytes(txtPort_->text())); }

void frmFindTAV::cmdFindSpec_Click()
{
    discovery_.findSpecific(bytes(txtIPAddress_->text()), bytes(txtPort_->text()));
}

void frmFindTAV::List1_DblClick()
{
    // The selected address; with none selected the URL is made of an empty address.
    QString address;
    if (auto* item = List1_->currentItem(); item && item->isSelected())
        address = item->text();
    const QString url = latin1(common::webPageUrl(bytes(address)));
    if (setup_.openUrl)
        setup_.openUrl(url);
    else
        QDesktopServices::openUrl(QUrl(url));
    List1_->clearSelection();
    List1_->setCurrentRow(-1);
}

void frmFindTAV::cndUseIP_Click()
{
    if (setup_.configurePort && configureEnabled_)
        setup_.configurePort();
}

void frmFindTAV::setConfigureEnabled(bool on)
{
    configureEnabled_ = on;
    cndUseIP_->setEnabled(on && bool(setup_.configurePort));
}

void frmFindTAV::cmdExit_Click(int index)
{
    if (index == 0 && setup_.store) {
        const bool ok =
            setup_.store->save(common::kFindTavsSection, common::kFindTavsPortKey, bytes(txtPort_->text())) &&
            setup_.store->save(common::kFindTavsSection, common::kFindTavsAddressKey, bytes(txtIPAddress_->text()));
        if (!ok)
            message(latin1(setup_.store->lastError()));
    }
    close();
}

void frmFindTAV::closeEvent(QCloseEvent* e)
{
    discovery_.close();
    e->accept();
}

void frmFindTAV::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_F1:
        if (setup_.openHelp)
            setup_.openHelp(kHelpPage);
        else
            openHelpPage(kHelpPage);
        break;
    case Qt::Key_Escape:
        cmdExit_Click(1);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
}

bool frmFindTAV::eventFilter(QObject* o, QEvent* e)
{
    // A double click anywhere in the list, on an address or not, opens the web page; so does
    // Enter while the list has the focus.
    if (o == List1_->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        List1_DblClick();
        return true;
    }
    if (o == List1_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            List1_DblClick();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}
