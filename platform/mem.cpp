#include "platform/mem.h"

#include "platform/win.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/handles.h"

std::vector<uint8_t>& CVolMem::Own() {
    if (lent_) {
        if (lent_.use_count() == 1) data_ = std::move(*lent_);
        else data_ = *lent_;
        lent_.reset();
    }
    return data_;
}

std::shared_ptr<const std::vector<uint8_t>> CVolMem::Lend() {
    if (!lent_) lent_ = std::make_shared<std::vector<uint8_t>>(std::move(data_));
    data_ = std::vector<uint8_t>();
    return lent_;
}

void CVolMem::Reserve(size_t n) {
    if (n <= data_.capacity()) return;
    // Grow in steps of 64 bytes at least, geometrically beyond that so appends stay linear.
    size_t want = std::max(n, data_.capacity() + data_.capacity() / 2);
    want = (want + 63) & ~size_t(63);
    data_.reserve(want);
}

bool CVolMem::Holds(const void* p) const noexcept {
    const std::vector<uint8_t>& bytes = Bytes();
    const std::less<const uint8_t*> before;
    const auto* q = static_cast<const uint8_t*>(p);
    return !bytes.empty() && !before(q, bytes.data()) && before(q, bytes.data() + bytes.size());
}

void CVolMem::Assign(const void* p, size_t n) {
    if (n != 0 && Holds(p)) {
        const std::vector<uint8_t> copy(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        Assign(copy.data(), n);
        return;
    }
    Empty();
    Append(p, n);
}

void CVolMem::Append(const void* p, size_t n) {
    if (n == 0) return;
    if (Holds(p)) {
        const std::vector<uint8_t> copy(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        Append(copy.data(), n);
        return;
    }
    Own();
    Reserve(data_.size() + n);
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.end(), b, b + n);
}

void CVolMem::Insert(size_t at, const void* p, size_t n) {
    if (n == 0) return;
    if (Holds(p)) {
        const std::vector<uint8_t> copy(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        Insert(at, copy.data(), n);
        return;
    }
    Own();
    at = std::min(at, data_.size());
    Reserve(data_.size() + n);
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.begin() + ptrdiff_t(at), b, b + n);
}

void CVolMem::Remove(size_t at, size_t n) {
    Own();
    if (at >= data_.size()) return;
    n = std::min(n, data_.size() - at);
    data_.erase(data_.begin() + ptrdiff_t(at), data_.begin() + ptrdiff_t(at + n));
}

CVolMem CVolMem::Mid(size_t offset, size_t count) const {
    const std::vector<uint8_t>& bytes = Bytes();
    if (offset >= bytes.size()) return {};
    count = std::min(count, bytes.size() - offset);
    return CVolMem(bytes.data() + offset, count);
}

int32_t CVolMem::HashCode() const noexcept {
    const std::vector<uint8_t>& bytes = Bytes();
    if (bytes.empty()) return 0;
    uint32_t h = uint32_t(bytes.size());
    size_t words = bytes.size() / 4;
    for (size_t i = 0; i < words; ++i) {
        uint32_t w;
        std::memcpy(&w, bytes.data() + i * 4, 4);
        h = h * 5 + w;
    }
    for (size_t i = words * 4; i < bytes.size(); ++i) h = h * 5 + bytes[i];
    return int32_t(h & 0x7FFFFFFF);
}

long long CVolMem::FindBytes(const void* pattern, size_t n, size_t offset) const noexcept {
    const std::vector<uint8_t>& bytes = Bytes();
    if (offset > bytes.size() || n > bytes.size() - offset) return -1;
    if (n == 0) return (long long)offset;
    const uint8_t* p = static_cast<const uint8_t*>(pattern);
    auto it = std::search(bytes.begin() + ptrdiff_t(offset), bytes.end(), p, p + n);
    return it == bytes.end() ? -1 : (long long)(it - bytes.begin());
}

bool CVolMem::ReadWholeFile(std::wstring_view path) {
    Empty();
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
    const std::vector<uint8_t>& bytes = Bytes();
    UniqueHandle f(::CreateFileW(std::wstring(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30)), put = 0;
        if (!::WriteFile(f.get(), bytes.data() + done, chunk, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}
