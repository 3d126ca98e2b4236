#pragma once

#include <QDialog>

#include <memory>

class CVEXODoc;
class CVEXOView;
class FilterIdLists;
class MessageReporter;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// "Filtering setup": which stored frames the frame list shows. Selection mode
// hides the frames of the identifiers moved to "Excluded ID"; Range mode hides
// standard and extended frames outside an identifier range. OK rebuilds the
// display list once and shows its first page; Cancel changes nothing.
class CFilterDlg : public QDialog {
    Q_OBJECT

public:
    CFilterDlg(CVEXODoc &doc, CVEXOView &view, MessageReporter *messages,
               QWidget *parent = nullptr);
    ~CFilterDlg() override;

    QRadioButton *selectionButton() const { return m_selection; }
    QRadioButton *rangeButton() const { return m_range; }
    QListWidget *includedList() const { return m_included; }
    QListWidget *excludedList() const { return m_excluded; }
    QPushButton *excludeButton() const { return m_exclude; }
    QPushButton *includeButton() const { return m_include; }
    QCheckBox *standardBox() const { return m_standard; }
    QCheckBox *extendedBox() const { return m_extended; }
    QLineEdit *standardFrom() const { return m_standardFrom; }
    QLineEdit *standardTo() const { return m_standardTo; }
    QLineEdit *extendedFrom() const { return m_extendedFrom; }
    QLineEdit *extendedTo() const { return m_extendedTo; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void createControls();
    void EnableModeControls();
    void OnExclude();
    void OnInclude();
    void CheckRangeFields();
    void OnOK();
    void showLists();

    CVEXODoc &m_doc;
    CVEXOView &m_view;
    MessageReporter *m_messages = nullptr;
    std::unique_ptr<FilterIdLists> m_lists;
    bool m_checking = false;

    QRadioButton *m_selection = nullptr;
    QRadioButton *m_range = nullptr;
    QListWidget *m_included = nullptr;
    QListWidget *m_excluded = nullptr;
    QPushButton *m_exclude = nullptr;
    QPushButton *m_include = nullptr;
    QCheckBox *m_standard = nullptr;
    QCheckBox *m_extended = nullptr;
    QLineEdit *m_standardFrom = nullptr;
    QLineEdit *m_standardTo = nullptr;
    QLineEdit *m_extendedFrom = nullptr;
    QLineEdit *m_extendedTo = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
