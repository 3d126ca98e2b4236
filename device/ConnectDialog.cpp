#include "device/ConnectDialog.h"

#include "app/MainFrame.h"
#include "app/MessageReporter.h"
#include "device/AdapterList.h"
#include "device/DeviceLibrary.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

class CConnectDlg::Busy {
public:
    explicit Busy(CConnectDlg &dialog) : m_dialog(dialog) { ++m_dialog.m_busy; }
    ~Busy()
    {
        if (--m_dialog.m_busy == 0 && m_dialog.m_disposed)
            m_dialog.deleteLater();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    CConnectDlg &m_dialog;
};

CConnectDlg::CConnectDlg(CMainFrame *frame, QWidget *parent) : QDialog(parent), m_frame(frame)
{
    setWindowTitle(QStringLiteral("Connection Setting"));
    setModal(false);

    m_devices = new QComboBox(this);
    m_devices->setMinimumContentsLength(40);
    m_devices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Device"), m_devices);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CConnectDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CConnectDlg::dispose()
{
    m_disposed = true;
    if (m_busy == 0)
        deleteLater();
}

void CConnectDlg::RefreshDeviceList()
{
    const Busy busy(*this);
    m_devices->clear();
    const std::vector<std::string> entries = readAdapterEntries(m_frame->deviceLibrary());
    if (entries.empty()) {
        hide();
        m_frame->messageReporter().showMessage(MessageIcon::Error, "Cannot find device(s)");
        reject();
        return;
    }
    for (const std::string &entry : entries)
        m_devices->addItem(QString::fromLocal8Bit(entry.c_str()));
    m_devices->setCurrentIndex(0);
}

void CConnectDlg::OnOK()
{
    const Busy busy(*this);
    const int index = m_devices->currentIndex();
    if (index < 0)
        return;
    if (m_frame->ConnectAdapter(index, m_devices->currentText()))
        accept();
}
