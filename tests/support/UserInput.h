#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QTest>

// Chooses an item as the user does: the list shows it, then says so.
inline void choose(QComboBox *list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Replaces a field's text by typing, as the user does.
inline void retype(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}
