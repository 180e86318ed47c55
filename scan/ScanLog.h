#pragma once
// The scan log: a plain-text report of the rows of the results list, one new
// file per scan in the "ScanLogs" folder under the configured log folder.
#include <string>

#include "platform/Clock.h"
#include "platform/System.h"
#include "scan/ResultRows.h"

namespace scan {

// "Date(d-m-yyyy) Time(h-m-s).txt" without leading zeros; the removal log is
// named the same way.
std::string TimeStampedLogName(const platform::LocalTime& time);

// The whole text of the log for these rows and this Reference file.
std::string ScanLogText(std::string_view referencePath, const ResultRows& rows);

// Writes the log of `rows` into "<lfp>\ScanLogs\ScanLog<time stamp>" (a log
// of the same second is replaced). Any failure (no "lfp" setting, a folder or
// the file that cannot be created) writes nothing and gives an empty result;
// otherwise the result is the path written.
std::string WriteScanLog(platform::System& system, const ResultRows& rows);

}  // namespace scan
