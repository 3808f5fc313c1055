#pragma once

#include "QuireCore/TagLibAccess.h"

#include <memory>
#include <string>

// Calls the bridge directly: what the helper processes run, and what tests and
// benchmarks use to compare against.
class InProcessTagLibAccess final : public TagLibAccess {
public:
    // The bridge's record with every picture measured.
    BridgeReadResult read(const std::string& path, PictureContent pictures) const override;
    BridgeWriteOutcome write(const BridgeWriteRequest& request) const override;
    // The bridge's record as it is, pictures not measured. Given `bytesOwner`,
    // the pictures' bytes are not copied: they point into the bridge's own
    // record, which *bytesOwner then keeps alive.
    static BridgeReadResult readUnmeasured(const std::string& path,
                                           std::shared_ptr<void>* bytesOwner = nullptr);
};
