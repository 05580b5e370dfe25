#pragma once

// Registers the unit records with the meta-type system, so that they travel
// through queued connections and QSignalSpy. Safe to call more than once.
void RegisterDevlinkMetaTypes();
