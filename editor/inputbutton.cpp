#include "editor/inputbutton.h"

#include "editor/announcer.h"
#include "editor/keycodes.h"

#include <QEvent>
#include <QKeyEvent>

InputButton::InputButton(QWidget *parent, const char *name)
    : QPushButton(tr("Select Key"), parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    connect(this, &QPushButton::clicked, this, &InputButton::takeFocus);
}

InputButton::InputButton(int key, int state, QWidget *parent, const char *name)
    : QPushButton(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setText(key, state);
    if (!changedFlag) {
        // Kept, not dropped: the combination must not lose a key the user never touched.
        keyCode = key;
        keyState = state;
        m_holdsUnlabelledKey = true;
        setToolTip(tr("Key code %1, modifier state %2 (no label)").arg(key).arg(state));
        updateDescription();
    }
    connect(this, &QPushButton::clicked, this, &InputButton::takeFocus);
}

void InputButton::setText(int key, int state)
{
    QString label = KeyCodes::label(key, state);
    if (label.isNull())
        return;

    // A single '&' would be taken for a mnemonic marker and vanish from the label (and
    // from the accessible name); doubled, it shows as itself.
    label.replace(QLatin1Char('&'), QLatin1String("&&"));
    QPushButton::setText(label);

    changedFlag = true;
    keyCode = key;
    keyState = state;
    if (m_holdsUnlabelledKey) {
        m_holdsUnlabelledKey = false;
        setToolTip(QString());
        updateDescription();
    }
    Q_EMIT keyChanged();
}

void InputButton::setPosition(const QString &position)
{
    m_position = position;
    updateDescription();
}

void InputButton::setHint(const QString &hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    updateDescription();
}

// An empty button says which key it holds, since there is no label to read.
void InputButton::updateDescription()
{
    QString description = m_position;
    if (m_holdsUnlabelledKey && m_position.isEmpty())
        description = toolTip();
    else if (m_holdsUnlabelledKey)
        description = tr("%1: key code %2, modifier state %3 (no label)")
                          .arg(m_position)
                          .arg(keyCode)
                          .arg(keyState);
    if (!m_hint.isEmpty())
        description += (description.isEmpty() ? QString() : QStringLiteral(". ")) + m_hint;
    if (description != accessibleDescription())
        setAccessibleDescription(description);
}

void InputButton::takeFocus()
{
    setFocus();
}

bool InputButton::event(QEvent *event)
{
    // Claim every key while focused, so that keys that are shortcuts elsewhere in the
    // window (an Alt mnemonic, a tab switch) are captured here instead of triggering them.
    if (event->type() == QEvent::ShortcutOverride && hasFocus()) {
        event->accept();
        return true;
    }
    return QPushButton::event(event);
}

void InputButton::keyPressEvent(QKeyEvent *event)
{
    // Not passed on to QPushButton: no key clicks the button (space and return
    // included), and no key press travels on to the parent widgets.
    const int key = KeyCodes::keyFromQt(event->key());
    const int state = KeyCodes::stateFromQt(event->modifiers());
    if (key != KeyCodes::NoKey && !KeyCodes::label(key, state).isNull()) {
        if (!m_keepsLabel) {
            // A screen reader echoes the key pressed, not what the button now shows; said
            // before what the new key changes in its combination (a hint).
            Announcer::announce(this, KeyCodes::label(key, state));
            setText(key, state);
        }
        Q_EMIT keyPressed(key, state);
    }
    event->accept();
}
