#include "editor/keyconfig.h"

#include "editor/inputbutton.h"
#include "mapping/keymapformat.h"

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
// A finished editor's size hints: every editor is as high as one with a single key, so a
// deferred one takes the same room, and nothing moves when its widgets are made.
QSize finishedSizeHint(bool minimum)
{
    static QSize hint;
    static QSize minimumHint;
    if (!hint.isValid()) {
        const KeyConfig probe(QList<XmlParser::Key>{ XmlParser::Key(0x41, 0) });
        hint = probe.sizeHint();
        minimumHint = probe.minimumSizeHint();
    }
    return minimum ? minimumHint : hint;
}
} // namespace

QSize KeyConfig::sizeHint() const
{
    return m_pending ? finishedSizeHint(false) : QWidget::sizeHint();
}

QSize KeyConfig::minimumSizeHint() const
{
    return m_pending ? finishedSizeHint(true) : QWidget::minimumSizeHint();
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
    // Made after the editor was shown: shown one by one, and in the tab order right
    // where the editor itself stands.
    QWidget *previous = this;
    QList<QWidget *> chain(buttons.cbegin(), buttons.cend());
    chain << m_moreButton << replacementEdit << m_deleteButton;
    for (QWidget *widget : chain) {
        QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
    // Only now: tab order is not set from a widget that takes no focus.
    setFocusPolicy(Qt::NoFocus);
    if (isVisible()) {
        for (QObject *child : children()) {
            if (child->isWidgetType())
                static_cast<QWidget *>(child)->show();
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
}

// Capture buttons always go just before ">>": the label is at index 0.
void KeyConfig::insertButton(InputButton *button)
{
    keysLayout->insertWidget(buttons.size() + 1, button);
    buttons.append(button);
    updateDescriptions();
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

void KeyConfig::updateDescriptions()
{
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        buttons.at(i)->setPosition(m_number > 0
                                       ? tr("key %1 of combination %2").arg(i + 1).arg(m_number)
                                       : tr("key %1").arg(i + 1));
    }
    m_moreButton->setAccessibleDescription(m_number > 0
                                               ? tr("adds a key to combination %1").arg(m_number)
                                               : tr("adds a key to this combination"));
    replacementEdit->setAccessibleDescription(
        m_number > 0 ? tr("replacement text of combination %1").arg(m_number)
                     : tr("replacement text of this combination"));
    m_deleteButton->setAccessibleDescription(
        m_number > 0 ? tr("deletes combination %1").arg(m_number) : tr("deletes this combination"));
}

void KeyConfig::setReplacement(const QString &text)
{
    if (m_pending)
        m_pending->replacement = text;
    else
        replacementEdit->setText(text);
}

QString KeyConfig::xml() const
{
    if (m_pending)
        return xml(m_pending->keys, m_pending->replacement);
    QList<XmlParser::Key> keys;
    keys.reserve(buttons.size());
    for (const InputButton *button : buttons) {
        if (button->hasKey()) // buttons never set are skipped
            keys.append(XmlParser::Key(button->key(), button->state()));
    }
    return xml(keys, replacementEdit->text());
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
