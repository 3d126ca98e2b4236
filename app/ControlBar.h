#pragma once

#include "capture/StoreInterfaces.h"
#include "device/ConnectDialog.h"
#include "device/SetupDialog.h"
#include "display/FrameListView.h"

#include <QPointer>
#include <QWidget>

class CIconButton;
class CMainFrame;
class CVEXODoc;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The bar along the top of the main window: connect and disconnect, the Tx
// and Rx counters, Clear, paging, the display mode and the adapter setup.
class CBarDlg : public QWidget, public ControlBarLink, public PageButtons {
    Q_OBJECT

public:
    CBarDlg(CMainFrame *frame, CVEXODoc *document, CVEXOView *view, QWidget *parent = nullptr);

    // What the store writes into the bar.
    void SetCounters(int tx, int rx) override;
    void SetPageCountText(const std::string &text) override;
    void SetPageFieldText(const std::string &text) override;
    // What the view's navigation state sets.
    void enablePageButtons(bool previous, bool next) override;
    // Connect disabled while connected; Disconnect and Setup only then.
    void EnableLinkButtons(bool connected);

    void OnConnect();
    void OnDisconnect();
    void OnClear();
    void OnDisplayMode();
    void OnPreviousPage();
    void OnNextPage();
    void OnGo();
    void OnSetup();

    CConnectDlg *connectDialog() const { return m_connectDialog; }
    CSetupDlg *setupDialog() const { return m_setupDialog; }
    CIconButton *connectButton() const { return m_connect; }
    CIconButton *disconnectButton() const { return m_disconnect; }
    QPushButton *clearButton() const { return m_clear; }
    QPushButton *goButton() const { return m_go; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *setupButton() const { return m_setup; }
    QRadioButton *indexListButton() const { return m_indexList; }
    QRadioButton *idListButton() const { return m_idList; }
    QLineEdit *pageBox() const { return m_pageBox; }
    QString pageCountText() const;
    QString txText() const;
    QString rxText() const;

signals:
    // The capture was cleared by the user.
    void cleared();

private:
    void placeBesideView(QWidget *dialog) const;

    CMainFrame *m_frame = nullptr;
    CVEXODoc *m_document = nullptr;
    CVEXOView *m_view = nullptr;

    CIconButton *m_connect = nullptr;
    CIconButton *m_disconnect = nullptr;
    QLabel *m_txCounter = nullptr;
    QLabel *m_rxCounter = nullptr;
    QPushButton *m_clear = nullptr;
    QLineEdit *m_pageBox = nullptr;
    QLineEdit *m_pageCount = nullptr;
    QPushButton *m_go = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QRadioButton *m_indexList = nullptr;
    QRadioButton *m_idList = nullptr;
    QPushButton *m_setup = nullptr;

    int m_displayRadio = 0; // 0 index list, 1 ID list
    QPointer<CConnectDlg> m_connectDialog;
    QPointer<CSetupDlg> m_setupDialog;
};
