#pragma once

#include <QDialog>

class CVEXODoc;
class CVEXOView;
class QComboBox;
class QPushButton;

// "Sorting Setup": orders the frames the frame list shows by frame number or
// identifier, ascending or descending. OK sorts the display list once and
// rebuilds the page at the same page window; Cancel changes nothing.
class CSortDlg : public QDialog {
    Q_OBJECT

public:
    CSortDlg(CVEXODoc &doc, CVEXOView &view, QWidget *parent = nullptr);

    QComboBox *columnBox() const { return m_column; }
    QComboBox *orderBox() const { return m_order; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void OnOK();

    CVEXODoc &m_doc;
    CVEXOView &m_view;
    QComboBox *m_column = nullptr;
    QComboBox *m_order = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
