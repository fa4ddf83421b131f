#pragma once

#include <QString>
#include <QtGlobal>

#include <cstring>

// The offscreen platform warns on every raise() and size hint; those lines hide real warnings.
inline void quietOffscreenWarnings()
{
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support"))) return;
        previous(type, context, message);
    });
}
