#include "editor/shownmatches.h"

#include "editor/keyconfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {
// What a batch from the event loop may take, and how many editors it changes between
// looks at the clock.
constexpr qint64 batchNs = 8000000;
constexpr qsizetype batchStep = 32;
// The first batch waits until the editors in view have been painted and have made their
// widgets (painted once more), so that no batch delays what the user sees.
constexpr int firstBatchDelayMs = 40;
// How long after the last batch the requests that follow from the last layout may come.
constexpr qint64 settleMs = 200;

// The smallest size a box layout gives the widget: its minimum size hint where its size
// policy lets it shrink, else its size hint, and an explicit minimum size over both.
QSize layoutMinimum(const QWidget *widget)
{
    const QSizePolicy policy = widget->sizePolicy();
    const QSize hint = widget->sizeHint();
    const QSize minimumHint = widget->minimumSizeHint();
    QSize size((policy.horizontalPolicy() & QSizePolicy::ShrinkFlag)
                   ? minimumHint.width()
                   : qMax(hint.width(), minimumHint.width()),
               (policy.verticalPolicy() & QSizePolicy::ShrinkFlag)
                   ? minimumHint.height()
                   : qMax(hint.height(), minimumHint.height()));
    size = size.boundedTo(widget->maximumSize());
    if (widget->minimumWidth() > 0)
        size.setWidth(widget->minimumWidth());
    if (widget->minimumHeight() > 0)
        size.setHeight(widget->minimumHeight());
    return size;
}

// Holds back the layout requests of a scroll area while holds() says so: the scroll area
// would measure the whole list after each batch, though its height is kept, and repaints its
// scroll bars for every request.
class HoldLayoutRequests : public QObject
{
public:
    HoldLayoutRequests(QObject *parent, std::function<bool()> holds)
        : QObject(parent)
        , m_holds(std::move(holds))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::LayoutRequest && m_holds();
    }

private:
    std::function<bool()> m_holds;
};
} // namespace

ShownMatches::ShownMatches(QScrollArea *view, QWidget *container, QVBoxLayout *layout,
                           const QList<KeyConfig *> &editors)
    : m_view(view)
    , m_container(container)
    , m_layout(layout)
    , m_editors(editors)
    , m_timer(new QTimer(container))
    , m_holdScrollArea(new HoldLayoutRequests(view, [this] {
        return !m_wanted.empty() || (m_settling.isValid() && !m_settling.hasExpired(settleMs)
                                     && sizeStands());
    }))
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
    bool anyWanted = false;
    for (qsizetype i = 0; i < count; ++i) {
        const KeyConfig *editor = m_editors.at(i);
        wanted[size_t(i)] = m_filter.matches(editor->keys(), editor->replacement());
        changes += editor->isHidden() == wanted[size_t(i)];
        anyWanted = anyWanted || wanted[size_t(i)];
    }
    if (changes == 0 && m_wanted.empty())
        return false;

    // Laid out once, not per editor; in batches, only once the last is done.
    m_layout->setEnabled(false);
    // Nothing to see, or nothing left to show: all at once. An empty list takes the view's
    // size, which the scroll area learns only from the laid-out list: held until the
    // batches are done, it would change after the first paint.
    if (!m_container->isVisible() || !anyWanted) {
        m_wanted = std::move(wanted);
        m_next = 0;
        finish();
        return true;
    }

    // The size the list will have, kept while the batches run, so that the scroll bars stay
    // as they will be: the scroll area gives it its minimum height, or the view's, and the
    // width of the widest editor shown, but no less than the list's width now: an editor
    // whose widgets are not made yet is narrower than it will be once they are, in view. A
    // list whose widest editor is left out narrows once the batches are done.
    int hintHeight = 0;
    int minimumHeight = 0;
    int width = m_container->minimumSizeHint().width();
    for (qsizetype i = 0; i < count; ++i) {
        if (wanted[size_t(i)]) {
            const KeyConfig *editor = m_editors.at(i);
            const QSize minimum = layoutMinimum(editor);
            hintHeight += editor->sizeHint().height();
            minimumHeight += minimum.height();
            width = qMax(width, minimum.width());
        }
    }
    QSize view = m_view->viewport()->size();
    int height = qMax(minimumHeight, view.height());
    // Each editor then takes its minimum height, or its preferred one where the view has room
    // for all; between the two, the layout shares the room out, and the change is made at once.
    const bool minimal = height < hintHeight;
    if (minimal && height != minimumHeight) {
        m_wanted = std::move(wanted);
        m_next = 0;
        finish();
        return true;
    }
    m_container->setMinimumWidth(width);
    m_container->setFixedHeight(height);
    // The scroll area takes that size now, and shows or hides its scroll bars for it.
    m_wanted.clear();
    QEvent layoutRequest(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(m_view, &layoutRequest);
    if (m_view->viewport()->size() != view) { // the view's height counts where the list is short
        view = m_view->viewport()->size();
        height = qMax(minimumHeight, view.height());
        m_container->setFixedHeight(height);
        QCoreApplication::sendEvent(m_view, &layoutRequest);
    }
    width = m_container->width();
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
            const int editorHeight =
                minimal ? layoutMinimum(editor).height() : editor->sizeHint().height();
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
    // Requests that follow from this layout are held for a moment while the size stands.
    if (sizeStands()) {
        m_settling.start();
    } else {
        m_settling.invalidate();
        QCoreApplication::postEvent(m_view, new QEvent(QEvent::LayoutRequest));
    }
}

// The list has the size the scroll area would give it.
bool ShownMatches::sizeStands() const
{
    return m_view->viewport()->size().expandedTo(m_container->minimumSizeHint())
        == m_container->size();
}
