#pragma once

#include "logfile/RecordWriter.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// File → "Record...": where to record, in which format, and whether to begin
// a new numbered file every so many megabytes or minutes.
class RecordDialog : public QDialog {
    Q_OBJECT

public:
    explicit RecordDialog(QWidget *parent = nullptr);

    // What the user chose; the format follows the combo box.
    RecordSettings settings() const;
    void setPath(const QString &path);

    QLineEdit *pathEdit() const { return m_path; }
    QComboBox *formatBox() const { return m_format; }
    QSpinBox *megabytesBox() const { return m_megabytes; }
    QSpinBox *minutesBox() const { return m_minutes; }

    // The format list, in the combo box's order.
    static LogFormat formatAt(int index);

private:
    void browse();
    void formatChosen(int index);

    QLineEdit *m_path = nullptr;
    QComboBox *m_format = nullptr;
    QSpinBox *m_megabytes = nullptr;
    QSpinBox *m_minutes = nullptr;
};
