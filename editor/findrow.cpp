#include "editor/findrow.h"

#include "editor/announcer.h"
#include "editor/combinationfilter.h"
#include "editor/inputbutton.h"
#include "editor/keyconfigset.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

namespace {
const QKeyCombination findKey(Qt::ControlModifier, Qt::Key_F);
} // namespace

FindRow::FindRow(KeyConfigSet *list)
    : QObject(list)
    , m_list(list)
{
    m_row = new QHBoxLayout;
    m_row->setContentsMargins(0, 0, 0, 6);
    m_row->setSpacing(6);

    m_edit = new QLineEdit(list);
    m_edit->setAccessibleName(tr("Find"));
    m_row->addWidget(m_edit, 1);
    m_count = new QLabel(list);
    m_count->setTextFormat(Qt::PlainText);
    m_count->hide();
    m_row->addWidget(m_count);
    // Takes keys exactly as a capture button does, but keeps its label.
    m_pressKeysButton = new InputButton(list);
    m_pressKeysButton->QPushButton::setText(tr("Press Keys"));
    m_pressKeysButton->setKeepsLabel(true);
    m_pressKeysButton->setCheckable(true);
    m_row->addWidget(m_pressKeysButton);
    endKeyFilter(); // the field's placeholder

    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        endKeyFilter();
        m_list->setFilter(CombinationFilter::byText(text));
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_edit);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, [this] { clear(); });
    // Only while the page is shown; a focused capture button takes Ctrl+F as a key.
    auto *find = new QShortcut(QKeySequence(findKey), list);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_edit->setFocus(Qt::ShortcutFocusReason);
        m_edit->selectAll();
    });

    connect(m_pressKeysButton, &QPushButton::clicked, this, [this] { startKeyFilter(); });
    connect(m_pressKeysButton, &InputButton::keyPressed, this, [this](int key, int state) {
        if (!m_pressKeysButton->isChecked()) // reached with Tab rather than clicked
            startKeyFilter();
        m_pressedKeys.append(XmlParser::Key(key, state));
        // The empty field shows the keys pressed so far.
        m_edit->setPlaceholderText(CombinationFilter::labels(m_pressedKeys));
        m_list->setFilter(CombinationFilter::byKeys(m_pressedKeys));
    });
}

void FindRow::startKeyFilter()
{
    clear();
    m_pressKeysButton->setChecked(true);
}

void FindRow::endKeyFilter()
{
    m_pressedKeys.clear();
    m_pressKeysButton->setChecked(false);
    m_edit->setPlaceholderText(tr("Find by text or keys"));
}

void FindRow::clear()
{
    m_edit->clear();
    endKeyFilter();
    m_list->setFilter(CombinationFilter());
}

void FindRow::updateCount()
{
    const bool active = m_list->filter().isActive();
    m_count->setVisible(active);
    if (active)
        m_count->setText(tr("%1 of %2").arg(m_list->shownCount()).arg(m_list->size()));
    // Heard as the filter changes, and with the field.
    m_edit->setAccessibleDescription(active ? m_count->text() : QString());
    if (active)
        Announcer::announce(m_edit, m_count->text());
}
