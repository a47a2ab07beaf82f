// Finds the CD drives once per run and decides the transport for the run.
#pragma once

#include <string>
#include <vector>

#include "drive/DriveTable.h"
#include "drive/LogSink.h"
#include "platform/DeviceNodes.h"

namespace rilvane {

// Looks for CD drives with a drive letter that open for pass-through; only
// when there are none, scans the ASPI layer's host adapters. Fills the table
// (at most 32 records), sets the mode and logs what went wrong.
void findAllCDDrives(DriveTable& table, TransportMode& mode, LogSink& log);

// Why the system's optical device nodes could not be used: one line per node
// that could not, naming it and the reason, with the usual remedy for a
// permission problem. Empty when every node was usable or there are none.
std::vector<std::string> unusableDriveLines();
std::string unusableDriveLine(const platform::OpticalNode& node);

}  // namespace rilvane
