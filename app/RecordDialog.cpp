#include "app/RecordDialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <iterator>

namespace {

struct FormatEntry {
    LogFormat format;
    const char *label;
    const char *extension;
};

// candump and ASC logs first: other tools read them.
constexpr FormatEntry Formats[] = {
    {LogFormat::Candump, "candump log (*.log)", "log"},
    {LogFormat::Asc, "ASC log (*.asc)", "asc"},
    {LogFormat::Binary, "binary log (*.dcu)", "dcu"},
    {LogFormat::Text, "text log (*.txt)", "txt"},
};

int indexOf(LogFormat format)
{
    for (int i = 0; i < static_cast<int>(std::size(Formats)); ++i) {
        if (Formats[i].format == format)
            return i;
    }
    return 0;
}

} // namespace

LogFormat RecordDialog::formatAt(int index)
{
    return Formats[std::clamp(index, 0, static_cast<int>(std::size(Formats)) - 1)].format;
}

RecordDialog::RecordDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Record"));

    m_path = new QLineEdit(this);
    m_path->setMinimumWidth(360);
    auto *browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browseButton, &QPushButton::clicked, this, &RecordDialog::browse);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(browseButton);

    m_format = new QComboBox(this);
    for (const FormatEntry &entry : Formats)
        m_format->addItem(QString::fromLatin1(entry.label));
    connect(m_format, &QComboBox::activated, this, &RecordDialog::formatChosen);
    connect(m_path, &QLineEdit::textEdited, this, [this](const QString &path) {
        m_format->setCurrentIndex(indexOf(logFormatForPath(path.toStdString())));
    });

    auto *note = new QLabel(
        QStringLiteral("All formats are written as the frames come. candump and ASC logs are "
                       "read by other CAN tools too; the binary log keeps its frame count up to "
                       "date after every write and holds at most 2,147,483,647 frames a file."),
        this);
    note->setWordWrap(true);

    m_megabytes = new QSpinBox(this);
    m_megabytes->setRange(0, 1'000'000);
    m_megabytes->setSuffix(QStringLiteral(" MB"));
    m_megabytes->setSpecialValueText(QStringLiteral("never"));
    m_minutes = new QSpinBox(this);
    m_minutes->setRange(0, 10'000);
    m_minutes->setSuffix(QStringLiteral(" minutes"));
    m_minutes->setSpecialValueText(QStringLiteral("never"));
    auto *rotation = new QLabel(
        QStringLiteral("With either set, the files are numbered: name-001.log, name-002.log, ..."),
        this);
    rotation->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Record"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!m_path->text().trimmed().isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("File:"), fileRow);
    form->addRow(QStringLiteral("Format:"), m_format);
    form->addRow(note);
    form->addRow(QStringLiteral("New file every:"), m_megabytes);
    form->addRow(QStringLiteral("or every:"), m_minutes);
    form->addRow(rotation);
    form->addRow(buttons);

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    setPath(QDir::homePath() + QStringLiteral("/vexo-%1.log").arg(stamp));
}

void RecordDialog::setPath(const QString &path)
{
    m_path->setText(path);
    m_format->setCurrentIndex(indexOf(logFormatForPath(path.toStdString())));
}

void RecordDialog::browse()
{
    QStringList filters;
    for (const FormatEntry &entry : Formats)
        filters << QString::fromLatin1(entry.label);
    QString filter = filters.value(m_format->currentIndex());
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Record to"),
                                                      m_path->text(), filters.join(";;"), &filter);
    if (path.isEmpty())
        return;
    QFileInfo info(path);
    const int chosen = filters.indexOf(filter);
    if (info.suffix().isEmpty() && chosen >= 0)
        setPath(path + QLatin1Char('.') + QLatin1String(Formats[chosen].extension));
    else
        setPath(path);
}

void RecordDialog::formatChosen(int index)
{
    // The file name follows the format, as the formats are told by it.
    const QString path = m_path->text();
    QFileInfo info(path);
    const QString extension = QLatin1String(Formats[index].extension);
    if (info.fileName().isEmpty() || info.suffix() == extension)
        return;
    const QString base =
        info.suffix().isEmpty() ? path : path.left(path.size() - info.suffix().size() - 1);
    m_path->setText(base + QLatin1Char('.') + extension);
}

RecordSettings RecordDialog::settings() const
{
    RecordSettings settings;
    settings.path = QDir::cleanPath(m_path->text().trimmed()).toLocal8Bit().toStdString();
    settings.format = formatAt(m_format->currentIndex());
    settings.rotateBytes = static_cast<std::uint64_t>(m_megabytes->value()) * 1'000'000;
    settings.rotateInterval = std::chrono::minutes(m_minutes->value());
    return settings;
}
