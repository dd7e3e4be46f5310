#include "editor/keyboardpage.h"

#include "editor/findrow.h"
#include "editor/importexport.h"
#include "editor/keyconfigset.h"
#include "editor/undobar.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

KeyboardPage::KeyboardPage(KeyConfigSet *list, QVBoxLayout *column)
    : QObject(list)
{
    undoBar = new UndoBar(list);
    column->insertWidget(0, undoBar);
    findRow = new FindRow(list);
    column->insertLayout(0, findRow->layout());
    importExport = new ImportExport(list, findRow->layout(), undoBar);
    // Tab follows the page as it reads, whatever the order of making: the find row, then
    // "Undo" while the bar is shown.
    QWidget::setTabOrder(importExport->exportButton(), undoBar->button());

    // A combination added or imported takes the offer back and is shown, whatever the
    // find row held.
    connect(list, &KeyConfigSet::aboutToAdd, this, [this] {
        undoBar->drop();
        findRow->clear();
    });
    connect(list, &KeyConfigSet::shownChanged, this, [this] { findRow->updateCount(); });
    connect(list, &KeyConfigSet::deleted, this,
            [this, list](qsizetype place, const KeyConfig::Content &content, bool hadFocus) {
                undoBar->offer(tr("Combination %1 deleted.").arg(place + 1),
                               [this, list, place, content] {
                                   undoBar->drop(list->restore(place, content)->deleteButton());
                               });
                // Not to the next widget in the chain, which may be a capture button that
                // would take the next key (Ctrl+Z included).
                if (hadFocus)
                    undoBar->button()->setFocus();
            });
}
