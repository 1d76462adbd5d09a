#pragma once
// Base of every object of the media kit that can be the Sender of an event.

namespace tovik {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// A component of the kit. Components are owned by their creator (a window or a test).
class TMediaComponent : public TObject {};

} // namespace tovik
