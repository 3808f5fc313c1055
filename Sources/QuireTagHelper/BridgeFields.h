// The bridge's C records and the tag fields: the C side of the field table
// (QuireCore/TagFieldTable.h), which only the helper side sees.
#pragma once

#include "CTagLibBridge.h"
#include "QuireCore/BridgeRecord.h"

#include <vector>

BridgeTags bridgeTagsOf(const CTagLibTag& record);

// The C arguments of a write. They point into the strings of the bridge
// record they were made from, which must outlive them.
struct CWriteValues {
    explicit CWriteValues(const BridgeTags& bridge, int32_t newId3v2Version = 4);
    CWriteValues(const CWriteValues&) = delete;
    CWriteValues& operator=(const CWriteValues&) = delete;

    CTagLibTagValues values{};
    std::vector<CTagLibPropertyWrite> properties;
};
