#pragma once

#include <cstdint>

namespace kvt::panel {

// Told when a function's soft-key menu changed. The front panel redraws
// its keys itself after every action, so nothing calls this today.
class IKVTMenuListener {
public:
    virtual void OnMenuChanged(intptr_t menu) = 0;

protected:
    ~IKVTMenuListener() = default;
};

}  // namespace kvt::panel
