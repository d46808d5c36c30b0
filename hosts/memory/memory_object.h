#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "host_interface/array_reader.h"
#include "host_interface/host_object.h"
#include "call_log.h"

namespace velmora::memory {

// Common state of every in-memory host object: the model's call log and the
// bytes of its persistent reference.
class MemoryObject : public virtual cad::HostObject, public std::enable_shared_from_this<MemoryObject> {
public:
    explicit MemoryObject(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

    cad::HostObjectPtr as_dispatch() override
    {
        if (!has_dispatch) return nullptr;
        return std::dynamic_pointer_cast<cad::HostObject>(shared_from_this());
    }

    const std::shared_ptr<CallLog>& log() const { return log_; }

    cad::ByteArray persistent_id;
    // Objects without an automation interface answer as_dispatch with none.
    bool has_dispatch = true;

protected:
    void record(const char* call) const { log_->record(call); }

private:
    std::shared_ptr<CallLog> log_;
};

}  // namespace velmora::memory
