#ifndef LOGGING_H
#define LOGGING_H

#include <QLoggingCategory>

// One category per folder. Debug output of these categories is on by default, so
// the messages the program is known by ("Ups!") are always printed.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcEditor)
Q_DECLARE_LOGGING_CATEGORY(lcMapping)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

#endif // LOGGING_H
