#include "editor/keyconfigset.h"

#include "editor/keyconfig.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
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

constexpr int undoTimeoutMs = 10000;
const QKeyCombination undoKey(Qt::ControlModifier, Qt::Key_Z);

// The keys of a combination that would be written, as a key of KeyConfigSet::m_sameKeys;
// a null string for one that would not be written.
QString sameKeysKey(const QList<XmlParser::Key> &keys, const QString &replacement)
{
    if (keys.isEmpty() || replacement.isEmpty())
        return QString();
    QString text;
    for (const XmlParser::Key &key : keys) {
        text += QString::number(key.key()) + QLatin1Char('/') + QString::number(key.state())
            + QLatin1Char(' ');
    }
    return text;
}
} // namespace

KeyConfigSet::KeyConfigSet(const QList<XmlParser::KeyConfig> &list, QWidget *parent,
                           const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    m_unbuilt = list;
    // Combinations built later must find their twins among these, and these theirs.
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString keys = sameKeysKey(list.at(i).items(), list.at(i).replacement());
        if (!keys.isNull()) {
            SameKeys &group = m_sameKeys[keys];
            group.unbuilt.append(i);
            if (!group.first)
                group.first = int(i + 1);
            else if (!group.second)
                group.second = int(i + 1);
        }
    }
    // Shown now, an editor would be styled and measured at once; while the window is
    // being built, that is left until the list is first shown, so that it does not
    // slow the window's start. The editors built later from the event loop are shown
    // at once, so they are ready before the user opens the page.
    m_showWithList = true;
    build(firstBatch);
    m_showWithList = false;
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
        const QString keys = sameKeysKey(config.items(), config.replacement());
        if (!keys.isNull()) {
            // Taken in order from the front, it is the first unbuilt one of its group.
            SameKeys &group = m_sameKeys[keys];
            Q_ASSERT(!group.unbuilt.isEmpty() && group.unbuilt.first() == m_unbuiltTaken - 1);
            group.unbuilt.removeFirst();
            group.built.append(editor);
            m_keysOf.insert(editor, keys);
            editor->setTwin(editor->number() == group.first ? group.second : group.first);
        }
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

void KeyConfigSet::setup()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    scrollView = new QScrollArea(this);
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

    auto *addButton = new QPushButton(tr("Add Key Combination"), this);
    column->addWidget(addButton);
    connect(addButton, &QPushButton::clicked, this, qOverload<>(&KeyConfigSet::add));

    setupUndo(column);
}

// The undo bar above the list, hidden (and so taking no room) until a delete.
void KeyConfigSet::setupUndo(QVBoxLayout *column)
{
    m_undoBar = new QFrame(this);
    m_undoBar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    m_undoBar->hide();
    column->insertWidget(0, m_undoBar);
    auto *row = new QHBoxLayout(m_undoBar);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(6);
    m_undoLabel = new QLabel(m_undoBar);
    m_undoLabel->setTextFormat(Qt::PlainText);
    row->addWidget(m_undoLabel, 1);
    m_undoButton = new QPushButton(tr("Undo"), m_undoBar);
    row->addWidget(m_undoButton);
    connect(m_undoButton, &QPushButton::clicked, this, &KeyConfigSet::undoDelete);

    // Only while the page is shown; a focused capture button takes Ctrl+Z as a key.
    m_undoShortcut = new QShortcut(QKeySequence(undoKey), this);
    m_undoShortcut->setContext(Qt::WindowShortcut);
    m_undoShortcut->setEnabled(false);
    connect(m_undoShortcut, &QShortcut::activated, this, &KeyConfigSet::undoDelete);

    m_undoTimer = new QTimer(this);
    m_undoTimer->setSingleShot(true);
    m_undoTimer->setInterval(undoTimeoutMs);
    connect(m_undoTimer, &QTimer::timeout, this, [this] { dropUndo(); });
}

void KeyConfigSet::add()
{
    dropUndo();
    if (m_unbuilt.size() <= buildOnAdd)
        build(m_unbuilt.size());
    add(new KeyConfig(container));
}

void KeyConfigSet::add(const QString &replacement, const QList<XmlParser::Key> &keys)
{
    auto *editor = new KeyConfig(keys, container);
    editor->setReplacement(replacement);
    add(editor);
}

void KeyConfigSet::add(KeyConfig *editor)
{
    insert(configs.size() + m_unbuilt.size(), editor);
    updateTwins(editor);
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
    const bool below = !m_unbuilt.isEmpty() && place > unbuiltAt();
    const qsizetype index = below ? place - m_unbuilt.size() : place;
    m_addedBelow += below;
    connect(editor, &KeyConfig::deleteMe, this, &KeyConfigSet::del);
    connect(editor, &KeyConfig::edited, this, &KeyConfigSet::updateTwins);
    containerLayout->insertWidget(index, editor);
    configs.insert(index, editor);
    editor->setNumber(numberAt(index));
    // Built above editors added meanwhile: Tab reaches it before them too. Tab order is
    // set only from a widget that takes the focus.
    if (index + 1 < configs.size()) {
        QWidget *before = configs.at(index + 1)->previousInFocusChain();
        while (before->focusPolicy() == Qt::NoFocus)
            before = before->previousInFocusChain();
        QWidget::setTabOrder(before, editor);
    }
    if (!m_showWithList)
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
    leaveSameKeys(editor);
    showAllTwins();
    if (index >= 0) {
        const bool hadFocus = editor->isAncestorOf(QApplication::focusWidget());
        offerUndo(place, editor->content());
        // Not to the next widget in the chain, which may be a capture button that
        // would take the next key (Ctrl+Z included).
        if (hadFocus)
            m_undoButton->setFocus();
    }
    // The editor's own "delete" button is still delivering the click that led here,
    // so it is destroyed only once control is back in the event loop.
    containerLayout->removeWidget(editor);
    editor->hide();
    editor->deleteLater();
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

// Moves the editor into the group of its keys, or out of every group when it would not
// be written; the hints of both groups follow.
void KeyConfigSet::updateTwins(KeyConfig *editor)
{
    const QString was = m_keysOf.value(editor);
    const QString now = sameKeysKey(editor->keys(), editor->replacement());
    if (was == now)
        return;
    leaveSameKeys(editor);
    if (const auto old = m_sameKeys.find(was); old != m_sameKeys.end())
        showTwins(*old);
    if (now.isNull()) {
        editor->setTwin(0);
        return;
    }
    m_keysOf.insert(editor, now);
    SameKeys &group = m_sameKeys[now];
    group.built.append(editor);
    showTwins(group);
}

void KeyConfigSet::leaveSameKeys(KeyConfig *editor)
{
    const auto keys = m_keysOf.constFind(editor);
    if (keys == m_keysOf.cend())
        return;
    const auto group = m_sameKeys.find(*keys);
    group->built.removeOne(editor);
    if (group->built.isEmpty() && group->unbuilt.isEmpty())
        m_sameKeys.erase(group);
    m_keysOf.erase(keys);
}

// Finds the group's first two members in list order and shows each built member the
// first other one; the unbuilt stand between the editors above them and those added below.
void KeyConfigSet::showTwins(SameKeys &group)
{
    int first = 0;
    int second = 0;
    const auto take = [&first, &second](int number) {
        if (first == 0 || number < first) {
            second = first;
            first = number;
        } else if (second == 0 || number < second) {
            second = number;
        }
    };
    for (const KeyConfig *editor : std::as_const(group.built))
        take(editor->number());
    for (qsizetype i = 0; i < qMin<qsizetype>(group.unbuilt.size(), 2); ++i)
        take(int(unbuiltAt() + group.unbuilt.at(i) - m_unbuiltTaken + 1));
    group.first = first;
    group.second = second;
    for (KeyConfig *editor : std::as_const(group.built))
        editor->setTwin(editor->number() == first ? second : first);
}

// After a delete or an undo, which renumber the combinations below.
void KeyConfigSet::showAllTwins()
{
    for (SameKeys &group : m_sameKeys)
        showTwins(group);
}

void KeyConfigSet::offerUndo(qsizetype index, const KeyConfig::Content &content)
{
    m_deleted = content;
    m_deletedAt = index;
    m_undoLabel->setText(tr("Combination %1 deleted.").arg(index + 1));
    m_undoBar->show();
    m_undoShortcut->setEnabled(true);
    qApp->installEventFilter(this);
    m_undoTimer->start();
}

void KeyConfigSet::dropUndo(QWidget *focusAfter)
{
    if (m_deletedAt < 0)
        return;
    m_deletedAt = -1;
    m_deleted = KeyConfig::Content();
    m_undoTimer->stop();
    m_undoShortcut->setEnabled(false);
    qApp->removeEventFilter(this);
    // Hidden with the focus, the bar would pass it on to the next widget in the chain,
    // perhaps a capture button.
    if (QWidget *focus = QApplication::focusWidget(); m_undoBar->isAncestorOf(focus)) {
        if (focusAfter)
            focusAfter->setFocus();
        else
            focus->clearFocus();
    }
    m_undoBar->hide();
}

void KeyConfigSet::undoDelete()
{
    if (m_deletedAt < 0)
        return;
    KeyConfig *editor = KeyConfig::fromContent(m_deleted, container);
    const qsizetype index = insert(qMin(m_deletedAt, configs.size() + m_unbuilt.size()), editor);
    renumberFrom(index + 1); // the editors below move down by one
    updateTwins(editor);
    showAllTwins();
    dropUndo(editor->deleteButton());
}

// A replacement field claims Ctrl+Z for its own undo; while a delete can be undone, the
// fields of this list leave it to the undo bar.
bool KeyConfigSet::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit *>(watched)
        && container->isAncestorOf(static_cast<QWidget *>(watched))
        && static_cast<QKeyEvent *>(event)->keyCombination() == undoKey) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString KeyConfigSet::xml() const
{
    QString document;
    // Room for typical combinations up front; append grows geometrically beyond that,
    // so the time stays linear in the number of combinations.
    document.reserve(64 + (configs.size() + m_unbuilt.size()) * 128);
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
