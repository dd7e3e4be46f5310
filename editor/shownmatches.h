#ifndef SHOWNMATCHES_H
#define SHOWNMATCHES_H

#include "editor/combinationfilter.h"

#include <QElapsedTimer>
#include <QList>

#include <vector>

QT_BEGIN_NAMESPACE
class QScrollArea;
class QTimer;
class QVBoxLayout;
class QWidget;
QT_END_NAMESPACE

class KeyConfig;

// Shows the editors of a list that a filter matches and hides the others. In a list on
// screen, a change is made at once only for the first two screenfuls, scrolled to the top;
// the rest follows in batches of a few milliseconds from the event loop, below the view.
// Meanwhile the list keeps the size it will have, its layout is off and its scroll area's
// layout requests are held, so that nothing in view moves or is painted again after the
// first screenfuls: the window answers each key at once.
class ShownMatches
{
public:
    // editors: the list's editors in screen order, in layout (of container, in view).
    ShownMatches(QScrollArea *view, QWidget *container, QVBoxLayout *layout,
                 const QList<KeyConfig *> &editors);
    ~ShownMatches();

    // False when it shows and hides the same editors as before.
    bool setFilter(const CombinationFilter &filter);
    const CombinationFilter &filter() const { return m_filter; }
    // Whether the filter leaves out what the editor holds.
    bool leavesOut(const KeyConfig *editor) const;
    // The editors shown, or to be shown once the batches are done.
    qsizetype shownCount() const;
    // Makes the rest of the change at once: before the list's editors change.
    void finish();

private:
    void showBatch();
    void show(KeyConfig *editor, bool shown);
    int belowEnd() const;
    bool sizeStands() const;

    QScrollArea *m_view;
    QWidget *m_container;
    QVBoxLayout *m_layout;
    const QList<KeyConfig *> &m_editors;
    CombinationFilter m_filter;
    QTimer *m_timer;
    QObject *m_holdScrollArea; // filters the scroll area's layout requests while batches run
    // While a change is made in batches: whether each editor is to be shown, and the first
    // one not done yet.
    std::vector<bool> m_wanted;
    qsizetype m_next = 0;
    QElapsedTimer m_settling; // since the last batch's layout
};

#endif // SHOWNMATCHES_H
