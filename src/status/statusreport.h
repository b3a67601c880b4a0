#pragma once

#include "status/systemstatus.h"

#include <QJsonObject>

namespace Tavrin {

/// The identity of the JSON form: "schema" and "version" of every object statusToJson() makes.
inline constexpr char kStatusSchema[] = "tavrin-manager-status";
inline constexpr int kStatusSchemaVersion = 1;

/// The documented JSON form of a status (see the README's "Many machines").
QJsonObject statusToJson(const SystemStatus &status);
/// The short summary for a person, one line per part, in the current translation.
QString statusToText(const SystemStatus &status);

/// Process entry of "--status": reads, prints (JSON with `json`) and returns the exit code.
int runStatus(int argc, char **argv, bool json);

} // namespace Tavrin
