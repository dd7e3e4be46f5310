#include "editor/shownmatches.h"

#include "editor/keyconfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// What a batch from the event loop may take, and how many editors it changes between
// looks at the clock.
constexpr qint64 batchNs = 8000000;
constexpr qsizetype batchStep = 32;
// The first batch waits until the editors in view have been painted and have made their
// widgets (painted once more), so that no batch delays what the user sees.
constexpr int firstBatchDelayMs = 40;

// Holds back the layout requests of a scroll area while a change is made in batches: the
// scroll area would measure the whole list after each batch, though its height is kept.
class HoldLayoutRequests : public QObject
{
public:
    HoldLayoutRequests(QObject *parent, const bool &holding)
        : QObject(parent)
        , m_holding(holding)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::LayoutRequest && m_holding;
    }

private:
    const bool &m_holding;
};
} // namespace

ShownMatches::ShownMatches(QScrollArea *view, QWidget *container, QVBoxLayout *layout,
                           const QList<KeyConfig *> &editors)
    : m_view(view)
    , m_container(container)
    , m_layout(layout)
    , m_editors(editors)
    , m_timer(new QTimer(container))
    , m_holdScrollArea(new HoldLayoutRequests(view, m_holding))
{
    view->installEventFilter(m_holdScrollArea);
    view->viewport()->installEventFilter(m_holdScrollArea);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, container, [this] { showBatch(); });
}

// The filter refers to m_wanted, and the timer to this: both go first.
ShownMatches::~ShownMatches()
{
    delete m_holdScrollArea;
    delete m_timer;
}

bool ShownMatches::leavesOut(const KeyConfig *editor) const
{
    return m_filter.isActive() && !m_filter.matches(editor->keys(), editor->replacement());
}

qsizetype ShownMatches::shownCount() const
{
    if (!m_wanted.empty())
        return std::count(m_wanted.cbegin(), m_wanted.cend(), true);
    return std::count_if(m_editors.cbegin(), m_editors.cend(),
                         [](const KeyConfig *editor) { return !editor->isHidden(); });
}

// Below the list's end, out of view: where an editor waits for the layout to place it.
int ShownMatches::belowEnd() const
{
    return m_container->height();
}

void ShownMatches::show(KeyConfig *editor, bool shown)
{
    editor->setHidden(!shown);
    // Qt asks each widget it shows to repaint itself, and the next paint then takes each of
    // those widgets through all its siblings: thousands of editors shown at once would take
    // seconds. What is in view is repainted as a whole instead.
    QCoreApplication::removePostedEvents(editor, QEvent::UpdateLater);
    for (QWidget *child : editor->findChildren<QWidget *>())
        QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
}

bool ShownMatches::setFilter(const CombinationFilter &filter)
{
    m_filter = filter;
    const qsizetype count = m_editors.size();
    std::vector<bool> wanted(size_t(count), false);
    qsizetype changes = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const KeyConfig *editor = m_editors.at(i);
        wanted[size_t(i)] = m_filter.matches(editor->keys(), editor->replacement());
        changes += editor->isHidden() == wanted[size_t(i)];
    }
    if (changes == 0 && m_wanted.empty())
        return false;

    // Laid out once, not per editor; in batches, only once the last is done.
    m_layout->setEnabled(false);
    if (!m_container->isVisible()) { // nothing to see: all at once
        m_wanted = std::move(wanted);
        m_next = 0;
        finish();
        return true;
    }

    // The height the list will have, kept while the batches run, so that the scroll bar
    // stays as it will be.
    // The same for its width, which the widest editor shown sets.
    int height = 0;
    int width = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (wanted[size_t(i)]) {
            height += m_editors.at(i)->sizeHint().height();
            width = qMax(width, m_editors.at(i)->minimumSizeHint().width());
        }
    }
    const QSize view = m_view->viewport()->size();
    m_holding = true;
    m_container->setMinimumWidth(width);
    m_container->setFixedHeight(qMax(height, view.height()));
    width = qMax(width, view.width());
    m_container->resize(width, qMax(height, view.height())); // and the scroll bars
    m_view->verticalScrollBar()->setValue(0);

    // The first two screenfuls at once, placed as the layout will place them. Editors still
    // shown where an earlier layout put them leave that room: those left out are hidden, the
    // others wait out of view for the layout. The rest is left to the batches.
    const int top = 2 * view.height();
    int y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        KeyConfig *editor = m_editors.at(i);
        const bool shown = wanted[size_t(i)];
        if (shown && y < top) {
            const int editorHeight = editor->sizeHint().height();
            editor->setGeometry(0, y, width, editorHeight);
            if (editor->isHidden())
                show(editor, true);
            y += editorHeight;
        } else if (!editor->isHidden() && editor->y() < top) {
            if (shown)
                editor->move(0, belowEnd());
            else
                show(editor, false);
        }
    }
    m_wanted = std::move(wanted);
    m_next = 0;
    // After what is in view has been painted and has made its widgets.
    m_timer->start(firstBatchDelayMs);
    return true;
}

void ShownMatches::showBatch()
{
    QElapsedTimer clock;
    clock.start();
    const qsizetype count = m_editors.size();
    for (qsizetype step = 0; m_next < count; ++m_next, ++step) {
        if (step % batchStep == 0 && step > 0 && clock.nsecsElapsed() > batchNs)
            break;
        KeyConfig *editor = m_editors.at(m_next);
        const bool shown = m_wanted[size_t(m_next)];
        if (editor->isHidden() != shown)
            continue;
        if (shown)
            editor->move(0, belowEnd()); // out of view until the layout places it
        show(editor, shown);
    }
    if (m_next < count) {
        m_timer->start(0);
        return;
    }
    finish();
}

void ShownMatches::finish()
{
    if (m_wanted.empty())
        return;
    m_timer->stop();
    const qsizetype count = m_editors.size();
    for (; m_next < count; ++m_next) {
        KeyConfig *editor = m_editors.at(m_next);
        if (editor->isHidden() == m_wanted[size_t(m_next)])
            show(editor, m_wanted[size_t(m_next)]);
    }
    m_wanted.clear();
    m_next = 0;
    // The layout places every editor, those in view where they are already.
    m_layout->setEnabled(true);
    m_container->setMinimumSize(0, 0);
    m_container->setMaximumHeight(QWIDGETSIZE_MAX);
    // The requests made while the layout was off went unanswered: laid out now, every editor
    // takes its place, those in view the one they have. The scroll area keeps the size it
    // was given when that is the one it would compute: asked again, it would repaint its
    // scroll bars all the same.
    m_layout->invalidate();
    m_layout->activate();
    // Requests that follow from this layout are held until the event loop runs again.
    if (m_view->viewport()->size().expandedTo(m_container->minimumSizeHint())
        == m_container->size()) {
        QTimer::singleShot(0, m_container, [this] { m_holding = !m_wanted.empty(); });
    } else {
        m_holding = false;
        QCoreApplication::postEvent(m_view, new QEvent(QEvent::LayoutRequest));
    }
}
