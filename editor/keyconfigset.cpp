#include "editor/keyconfigset.h"

#include "editor/inputbutton.h"
#include "editor/keyconfig.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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
const QKeyCombination findKey(Qt::ControlModifier, Qt::Key_F);

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
        const QString keys = sameKeysKey(config.items(), config.replacement());
        if (!keys.isNull()) {
            SameKeys &group = m_sameKeys[keys];
            group.unbuilt.append(m_unbuiltTaken + m_unbuilt.size());
            const int number = int(configs.size() + m_unbuilt.size() + 1);
            if (!group.first)
                group.first = number;
            else if (!group.second)
                group.second = number;
        }
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
    setupFind(column);
    setupSharing();
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
    connect(m_undoButton, &QPushButton::clicked, this, &KeyConfigSet::undo);

    // Only while the page is shown; a focused capture button takes Ctrl+Z as a key.
    m_undoShortcut = new QShortcut(QKeySequence(undoKey), this);
    m_undoShortcut->setContext(Qt::WindowShortcut);
    m_undoShortcut->setEnabled(false);
    connect(m_undoShortcut, &QShortcut::activated, this, &KeyConfigSet::undo);

    m_undoTimer = new QTimer(this);
    m_undoTimer->setSingleShot(true);
    m_undoTimer->setInterval(undoTimeoutMs);
    connect(m_undoTimer, &QTimer::timeout, this, [this] { dropUndo(); });
}

void KeyConfigSet::add()
{
    dropUndo();
    const bool wasFiltered = m_filter.isActive();
    clearFilter(); // else the new combination could be hidden at once
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
    if (m_filter.isActive() && !m_filter.matches(editor->keys(), editor->replacement()))
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
    updateFindCount();
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
    m_imported = 0;
    m_deleted = content;
    m_deletedAt = index;
    showUndoBar(tr("Combination %1 deleted.").arg(index + 1));
}

void KeyConfigSet::showUndoBar(const QString &text)
{
    m_undoLabel->setText(text);
    m_undoBar->show();
    m_undoShortcut->setEnabled(true);
    qApp->installEventFilter(this);
    m_undoTimer->start();
}

void KeyConfigSet::dropUndo(QWidget *focusAfter)
{
    if (m_deletedAt < 0 && m_imported == 0)
        return;
    m_imported = 0;
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
    editor->show(); // it was shown when deleted, whatever the find row holds now
    updateFindCount();
    showAllTwins();
    dropUndo(editor->deleteButton());
}

void KeyConfigSet::undo()
{
    if (m_imported > 0)
        undoImport();
    else
        undoDelete();
}

// A replacement field claims Ctrl+Z for its own undo; while a delete or an import can be
// undone, the fields of this list leave it to the undo bar.
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

namespace {

// The key mapping file's reader, except that an element it does not know ends the reading
// of this file instead of the program: a file brought in from elsewhere is not the
// editor's own, and its own list must survive it.
class ImportReader : public XmlParser
{
protected:
    void unknownTag(const QString &) override { stop(); }
};

} // namespace

// "Import…" and "Export…" at the right end of the find row.
void KeyConfigSet::setupSharing()
{
    m_shareFolder = QDir::homePath();
    m_importButton = new QPushButton(tr("Import\u2026"), this);
    m_findRow->addWidget(m_importButton);
    connect(m_importButton, &QPushButton::clicked, this, &KeyConfigSet::chooseImport);
    m_exportButton = new QPushButton(tr("Export\u2026"), this);
    m_findRow->addWidget(m_exportButton);
    connect(m_exportButton, &QPushButton::clicked, this, &KeyConfigSet::chooseExport);
}

// Qt's own dialogs, not the desktop's: they behave the same everywhere and can be driven
// by a test.
void KeyConfigSet::chooseImport()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Import Key Combinations"), m_shareFolder,
        tr("Key mapping files (*.xml);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (paths.isEmpty())
        return;
    m_shareFolder = QFileInfo(paths.first()).absolutePath();
    importFiles(paths);
}

void KeyConfigSet::chooseExport()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export Key Combinations"), m_shareFolder,
        tr("Key mapping files (*.xml);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    m_shareFolder = QFileInfo(path).absolutePath();
    QString error;
    if (!exportTo(path, &error))
        tell(tr("%1 was not written: %2.").arg(QDir::toNativeSeparators(path), error));
}

qsizetype KeyConfigSet::importFiles(const QStringList &paths)
{
    const qsizetype before = configs.size() + m_unbuilt.size();
    QList<XmlParser::KeyConfig> imported;
    QStringList problems;
    for (const QString &path : paths) {
        const QString name = QDir::toNativeSeparators(path);
        ImportReader reader;
        reader.setLimits(KeyMapFile::maxFileSize, KeyMapFile::maxCombinations);
        const std::unique_ptr<XmlParser::Keyboard> keyboard = reader.parse(path);
        // The reasons begin with the path, which the sentence names already.
        QString why = reader.errorString();
        if (why.startsWith(path + QLatin1String(": ")))
            why.remove(0, path.size() + 2);
        if (!keyboard || keyboard->items().isEmpty()) {
            problems.append(reader.isComplete()
                                ? tr("%1 was not imported: it holds no key combination.").arg(name)
                                : tr("%1 was not imported: %2.").arg(name, why));
            continue;
        }
        // The list saved at close must be one that the next start can edit.
        if (before + imported.size() + keyboard->items().size() > KeyMapFile::maxCombinations) {
            problems.append(tr("%1 was not imported: the list would hold more than %2 "
                               "combinations.")
                                .arg(name)
                                .arg(KeyMapFile::maxCombinations));
            continue;
        }
        if (!reader.isComplete())
            problems.append(tr("%1 was read only in part (%2); the combinations before that "
                               "point were imported.")
                                .arg(name, why));
        imported += keyboard->items();
    }
    if (!problems.isEmpty())
        tell(problems.join(QLatin1Char('\n')));
    if (imported.isEmpty())
        return 0;

    dropUndo();
    // What was brought in is shown, as a new combination is.
    clearFilter();
    // The rest of the list first: an import goes below every combination.
    build(m_unbuilt.size());
    // As deferred editors, which make their widgets only once they are seen, and all in
    // one pass: in the list on screen, each batch from the event loop would lay out the
    // whole list again.
    queue(imported);
    build(m_unbuilt.size());
    showAllTwins();

    m_deletedAt = -1;
    m_deleted = KeyConfig::Content();
    m_imported = imported.size();
    showUndoBar(m_imported == 1 ? tr("1 combination imported.")
                                : tr("%n combinations imported.", nullptr, int(m_imported)));
    return m_imported;
}

// The imported combinations are the last editors in the list: an import builds every
// combination, and adding or deleting one takes the offer back first.
void KeyConfigSet::undoImport()
{
    const QWidget *focus = QApplication::focusWidget();
    bool focusRemoved = false;
    for (qsizetype count = m_imported; count > 0 && !configs.isEmpty(); --count) {
        KeyConfig *editor = configs.takeLast();
        focusRemoved = focusRemoved || editor->isAncestorOf(focus);
        leaveSameKeys(editor);
        delete containerLayout->takeAt(int(configs.size()));
        editor->hide();
        editor->deleteLater();
    }
    showAllTwins();
    updateFindCount();
    // Not left to the next widget in the chain, which may be a capture button.
    if (focusRemoved)
        m_importButton->setFocus();
    dropUndo(m_importButton);
}

bool KeyConfigSet::exportTo(const QString &path, QString *errorString) const
{
    return KeyMapFile::write(path, KeyMapFormat::encode(xml()), errorString);
}

// One warning, without blocking: the list stays usable and a test can go on.
void KeyConfigSet::tell(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavorin Settings"), text,
                                QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText); // file names are not markup
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// The find row above the undo bar. Its field and "Press Keys" come after the rest of the
// page in the tab order, so that Tab leads from them into the list.
void KeyConfigSet::setupFind(QVBoxLayout *column)
{
    m_findRow = new QHBoxLayout;
    m_findRow->setContentsMargins(0, 0, 0, 6);
    m_findRow->setSpacing(6);
    column->insertLayout(0, m_findRow);

    m_findEdit = new QLineEdit(this);
    m_findEdit->setAccessibleName(tr("Find"));
    m_findRow->addWidget(m_findEdit, 1);
    m_findCount = new QLabel(this);
    m_findCount->setTextFormat(Qt::PlainText);
    m_findCount->hide();
    m_findRow->addWidget(m_findCount);
    // Takes keys exactly as a capture button does, but keeps its label.
    m_pressKeysButton = new InputButton(this);
    m_pressKeysButton->QPushButton::setText(tr("Press Keys"));
    m_pressKeysButton->setKeepsLabel(true);
    m_pressKeysButton->setCheckable(true);
    m_findRow->addWidget(m_pressKeysButton);
    endKeyFilter(); // the field's placeholder

    connect(m_findEdit, &QLineEdit::textEdited, this, [this](const QString &text) {
        endKeyFilter();
        setFilter(CombinationFilter::byText(text));
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_findEdit);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, &KeyConfigSet::clearFilter);
    // Only while the page is shown; a focused capture button takes Ctrl+F as a key.
    auto *find = new QShortcut(QKeySequence(findKey), this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_findEdit->setFocus(Qt::ShortcutFocusReason);
        m_findEdit->selectAll();
    });

    connect(m_pressKeysButton, &QPushButton::clicked, this, &KeyConfigSet::startKeyFilter);
    connect(m_pressKeysButton, &InputButton::keyPressed, this, [this](int key, int state) {
        if (!m_pressKeysButton->isChecked()) // reached with Tab rather than clicked
            startKeyFilter();
        m_pressedKeys.append(XmlParser::Key(key, state));
        // The empty field shows the keys pressed so far.
        m_findEdit->setPlaceholderText(CombinationFilter::labels(m_pressedKeys));
        setFilter(CombinationFilter::byKeys(m_pressedKeys));
    });
}

void KeyConfigSet::startKeyFilter()
{
    clearFilter();
    m_pressKeysButton->setChecked(true);
}

void KeyConfigSet::endKeyFilter()
{
    m_pressedKeys.clear();
    m_pressKeysButton->setChecked(false);
    m_findEdit->setPlaceholderText(tr("Find by text or keys"));
}

void KeyConfigSet::clearFilter()
{
    m_findEdit->clear();
    endKeyFilter();
    setFilter(CombinationFilter());
}

// Hides the editors the filter leaves out and shows the others. An editor that has not
// made its widgets yet is matched from what it holds and makes them only once shown in view.
void KeyConfigSet::setFilter(const CombinationFilter &filter)
{
    m_filter = filter;
    QList<KeyConfig *> changed;
    for (KeyConfig *editor : std::as_const(configs)) {
        if (editor->isHidden() == m_filter.matches(editor->keys(), editor->replacement()))
            changed.append(editor);
    }
    if (changed.isEmpty()) {
        updateFindCount();
        return;
    }
    containerLayout->setEnabled(false); // as in build(): laid out once, not per editor
    for (KeyConfig *editor : std::as_const(changed)) {
        editor->setHidden(!editor->isHidden());
        // Qt asks each widget it shows to repaint itself, and the next paint then takes
        // each of those widgets through all its siblings: thousands of editors shown at
        // once would take seconds. The list is repainted as a whole instead (below).
        QCoreApplication::removePostedEvents(editor, QEvent::UpdateLater);
        for (QWidget *child : editor->findChildren<QWidget *>())
            QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
    }
    containerLayout->setEnabled(true);
    container->update();
    updateFindCount();
}

// Counted in the whole list: the editors shown, and the combinations not built yet that
// match (they are shown as they are built).
void KeyConfigSet::updateFindCount()
{
    m_findCount->setVisible(m_filter.isActive());
    if (!m_filter.isActive())
        return;
    qsizetype shown = 0;
    for (const KeyConfig *editor : std::as_const(configs)) {
        if (!editor->isHidden())
            ++shown;
    }
    for (const XmlParser::KeyConfig &config : std::as_const(m_unbuilt)) {
        if (m_filter.matches(config.items(), config.replacement()))
            ++shown;
    }
    m_findCount->setText(tr("%1 of %2").arg(shown).arg(configs.size() + m_unbuilt.size()));
}
