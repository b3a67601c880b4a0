#pragma once

#include <QString>

namespace Tavrin {

/// Name of the environment variable that moves every fixed system path of the
/// program (tools, repositories, configuration, state and unit files) below a
/// directory. Used by the simulated system; unset, the real paths are used.
inline constexpr char kSysRootEnv[] = "TAVRIN_SYSROOT";

/// Only honoured together with the system root: the user id the program
/// believes it runs as, so a simulated session can play an ordinary user
/// (and go through sudo/pkexec) even when the real process is root.
inline constexpr char kSimEuidEnv[] = "TAVRIN_SIM_EUID";

/// The system root ("" when unset), without a trailing slash.
QString systemRoot();

/// `absolutePath` below the system root; unchanged when no root is set.
QString systemPath(const QString &absolutePath);

/// Programs that grant root, run as root, or run from the monitor's timer with
/// whatever PATH the session has: always by absolute path. A bare name would be
/// looked up on the user's PATH, where anything may be planted, and sudo and
/// pkexec resolve a bare command name the same way.
QString sudoToolPath();
QString pkexecToolPath();
QString duToolPath();
QString dfToolPath();
QString niceToolPath();
QString ioniceToolPath();

/// The effective user id, or the simulated one (see kSimEuidEnv).
unsigned effectiveUserId();

} // namespace Tavrin
