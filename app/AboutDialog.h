#pragma once

#include <QDialog>

class QLabel;

// The About box: the program's icon, product name and version, and legal line,
// read from the program's version resource.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);

    QString productLine() const;
    QString legalLine() const;

private:
    QLabel *m_product = nullptr;
    QLabel *m_legal = nullptr;
};
