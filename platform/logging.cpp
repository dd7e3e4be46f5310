#include "platform/logging.h"

Q_LOGGING_CATEGORY(lcApp, "tavorin.app")
Q_LOGGING_CATEGORY(lcEditor, "tavorin.editor")
Q_LOGGING_CATEGORY(lcMapping, "tavorin.mapping")
Q_LOGGING_CATEGORY(lcPlatform, "tavorin.platform")
