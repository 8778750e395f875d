#pragma once

#include "platform/LoginItem.h"

namespace vellicord {

// A login-item service for tests: its status and failures are set by the test, calls counted.
class FakeLoginItem final : public LoginItem {
public:
    Status current = Status::notRegistered;
    Status afterRegister = Status::enabled;
    std::optional<QString> failure;
    int registerCalls = 0;
    int unregisterCalls = 0;

    Status status() const override { return current; }
    std::optional<QString> registerItem() override
    {
        ++registerCalls;
        if (failure)
            return failure;
        current = afterRegister;
        return std::nullopt;
    }
    std::optional<QString> unregisterItem() override
    {
        ++unregisterCalls;
        if (failure)
            return failure;
        current = Status::notRegistered;
        return std::nullopt;
    }
};

} // namespace vellicord
