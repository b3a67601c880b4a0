#pragma once

#include <QString>

/// Process-wide logging: a message handler that fans every Qt message out to
/// the registered appenders (standard error and/or a log file).
class ZLogManager
{
public:
    /// Writes every message, formatted with time and level, to standard error.
    static void registerConsoleAppender();
    /// Appends every message to logFilePath(); the file is rotated to "<file>.1"
    /// once it grows past maxFileSize().
    static void registerFileAppender();
    /// "$XDG_STATE_HOME/<applicationName>/<applicationName>.log" (state home
    /// defaults to ~/.local/state).
    static QString logFilePath();
    static qint64 maxFileSize();
    static void setMaxFileSize(qint64 bytes);

    /// Formats one log line (without newline), as the appenders write it.
    static QString formatMessage(QtMsgType type, const QString &message);
};
