#include "editor/keyconfig.h"

#include "editor/announcer.h"
#include "editor/inputbutton.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

KeyConfig::KeyConfig(QWidget *parent, const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    addButton();
}

KeyConfig::KeyConfig(const QList<XmlParser::Key> &keys, QWidget *parent, const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    for (const XmlParser::Key &key : keys)
        insertButton(new InputButton(key.key(), key.state(), this));
}

KeyConfig::KeyConfig(std::unique_ptr<Pending> pending, QWidget *parent)
    : QWidget(parent)
    , m_pending(std::move(pending))
{
    // Tab reaches the editor before its widgets exist; they take the focus over then.
    setFocusPolicy(Qt::TabFocus);
}

KeyConfig *KeyConfig::deferred(const QList<XmlParser::Key> &keys, const QString &replacement,
                               QWidget *parent)
{
    return new KeyConfig(std::make_unique<Pending>(Pending{ keys, replacement }), parent);
}

namespace {
// A finished editor's size hints, without and with a hint line: every editor is as high
// as one with a single key and the same kind of hint, so a deferred one takes the same
// room, and nothing moves when its widgets are made.
QSize finishedSizeHint(bool minimum, bool withHint)
{
    static QSize hints[2][2]; // [withHint][minimum]
    if (!hints[0][0].isValid()) {
        for (const bool hinted : { false, true }) {
            KeyConfig probe(QList<XmlParser::Key>{ XmlParser::Key(0x41, 0) });
            // Without a text it is not saved, and says so.
            probe.setReplacement(hinted ? QString() : QStringLiteral("x"));
            hints[hinted][0] = probe.sizeHint();
            hints[hinted][1] = probe.minimumSizeHint();
        }
    }
    return hints[withHint][minimum];
}
} // namespace

bool KeyConfig::showsHint() const
{
    const bool hasText = !replacement().isEmpty();
    return m_twin > 0 || hasKey() != hasText;
}

QSize KeyConfig::sizeHint() const
{
    return m_pending ? finishedSizeHint(false, showsHint()) : QWidget::sizeHint();
}

QSize KeyConfig::minimumSizeHint() const
{
    return m_pending ? finishedSizeHint(true, showsHint()) : QWidget::minimumSizeHint();
}

bool KeyConfig::event(QEvent *event)
{
    // The widgets are made when the editor is painted in view: after this paint (made
    // during it, they would be painted before the layout places them), and only if the
    // editor is still in view then, since a new one is painted once where it is created,
    // before the list lays it out further down.
    if (m_pending && event->type() == QEvent::Paint) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!visibleRegion().isEmpty())
                    build();
            },
            Qt::QueuedConnection);
    }
    return QWidget::event(event);
}

void KeyConfig::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (!m_pending)
        return;
    build();
    (buttons.isEmpty() ? static_cast<QWidget *>(m_moreButton) : buttons.first())
        ->setFocus(event->reason());
}

void KeyConfig::build()
{
    if (!m_pending)
        return;
    const std::unique_ptr<Pending> pending = std::move(m_pending);
    setup();
    for (const XmlParser::Key &key : pending->keys)
        insertButton(new InputButton(key.key(), key.state(), this));
    replacementEdit->setText(pending->replacement);
    updateDescriptions();
    updateHint();
    // Made after the editor was shown: shown one by one, and in the tab order right
    // where the editor itself stands.
    placeTabStopsAfter(this);
    // Only now: tab order is not set from a widget that takes no focus.
    setFocusPolicy(Qt::NoFocus);
    if (isVisible()) {
        for (QObject *child : children()) {
            auto *widget = qobject_cast<QWidget *>(child);
            // The hint line has been shown or hidden on purpose.
            if (widget && !widget->testAttribute(Qt::WA_WState_ExplicitShowHide))
                widget->show();
        }
    }
    updateGeometry();
}

void KeyConfig::setup()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    // A line at the top sets this combination apart from the one above it.
    separator = new QFrame(this);
    separator->setFrameStyle(QFrame::HLine | QFrame::Plain);
    column->addWidget(separator);

    keysLayout = new QHBoxLayout;
    keysLayout->setContentsMargins(0, 0, 0, 0);
    keysLayout->setSpacing(6);
    column->addLayout(keysLayout);
    keysLayout->addWidget(new QLabel(tr("Key(s):"), this));
    m_moreButton = new QPushButton(QStringLiteral(">>"), this);
    keysLayout->addWidget(m_moreButton);
    connect(m_moreButton, &QPushButton::clicked, this, &KeyConfig::addButton);

    auto *replacementRow = new QHBoxLayout;
    replacementRow->setContentsMargins(0, 0, 0, 0);
    replacementRow->setSpacing(column->spacing());
    column->addLayout(replacementRow);
    auto *replacementLabel = new QLabel(tr("Replacement:"), this);
    replacementRow->addWidget(replacementLabel);
    replacementEdit = new QLineEdit(this);
    // A line edit cuts its text at 32767 characters by default; a longer text read
    // from the file must be written back whole.
    replacementEdit->setMaxLength(std::numeric_limits<int>::max());
    // The label names the field for assistive technology.
    replacementLabel->setBuddy(replacementEdit);
    replacementRow->addWidget(replacementEdit);

    auto *deleteRow = new QHBoxLayout;
    deleteRow->setContentsMargins(0, 0, 0, 0);
    deleteRow->setSpacing(column->spacing());
    column->addLayout(deleteRow);
    deleteRow->addStretch(1);
    m_deleteButton = new QPushButton(tr("delete"), this);
    deleteRow->addWidget(m_deleteButton);
    connect(m_deleteButton, &QPushButton::clicked, this, &KeyConfig::del);

    connect(replacementEdit, &QLineEdit::textChanged, this, [this] {
        updateHint();
        Q_EMIT edited(this);
    });
}

QList<QWidget *> KeyConfig::tabStops() const
{
    if (m_pending)
        return { const_cast<KeyConfig *>(this) };
    QList<QWidget *> stops(buttons.cbegin(), buttons.cend());
    stops << m_moreButton << replacementEdit << m_deleteButton;
    return stops;
}

// One widget at a time: Qt moves a widget in the tab order only from and to one that
// takes the focus, and a widget's children only where it has a focus proxy.
void KeyConfig::placeTabStopsAfter(QWidget *widget)
{
    for (QWidget *stop : tabStops()) {
        QWidget::setTabOrder(widget, stop);
        widget = stop;
    }
}

// Capture buttons always go just before ">>": the label is at index 0. In the tab order
// too, where a new widget would come last in the window.
void KeyConfig::insertButton(InputButton *button)
{
    QWidget *before = buttons.isEmpty() ? m_moreButton->previousInFocusChain() : buttons.last();
    while (before != m_moreButton && !(before->focusPolicy() & Qt::TabFocus))
        before = before->previousInFocusChain();
    if (before != m_moreButton)
        QWidget::setTabOrder(before, button);
    keysLayout->insertWidget(buttons.size() + 1, button);
    buttons.append(button);
    updateDescriptions();
    connect(button, &InputButton::keyChanged, this, [this] {
        updateHint();
        Q_EMIT edited(this);
    });
}

void KeyConfig::addButton()
{
    build();
    auto *button = new InputButton(this);
    insertButton(button);
    button->show();
}

void KeyConfig::del()
{
    Q_EMIT deleteMe(this);
}

void KeyConfig::setNumber(int number)
{
    m_number = number;
    if (!m_pending) // a deferred editor describes its widgets once it makes them
        updateDescriptions();
}

// The hint is read with the key buttons and the replacement field, where the user is
// when it matters; not with ">>" and "delete".
void KeyConfig::updateDescriptions()
{
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        buttons.at(i)->setPosition(m_number > 0
                                       ? tr("key %1 of combination %2").arg(i + 1).arg(m_number)
                                       : tr("key %1").arg(i + 1));
        buttons.at(i)->setHint(m_hintText);
    }
    m_moreButton->setAccessibleDescription(m_number > 0
                                               ? tr("adds a key to combination %1").arg(m_number)
                                               : tr("adds a key to this combination"));
    const QString replacementText = m_number > 0
        ? tr("replacement text of combination %1").arg(m_number)
        : tr("replacement text of this combination");
    replacementEdit->setAccessibleDescription(m_hintText.isEmpty() ? replacementText
                                                                   : replacementText
                                                      + QStringLiteral(". ") + m_hintText);
    m_deleteButton->setAccessibleDescription(
        m_number > 0 ? tr("deletes combination %1").arg(m_number) : tr("deletes this combination"));
}

void KeyConfig::setReplacement(const QString &text)
{
    if (m_pending)
        m_pending->replacement = text;
    else
        replacementEdit->setText(text);
    updateHint(); // also when the text stays empty, for keys read without one
}

QString KeyConfig::replacement() const
{
    return m_pending ? m_pending->replacement : replacementEdit->text();
}

QList<XmlParser::Key> KeyConfig::keys() const
{
    if (m_pending)
        return m_pending->keys;
    QList<XmlParser::Key> keys;
    keys.reserve(buttons.size());
    for (const InputButton *button : buttons) {
        if (button->hasKey()) // buttons never set are skipped
            keys.append(XmlParser::Key(button->key(), button->state()));
    }
    return keys;
}

bool KeyConfig::hasKey() const
{
    if (m_pending)
        return !m_pending->keys.isEmpty();
    for (const InputButton *button : buttons) {
        if (button->hasKey())
            return true;
    }
    return false;
}

KeyConfig::Content KeyConfig::content() const
{
    Content content;
    if (m_pending) {
        for (const XmlParser::Key &key : m_pending->keys)
            content.keys.append(key);
        content.replacement = m_pending->replacement;
        return content;
    }
    for (const InputButton *button : buttons) {
        content.keys.append(button->hasKey()
                                ? std::optional(XmlParser::Key(button->key(), button->state()))
                                : std::nullopt);
    }
    content.replacement = replacementEdit->text();
    return content;
}

KeyConfig *KeyConfig::fromContent(const Content &content, QWidget *parent)
{
    auto *editor = new KeyConfig(QList<XmlParser::Key>(), parent);
    for (const std::optional<XmlParser::Key> &key : content.keys) {
        editor->insertButton(key ? new InputButton(key->key(), key->state(), editor)
                                 : new InputButton(editor));
    }
    editor->setReplacement(content.replacement);
    return editor;
}

void KeyConfig::setTwin(int number)
{
    if (number == m_twin)
        return;
    m_twin = number;
    updateHint();
}

// What the user would otherwise learn only from the saved file: that this combination
// is left out of it, or that another one with the same keys is written as well.
void KeyConfig::updateHint()
{
    // A deferred editor shows its hint once its widgets are made; until then the hint
    // only changes the room it takes.
    if (m_pending) {
        updateGeometry();
        return;
    }
    const bool hasText = !replacementEdit->text().isEmpty();
    const bool hasKey = this->hasKey();
    QString hint;
    if (hasText && !hasKey)
        hint = tr("Not saved: no key captured");
    else if (hasKey && !hasText)
        hint = tr("Not saved: no replacement text");
    else if (m_twin > 0)
        hint = tr("Same keys as combination %1").arg(m_twin);

    if (hint != m_hintText) {
        m_hintText = hint;
        updateDescriptions();
        // Heard where the user is: the editor holds the focus while its keys or text change.
        if (!hint.isEmpty() && isAncestorOf(QApplication::focusWidget()))
            Announcer::announce(this, hint);
    }
    if (!m_hint) {
        if (hint.isEmpty())
            return;
        // Below the replacement row, above the row with "delete".
        m_hint = new QLabel(this);
        m_hint->setTextFormat(Qt::PlainText);
        auto *column = static_cast<QVBoxLayout *>(layout());
        column->insertWidget(column->count() - 1, m_hint);
    }
    m_hint->setText(hint);
    m_hint->setHidden(hint.isEmpty());
}

QString KeyConfig::xml() const
{
    return xml(keys(), replacement());
}

QString KeyConfig::xml(const QList<XmlParser::Key> &keys, const QString &replacement)
{
    // Blanks count as text: only an empty replacement leaves the combination out.
    if (keys.isEmpty() || replacement.isEmpty())
        return QString();
    QString fragment = KeyMapFormat::combinationStart();
    for (const XmlParser::Key &key : keys)
        fragment += KeyMapFormat::keyLine(key.key(), key.state());
    fragment += KeyMapFormat::replacementLine(replacement);
    fragment += KeyMapFormat::combinationEnd();
    return fragment;
}
