#ifndef KEYCONFIG_H
#define KEYCONFIG_H

#include "mapping/xmlparser.h"

#include <QList>
#include <QWidget>

#include <memory>
#include <optional>

QT_BEGIN_NAMESPACE
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
QT_END_NAMESPACE

class InputButton;

// Edits one key combination: a row of capture buttons for its keys and the text that
// replaces them. Writes its own part of the key mapping file, and asks its owner to
// delete it (deleteMe) rather than deleting itself.
class KeyConfig : public QWidget
{
    Q_OBJECT

public:
    // One capture button that is not set yet, and no replacement text.
    explicit KeyConfig(QWidget *parent = nullptr, const char *name = nullptr);
    // One capture button per parsed key, in their order; none for an empty list.
    explicit KeyConfig(const QList<XmlParser::Key> &keys, QWidget *parent = nullptr,
                       const char *name = nullptr);

    // For the long part of a list: an editor that holds its keys and text and takes the
    // room of a finished one, but makes its widgets only the first time it is painted,
    // takes the focus, or gets a key added; until then it costs about a tenth of a
    // finished editor. Its text, keys, number, twin and part of the file behave as for
    // the others; deleteButton() is null until its widgets are made.
    static KeyConfig *deferred(const QList<XmlParser::Key> &keys, const QString &replacement,
                               QWidget *parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // What the editor holds, to build it again as it was (undo of a delete): each capture
    // button's key in row order, nullopt for a button never set, and the replacement text.
    struct Content
    {
        QList<std::optional<XmlParser::Key>> keys;
        QString replacement;
    };
    Content content() const;
    static KeyConfig *fromContent(const Content &content, QWidget *parent);

    void setReplacement(const QString &text);
    QString replacement() const;
    // The keys it would write, in row order: set buttons and unlabelled keys read from
    // the file.
    QList<XmlParser::Key> keys() const;
    // The combination's place in its list, counted from 1, for the accessible
    // descriptions of its buttons ("key 2 of combination 3", "deletes combination 3").
    void setNumber(int number);
    int number() const { return m_number; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    // What Tab visits in the editor, in order: its key buttons left to right, ">>", the
    // replacement field and "delete"; the editor itself while its widgets are not made.
    QList<QWidget *> tabStops() const;
    // Puts tabStops() right after widget (one that takes the focus) in the tab order.
    void placeTabStopsAfter(QWidget *widget);
    // The number of the first other combination with the same keys that would be
    // written too, for the hint "Same keys as combination %1"; 0 for none.
    void setTwin(int number);
    // This combination's part of the file, or a null string when it has no key to write
    // or no replacement text, so that it is left out of the file.
    QString xml() const;
    // The part of the file for these keys and this text, by the same rule as xml():
    // a null string without a key or without text.
    static QString xml(const QList<XmlParser::Key> &keys, const QString &replacement);

Q_SIGNALS:
    void deleteMe(KeyConfig *config);
    // A key was captured or the replacement text changed: what it writes may differ.
    void edited(KeyConfig *config);

protected Q_SLOTS:
    void addButton();
    void del();

protected:
    void setup();
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    friend class KeyConfigTest;
    friend class KeyConfigSetTest;

    struct Pending
    {
        QList<XmlParser::Key> keys;
        QString replacement;
    };
    KeyConfig(std::unique_ptr<Pending> pending, QWidget *parent);
    // Makes the widgets of a deferred editor; nothing once they exist.
    void build();

    void insertButton(InputButton *button);
    void updateDescriptions();
    bool hasKey() const;
    void updateHint();
    // Whether updateHint() shows a line: by the same rules, from what a deferred editor holds.
    bool showsHint() const;

    QHBoxLayout *keysLayout = nullptr; // label, capture buttons, ">>"
    QList<InputButton *> buttons; // in row order; not owning
    QLineEdit *replacementEdit = nullptr;
    QFrame *separator = nullptr;
    QPushButton *m_moreButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    int m_number = 0; // 0 until the list numbers it
    int m_twin = 0;
    QLabel *m_hint = nullptr; // created when a hint first applies
    QString m_hintText; // what m_hint shows; also part of the fields' descriptions
    // A deferred editor's keys and text; while it is set, the widgets above are null.
    std::unique_ptr<Pending> m_pending;
};

#endif // KEYCONFIG_H
