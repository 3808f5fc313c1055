// The bridge's C records and the tag fields: the C side of the field table
// (QuireCore/TagFieldTable.h), which only the helper side sees.
#pragma once

#include "CTagLibBridge.h"
#include "QuireCore/BridgeRecord.h"

BridgeTags bridgeTagsOf(const CTagLibTag& record);
// Points into bridge's strings, which must outlive the result.
CTagLibTagValues cValuesOf(const BridgeTags& bridge);
