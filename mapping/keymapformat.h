#ifndef KEYMAPFORMAT_H
#define KEYMAPFORMAT_H

#include <QByteArray>
#include <QString>

// The one place that knows how the key mapping file is written. The editor widgets hand
// it key codes, states and texts and join the returned lines into the whole document.
namespace KeyMapFormat {
QString documentStart();
QString combinationStart();
QString keyLine(int key, int state);
QString replacementLine(const QString &text);
QString combinationEnd();
QString documentEnd();

// Makes text safe for a double-quoted attribute value that reads back as the same text:
// "&", "<" and the double quote become entity references, tab, line feed and carriage
// return become character references (a reader would otherwise turn them into blanks),
// and characters an XML document cannot hold at all are left out.
QString escapeAttribute(const QString &text);

// The bytes written to the file: UTF-8, so that any text the user can type reads back.
QByteArray encode(const QString &document);
} // namespace KeyMapFormat

#endif // KEYMAPFORMAT_H
