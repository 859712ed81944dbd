#pragma once

namespace kvt::functions {

// Told by a soft-key item that it was pressed.
class IKVTMenuItemListener {
public:
    virtual void OnMenuItem(int itemId) = 0;

protected:
    ~IKVTMenuItemListener() = default;
};

}  // namespace kvt::functions
