#include "editor/keyconfigset.h"

#include "editor/keyconfig.h"
#include "mapping/keymapformat.h"

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
} // namespace

KeyConfigSet::KeyConfigSet(const QList<XmlParser::KeyConfig> &list, QWidget *parent,
                           const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    m_unbuilt = list;
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
        if (m_showWithList)
            add(config.replacement(), config.items());
        else // widgets made once in view, which most of a long list never is
            add(KeyConfig::deferred(config.items(), config.replacement(), container));
    }
    containerLayout->setEnabled(true);
    if (!m_unbuilt.isEmpty())
        QTimer::singleShot(0, this, [this] { build(laterBatch); });
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
}

void KeyConfigSet::add()
{
    build(m_unbuilt.size()); // a new combination goes below every one read from the file
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
    connect(editor, &KeyConfig::deleteMe, this, &KeyConfigSet::del);
    containerLayout->insertWidget(configs.size(), editor);
    configs.append(editor);
    editor->setNumber(int(configs.size()));
    if (!m_showWithList)
        editor->show();
    // One repaint covers every insertion made before the event loop runs again, so a
    // list built from n combinations queues one call, not n: n queued calls cost a
    // repaint each and made every event posted meanwhile scan a queue growing with n.
    if (!m_repaintPending) {
        m_repaintPending = true;
        QTimer::singleShot(0, this, &KeyConfigSet::forceRepaint);
    }
}

void KeyConfigSet::del(KeyConfig *editor)
{
    configs.removeAll(editor);
    // The editors below the deleted one move up by one.
    for (qsizetype i = 0; i < configs.size(); ++i)
        configs.at(i)->setNumber(int(i + 1));
    if (!editor)
        return;
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

QString KeyConfigSet::xml() const
{
    QString document;
    // Room for typical combinations up front; append grows geometrically beyond that,
    // so the time stays linear in the number of combinations.
    document.reserve(64 + (configs.size() + m_unbuilt.size()) * 128);
    document += KeyMapFormat::documentStart();
    for (const KeyConfig *config : configs)
        document += config->xml();
    // Combinations not shown yet are written as they were read.
    for (const XmlParser::KeyConfig &config : m_unbuilt)
        document += KeyConfig::xml(config.items(), config.replacement());
    document += KeyMapFormat::documentEnd();
    return document;
}
