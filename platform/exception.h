// The one exception type: thrown only by the platform (failed run-time binding), caught at start-up.
#pragma once
#include <string>

class CVolException {
public:
    CVolException(int code, std::wstring description) : code_(code), description_(std::move(description)) {}
    int GetCode() const noexcept { return code_; }
    const std::wstring& GetDescription() const noexcept { return description_; }

private:
    int code_;
    std::wstring description_;
};
