// Finds the CD drives once per run and decides the transport for the run.
#pragma once

#include "drive/DriveTable.h"
#include "drive/LogSink.h"

namespace rilvane {

// Looks for CD drives with a drive letter that open for pass-through; only
// when there are none, scans the ASPI layer's host adapters. Fills the table
// (at most 32 records), sets the mode and logs what went wrong.
void findAllCDDrives(DriveTable& table, TransportMode& mode, LogSink& log);

}  // namespace rilvane
