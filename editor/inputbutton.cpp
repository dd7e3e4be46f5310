#include "editor/inputbutton.h"

#include "editor/keycodes.h"

#include <QEvent>
#include <QKeyEvent>

namespace {

// The key label table. Returns a null string for a key without an entry; sets
// *replacing for the entries whose label stands alone, without a "Sh+" prefix.
QString keyLabel(int key, int state, bool *replacing)
{
    *replacing = true;
    switch (key) {
    case 0x22:
        return QStringLiteral("\"");
    case 0x29: // only shift counts here, not control
        return (state & KeyCodes::ShiftBit) ? QStringLiteral("Fn+Sh+,") : QStringLiteral(")");
    case 0x3b:
        return QStringLiteral(";");
    case 0x3f:
        return QStringLiteral("?");
    case 0x60:
        return QStringLiteral("Fn+Sh+space");
    case 0x7b:
        return QStringLiteral("Shift + Delete");
    }

    *replacing = false;
    switch (key) {
    case 0x20:
        return QStringLiteral("space");
    case 0x1003:
        return QStringLiteral("backspace");
    case 0x1004:
        return QStringLiteral("return");
    case 0x1007:
        return QStringLiteral("delete");
    }
    if (key >= 'A' && key <= 'Z')
        return QString(QChar(key - 'A' + 'a'));
    if (key >= '0' && key <= '9')
        return QString(QChar(key));
    static const QString punctuation = QStringLiteral("!#$%&'(*+,-./:<=>@_~");
    if (key > 0x20 && key < 0x7f && punctuation.contains(QChar(key)))
        return QString(QChar(key));
    return QString();
}

} // namespace

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
    bool replacing = false;
    const QString text = keyLabel(key, state, &replacing);
    if (text.isNull())
        return;

    QString label;
    if (!replacing && (state & (KeyCodes::ControlBit | KeyCodes::ShiftBit)))
        label = QStringLiteral("Sh+");
    label += text;
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

// An empty button says which key it holds, since there is no label to read.
void InputButton::updateDescription()
{
    if (!m_holdsUnlabelledKey)
        setAccessibleDescription(m_position);
    else if (m_position.isEmpty())
        setAccessibleDescription(toolTip());
    else
        setAccessibleDescription(tr("%1: key code %2, modifier state %3 (no label)")
                                     .arg(m_position)
                                     .arg(keyCode)
                                     .arg(keyState));
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
    if (key != KeyCodes::NoKey)
        setText(key, KeyCodes::stateFromQt(event->modifiers()));
    event->accept();
}
