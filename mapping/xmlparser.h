#ifndef XMLPARSER_H
#define XMLPARSER_H

#include "mapping/keymapfile.h"

#include <QList>
#include <QString>
#include <QXmlStreamAttributes>

#include <limits>
#include <memory>

// Reads a key mapping file into a small model of plain values. It reacts to start tags
// only and decides by their names alone, so the nesting of the elements does not matter
// beyond what the XML itself requires.
class XmlParser
{
public:
    class Key
    {
    public:
        Key(int key, int state)
            : keyCode(key)
            , keyState(state)
        {
        }
        int key() const { return keyCode; }
        int state() const { return keyState; }

    private:
        int keyCode;
        int keyState;
    };

    class KeyConfig
    {
    public:
        void addKey(const Key &key) { keys.append(key); }
        void setReplacement(const QString &text) { replacementText = text; }
        QString replacement() const { return replacementText; }
        const QList<Key> &items() const { return keys; }

    private:
        QList<Key> keys;
        QString replacementText; // null until a replacement element sets it
    };

    class Keyboard
    {
    public:
        // Appends a copy and returns the stored entry, valid until the next append.
        KeyConfig *addKeyConfig(const KeyConfig &config);
        const QList<KeyConfig> &items() const { return configs; }

    private:
        QList<KeyConfig> configs;
    };

    XmlParser();
    virtual ~XmlParser();

    // Null when no file exists at path; otherwise whatever was read, perhaps nothing.
    // Only a regular file is opened (see KeyMapFile::read).
    std::unique_ptr<Keyboard> parse(const QString &path);
    // The same for the bytes of a file. A byte-order mark of UTF-16 or UTF-32, or an
    // encoding declaration, is honoured; other bytes are read as UTF-8 up to the first
    // byte that is not.
    std::unique_ptr<Keyboard> read(const QByteArray &content);

    // A file of more bytes or combinations is not read: parse() gives an empty model
    // and fileStatus() TooLarge. Without limits any size is read.
    void setLimits(qint64 maxBytes, int maxCombinations);
    // What parse() found at the path: BytesRead for every file whose bytes were all read,
    // also when its XML was not read to its end (isComplete() tells).
    KeyMapFile::Status fileStatus() const { return m_status; }
    // After parse(): the file as read, for noticing a later change (KeyMapFile::read).
    QByteArray fingerprint() const { return m_fingerprint; }

    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlStreamAttributes &atts);

    // After a parse: the whole document was read without error, from a file that held still.
    bool isComplete() const { return m_complete; }
    // Why the last parse was not complete, for a warning; empty when it was.
    QString errorString() const { return m_errorString; }

protected:
    // Writes "Unknow tag <name>" to standard error and ends the process with exit
    // status 1. Overrides may call stop() instead.
    virtual void unknownTag(const QString &qName);
    // Ends the current parse after the element being handled.
    void stop();

private:
    void readAll(QByteArray content);
    // What startElement does, for the element's qualified name.
    void handleStart(QStringView qName, const QXmlStreamAttributes &atts);

    Keyboard *keyboard = nullptr; // being built during parse
    KeyConfig *currentConfig = nullptr; // most recently begun combination
    bool m_complete = false;
    bool m_stopped = false;
    QString m_errorString;
    QString m_stoppedAt;
    qint64 m_maxBytes = std::numeric_limits<qint64>::max();
    int m_maxCombinations = std::numeric_limits<int>::max();
    bool m_tooManyCombinations = false;
    KeyMapFile::Status m_status = KeyMapFile::Status::Missing;
    QByteArray m_fingerprint;
};

#endif // XMLPARSER_H
