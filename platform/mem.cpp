#include "platform/mem.h"

#include "platform/win.h"

#include <algorithm>
#include <cstring>

#include "platform/handles.h"

void CVolMem::Reserve(size_t n) {
    if (n <= data_.capacity()) return;
    // Grow in steps of 64 bytes at least, geometrically beyond that so appends stay linear.
    size_t want = std::max(n, data_.capacity() + data_.capacity() / 2);
    want = (want + 63) & ~size_t(63);
    data_.reserve(want);
}

void CVolMem::Append(const void* p, size_t n) {
    if (n == 0) return;
    Reserve(data_.size() + n);
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.end(), b, b + n);
}

void CVolMem::Insert(size_t at, const void* p, size_t n) {
    if (n == 0) return;
    at = std::min(at, data_.size());
    Reserve(data_.size() + n);
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.begin() + ptrdiff_t(at), b, b + n);
}

void CVolMem::Remove(size_t at, size_t n) {
    if (at >= data_.size()) return;
    n = std::min(n, data_.size() - at);
    data_.erase(data_.begin() + ptrdiff_t(at), data_.begin() + ptrdiff_t(at + n));
}

CVolMem CVolMem::Mid(size_t offset, size_t count) const {
    if (offset >= data_.size()) return {};
    count = std::min(count, data_.size() - offset);
    return CVolMem(data_.data() + offset, count);
}

int32_t CVolMem::HashCode() const noexcept {
    if (data_.empty()) return 0;
    uint32_t h = uint32_t(data_.size());
    size_t words = data_.size() / 4;
    for (size_t i = 0; i < words; ++i) {
        uint32_t w;
        std::memcpy(&w, data_.data() + i * 4, 4);
        h = h * 5 + w;
    }
    for (size_t i = words * 4; i < data_.size(); ++i) h = h * 5 + data_[i];
    return int32_t(h & 0x7FFFFFFF);
}

long long CVolMem::FindBytes(const void* pattern, size_t n, size_t offset) const noexcept {
    if (offset > data_.size() || n > data_.size() - offset) return -1;
    if (n == 0) return (long long)offset;
    const uint8_t* p = static_cast<const uint8_t*>(pattern);
    auto it = std::search(data_.begin() + ptrdiff_t(offset), data_.end(), p, p + n);
    return it == data_.end() ? -1 : (long long)(it - data_.begin());
}

bool CVolMem::ReadWholeFile(std::wstring_view path) {
    data_.clear();
    UniqueHandle f(::CreateFileW(std::wstring(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 || uint64_t(size.QuadPart) > SIZE_MAX / 2) return false;
    SetSize(size_t(size.QuadPart));
    size_t done = 0;
    while (done < data_.size()) {
        DWORD chunk = DWORD(std::min<size_t>(data_.size() - done, 1u << 30)), got = 0;
        if (!::ReadFile(f.get(), data_.data() + done, chunk, &got, nullptr) || got == 0) break;
        done += got;
    }
    data_.resize(done);
    return true;
}

bool CVolMem::WriteToFile(std::wstring_view path) const {
    UniqueHandle f(::CreateFileW(std::wstring(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    size_t done = 0;
    while (done < data_.size()) {
        DWORD chunk = DWORD(std::min<size_t>(data_.size() - done, 1u << 30)), put = 0;
        if (!::WriteFile(f.get(), data_.data() + done, chunk, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}
