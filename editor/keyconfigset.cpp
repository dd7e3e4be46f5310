#include "editor/keyconfigset.h"

#include "editor/announcer.h"
#include "editor/importexport.h"
#include "editor/keyboardpage.h"
#include "editor/keyconfig.h"
#include "editor/undobar.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

KeyConfigSet::KeyConfigSet(QWidget *parent, const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    add();
}

namespace {
// The first batch more than fills the tallest screen; each editor costs about a tenth of
// a millisecond. Later batches are small, so that neither the window's first paint nor
// the user's input waits long for one.
constexpr qsizetype firstBatch = 40;
constexpr qsizetype laterBatch = 25;
// "Add Key Combination" builds a rest of up to this many at once (a few milliseconds),
// so that the new combination is the last one built. Below a longer rest it is added
// at once and the rest is built above it from the event loop.
constexpr qsizetype buildOnAdd = 500;
} // namespace

KeyConfigSet::KeyConfigSet(const QList<XmlParser::KeyConfig> &list, QWidget *parent,
                           const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    queue(list);
    // Shown now, an editor would be styled and measured at once; while the window is
    // being built, that is left until the list is first shown, so that it does not
    // slow the window's start. The editors built later from the event loop are shown
    // at once, so they are ready before the user opens the page.
    m_showWithList = true;
    build(firstBatch);
    m_showWithList = false;
}

void KeyConfigSet::queue(const QList<XmlParser::KeyConfig> &list)
{
    // They go below every editor: nothing stands below the unbuilt ones meanwhile.
    Q_ASSERT(m_addedBelow == 0);
    m_unbuilt.reserve(m_unbuilt.size() + list.size());
    // Combinations built later must find their twins among these, and these theirs; an
    // unbuilt combination is known by its place in all that were ever queued.
    for (const XmlParser::KeyConfig &config : list) {
        m_sameKeys.queue(config, m_unbuiltTaken + m_unbuilt.size(), int(size() + 1));
        m_unbuilt.append(config);
    }
}

void KeyConfigSet::build(qsizetype count)
{
    // Showing an editor in a visible list lays out the whole list again at once; with
    // the layout off while a batch is added, it is laid out once, from the event loop.
    containerLayout->setEnabled(false);
    for (; count > 0 && !m_unbuilt.isEmpty(); --count) {
        const XmlParser::KeyConfig config = m_unbuilt.takeFirst();
        ++m_unbuiltTaken;
        KeyConfig *editor = nullptr;
        if (m_showWithList) {
            editor = new KeyConfig(config.items(), container);
            editor->setReplacement(config.replacement());
        } else { // widgets made once in view, which most of a long list never is
            editor = KeyConfig::deferred(config.items(), config.replacement(), container);
        }
        // It takes the place it had unbuilt: no other number changes.
        insert(unbuiltAt(), editor);
        m_sameKeys.build(editor, config, m_unbuiltTaken - 1);
    }
    if (m_unbuilt.isEmpty())
        m_addedBelow = 0;
    containerLayout->setEnabled(true);
    // A shown list is laid out again whole after each batch: there a batch is a 32nd of what
    // is built, so that all those layouts together cost some 30 of the whole list instead of
    // one per 25 combinations (minutes for 50,000).
    if (!m_unbuilt.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            build(container->isVisible() ? qMax(laterBatch, configs.size() / 32) : laterBatch);
        });
    }
}

// The list and "Add Key Combination" below it; the page puts its other parts around them.
void KeyConfigSet::setup()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    scrollView = new QScrollArea(this);
    // Tab goes through the editors inside, which it scrolls into view; the area itself
    // is no stop of its own.
    scrollView->setFocusPolicy(Qt::NoFocus);
    scrollView->setAccessibleName(tr("Key combinations"));
    column->addWidget(scrollView, 1);

    // A resizable widget takes its preferred size and is stretched to fill the
    // viewport wherever the viewport is larger; scroll bars show only when needed.
    container = new QWidget(scrollView->viewport());
    containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    containerLayout->setSpacing(0); // the editors' own borders and lines set them apart
    containerLayout->addStretch(1);
    scrollView->setWidgetResizable(true);
    scrollView->setWidget(container);
    m_shown = std::make_unique<ShownMatches>(scrollView, container, containerLayout, configs);

    m_addButton = new QPushButton(tr("Add Key Combination"), this);
    column->addWidget(m_addButton);
    connect(m_addButton, &QPushButton::clicked, this, qOverload<>(&KeyConfigSet::add));

    m_page = new KeyboardPage(this, column);
    Announcer::of(this); // for what its editors and the page's parts say
    // Last in the page's tab order; the editors come between the page's parts above the
    // list and it, each placed as it is inserted.
    QWidget::setTabOrder(m_page->undoBar->button(), m_addButton);
}

void KeyConfigSet::add()
{
    const bool wasFiltered = filter().isActive();
    Q_EMIT aboutToAdd(); // the find row shows every combination: the new one is not hidden
    m_shown->finish(); // where the new one lies is known only once the list is laid out
    if (m_unbuilt.size() <= buildOnAdd)
        build(m_unbuilt.size());
    auto *editor = new KeyConfig(container);
    add(editor);
    if (wasFiltered) {
        // The list was just short; where the new one lies is known only once it is laid
        // out again, and the scroll area has taken the new height.
        containerLayout->activate();
        QEvent layoutRequest(QEvent::LayoutRequest);
        QCoreApplication::sendEvent(scrollView, &layoutRequest);
        scrollView->ensureWidgetVisible(editor);
    }
}

void KeyConfigSet::add(const QString &replacement, const QList<XmlParser::Key> &keys)
{
    auto *editor = new KeyConfig(keys, container);
    editor->setReplacement(replacement);
    add(editor);
}

void KeyConfigSet::add(KeyConfig *editor)
{
    insert(size(), editor);
    m_sameKeys.update(editor);
}

void KeyConfigSet::append(const QList<XmlParser::KeyConfig> &list)
{
    Q_EMIT aboutToAdd();
    // The rest of the list first: an import goes below every combination.
    build(m_unbuilt.size());
    // As deferred editors, which make their widgets only once they are seen, and all in
    // one pass: in the list on screen, each batch from the event loop would lay out the
    // whole list again.
    queue(list);
    build(m_unbuilt.size());
    m_sameKeys.showAll();
}

int KeyConfigSet::numberAt(qsizetype index) const
{
    return int(index + 1 + (index >= unbuiltAt() ? m_unbuilt.size() : 0));
}

void KeyConfigSet::renumberFrom(qsizetype index)
{
    for (qsizetype i = index; i < configs.size(); ++i)
        configs.at(i)->setNumber(numberAt(i));
}

// Puts the editor at the place in the whole list (counted from 0, the unbuilt
// combinations included) and numbers it; the numbers below are the caller's. Returns
// its index in configs.
qsizetype KeyConfigSet::insert(qsizetype place, KeyConfig *editor)
{
    m_shown->finish();
    const bool below = !m_unbuilt.isEmpty() && place > unbuiltAt();
    const qsizetype index = below ? place - m_unbuilt.size() : place;
    m_addedBelow += below;
    connect(editor, &KeyConfig::deleteMe, this, &KeyConfigSet::del);
    connect(editor, &KeyConfig::edited, this, [this](KeyConfig *e) { m_sameKeys.update(e); });
    containerLayout->insertWidget(index, editor);
    configs.insert(index, editor);
    editor->setNumber(numberAt(index));
    // In the tab order where it stands on the page: after the editor above it, or the
    // first after what comes before the list. Tab order is set only from a widget that
    // takes the focus.
    QWidget *before = nullptr;
    if (index > 0) {
        before = configs.at(index - 1)->tabStops().constLast();
    } else {
        before = configs.size() > 1 ? configs.at(1)->tabStops().constFirst() : m_addButton;
        do
            before = before->previousInFocusChain();
        while (!(before->focusPolicy() & Qt::TabFocus));
    }
    editor->placeTabStopsAfter(before);
    if (m_shown->leavesOut(editor))
        editor->hide(); // left out by the find row
    else if (!m_showWithList)
        editor->show();
    // One repaint covers every insertion made before the event loop runs again, so a
    // list built from n combinations queues one call, not n: n queued calls cost a
    // repaint each and made every event posted meanwhile scan a queue growing with n.
    if (!m_repaintPending) {
        m_repaintPending = true;
        QTimer::singleShot(0, this, &KeyConfigSet::forceRepaint);
    }
    return index;
}

void KeyConfigSet::del(KeyConfig *editor)
{
    m_shown->finish();
    const qsizetype index = configs.indexOf(editor);
    const qsizetype place = index >= 0 ? numberAt(index) - 1 : -1;
    if (index >= 0) {
        m_addedBelow -= index >= unbuiltAt();
        configs.removeAt(index);
        // The editors below the deleted one move up by one.
        renumberFrom(index);
    }
    if (!editor)
        return;
    m_sameKeys.leave(editor);
    m_sameKeys.showAll();
    if (index >= 0)
        Q_EMIT deleted(place, editor->content(), editor->isAncestorOf(QApplication::focusWidget()));
    // The editor's own "delete" button is still delivering the click that led here,
    // so it is destroyed only once control is back in the event loop.
    containerLayout->removeWidget(editor);
    editor->hide();
    editor->deleteLater();
    Q_EMIT shownChanged();
}

KeyConfig *KeyConfigSet::restore(qsizetype place, const KeyConfig::Content &content)
{
    KeyConfig *editor = KeyConfig::fromContent(content, container);
    const qsizetype index = insert(qMin(place, size()), editor);
    renumberFrom(index + 1); // the editors below move down by one
    m_sameKeys.update(editor);
    editor->show(); // it was shown when deleted, whatever the find row holds now
    Q_EMIT shownChanged();
    m_sameKeys.showAll();
    return editor;
}

// The last editors are the imported ones: an import builds every combination, and adding
// or deleting one takes the offer to undo it back first.
bool KeyConfigSet::removeLast(qsizetype count)
{
    m_shown->finish();
    const QWidget *focus = QApplication::focusWidget();
    bool focusRemoved = false;
    for (; count > 0 && !configs.isEmpty(); --count) {
        KeyConfig *editor = configs.takeLast();
        focusRemoved = focusRemoved || editor->isAncestorOf(focus);
        m_sameKeys.leave(editor);
        delete containerLayout->takeAt(int(configs.size()));
        editor->hide();
        editor->deleteLater();
    }
    m_sameKeys.showAll();
    Q_EMIT shownChanged();
    return focusRemoved;
}

void KeyConfigSet::forceRepaint()
{
    m_repaintPending = false;
    container->update(); // the whole contents, wherever they are scrolled to
    scrollView->update();
    if (QScrollBar *bar = scrollView->horizontalScrollBar())
        bar->update();
    if (QScrollBar *bar = scrollView->verticalScrollBar())
        bar->update();
}

bool KeyConfigSet::holds(const QWidget *widget) const
{
    return container->isAncestorOf(widget);
}

void KeyConfigSet::undo()
{
    m_page->undoBar->undo();
}

qsizetype KeyConfigSet::importFiles(const QStringList &paths)
{
    return m_page->importExport->importFiles(paths);
}

bool KeyConfigSet::exportTo(const QString &path, QString *errorString) const
{
    return m_page->importExport->exportTo(path, errorString);
}

// An editor that has not made its widgets yet is matched from what it holds and makes them
// only once shown in view.
void KeyConfigSet::setFilter(const CombinationFilter &filter)
{
    if (m_shown->setFilter(filter))
        container->update(); // what is in view, as a whole
    Q_EMIT shownChanged();
}

// The editors shown, and the combinations not built yet that match (they are shown as
// they are built).
qsizetype KeyConfigSet::shownCount() const
{
    qsizetype shown = m_shown->shownCount();
    for (const XmlParser::KeyConfig &config : std::as_const(m_unbuilt)) {
        if (filter().matches(config.items(), config.replacement()))
            ++shown;
    }
    return shown;
}

QString KeyConfigSet::xml() const
{
    QString document;
    // Room for typical combinations up front; append grows geometrically beyond that,
    // so the time stays linear in the number of combinations.
    document.reserve(64 + size() * 128);
    document += KeyMapFormat::documentStart();
    for (qsizetype i = 0; i < unbuiltAt(); ++i)
        document += configs.at(i)->xml();
    // Combinations not shown yet are written as they were read, in their place.
    for (const XmlParser::KeyConfig &config : m_unbuilt)
        document += KeyConfig::xml(config.items(), config.replacement());
    for (qsizetype i = unbuiltAt(); i < configs.size(); ++i)
        document += configs.at(i)->xml();
    document += KeyMapFormat::documentEnd();
    return document;
}
