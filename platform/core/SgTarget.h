// A real drive reached through its SCSI generic or optical node: each
// command is one SG_IO request on the descriptor opened for the target.
#pragma once

#include "ScsiGeneric.h"
#include "ScsiTarget.h"
#include "UniqueFd.h"

#include <memory>

namespace rilvane::platform {

class SgTarget final : public ScsiTarget {
public:
    // Runs the commands through sg (the seam that opened fd).
    SgTarget(std::shared_ptr<ScsiGeneric> sg, UniqueFd fd);

    ScsiResult execute(const ScsiExchange& exchange) override;

private:
    std::shared_ptr<ScsiGeneric> sg_;
    UniqueFd fd_;
};

}  // namespace rilvane::platform
