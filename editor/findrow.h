#ifndef FINDROW_H
#define FINDROW_H

#include "mapping/xmlparser.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>

QT_BEGIN_NAMESPACE
class QHBoxLayout;
class QLabel;
class QLineEdit;
QT_END_NAMESPACE

class InputButton;
class KeyConfigSet;

// The find row above the list: the find field, the count of what is shown ("%1 of %2",
// only while a filter is in force) and "Press Keys", which takes keys as a capture button
// does and shows the combinations whose keys begin with them. The list shows what the
// filter matches. Other controls of the page are appended to layout().
class FindRow : public QObject
{
    // Its texts keep the context of the list they were first written for.
    Q_DECLARE_TR_FUNCTIONS(KeyConfigSet)

public:
    // Its widgets are the list's children; Ctrl+F, while the page is shown, goes to the field.
    explicit FindRow(KeyConfigSet *list);

    QHBoxLayout *layout() const { return m_row; }
    // Empties the field, ends "Press Keys" and shows every combination.
    void clear();
    // Counted in the whole list, built or not.
    void updateCount();

private:
    void startKeyFilter();
    void endKeyFilter();

    KeyConfigSet *m_list;
    QHBoxLayout *m_row = nullptr;
    QLineEdit *m_edit = nullptr;
    QLabel *m_count = nullptr;
    InputButton *m_pressKeysButton = nullptr; // checked while it takes keys for the filter
    QList<XmlParser::Key> m_pressedKeys;
};

#endif // FINDROW_H
