#ifndef KEYBOARDPAGE_H
#define KEYBOARDPAGE_H

#include <QCoreApplication>
#include <QObject>

QT_BEGIN_NAMESPACE
class QVBoxLayout;
QT_END_NAMESPACE

class FindRow;
class ImportExport;
class KeyConfigSet;
class UndoBar;

// The Physical Keyboard page around a list of key combinations: from the top, the find row
// with "Import…" and "Export…" at its end, the undo bar, then the list and its "Add Key
// Combination" (in column). It makes the parts and joins them to the list.
class KeyboardPage : public QObject
{
    // Its texts keep the context of the list they were first written for.
    Q_DECLARE_TR_FUNCTIONS(KeyConfigSet)

public:
    KeyboardPage(KeyConfigSet *list, QVBoxLayout *column);

    UndoBar *undoBar = nullptr;
    FindRow *findRow = nullptr;
    ImportExport *importExport = nullptr;
};

#endif // KEYBOARDPAGE_H
