// Growable byte block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CVolMem {
public:
    CVolMem() = default;
    CVolMem(const void* p, size_t n) { Append(p, n); }
    explicit CVolMem(std::string_view bytes) { Append(bytes.data(), bytes.size()); }

    // The UTF-16LE bytes of a text, without terminator.
    static CVolMem ConstructFromText(std::wstring_view text) { return CVolMem(text.data(), text.size() * 2); }
    // The whole file, opened by its wide name; a missing or unreadable file gives an empty block.
    static CVolMem ConstructFromFile(std::wstring_view path) { CVolMem m; m.ReadWholeFile(path); return m; }

    const uint8_t* GetPtr() const noexcept { return Bytes().data(); }
    uint8_t* GetPtr() { return Own().data(); }
    const uint8_t* data() const noexcept { return Bytes().data(); }
    uint8_t* data() { return Own().data(); }
    size_t GetSize() const noexcept { return Bytes().size(); }
    size_t size() const noexcept { return Bytes().size(); }
    bool IsEmpty() const noexcept { return Bytes().empty(); }
    uint8_t operator[](size_t i) const noexcept { return Bytes()[i]; }
    std::string_view View() const noexcept { return {reinterpret_cast<const char*>(GetPtr()), GetSize()}; }

    void Empty() noexcept { lent_.reset(); data_.clear(); }
    void Clear() noexcept { Empty(); }
    void SetSize(size_t n) { Own(); Reserve(n); data_.resize(n); }

    // Hands the bytes to readers on other threads without copying them. The block keeps reading
    // the same bytes; its first change copies them only while a reader still holds them.
    std::shared_ptr<const std::vector<uint8_t>> Lend();
    void Append(const void* p, size_t n);
    void Append(const CVolMem& m) { Append(m.GetPtr(), m.GetSize()); }
    void AppendByte(uint8_t b) { Append(&b, 1); }
    void Assign(const void* p, size_t n);
    void Insert(size_t at, const void* p, size_t n);
    void Remove(size_t at, size_t n);

    // Up to count bytes from offset (clamped).
    CVolMem Mid(size_t offset, size_t count) const;
    // 31-bit hash: length, then every little-endian 32-bit word, then the remaining bytes, each h*5+x.
    int32_t HashCode() const noexcept;
    // Start offset of the pattern at or after offset, or -1.
    long long FindBytes(const void* pattern, size_t n, size_t offset = 0) const noexcept;

    bool ReadWholeFile(std::wstring_view path);
    bool WriteToFile(std::wstring_view path) const;

    bool operator==(const CVolMem& o) const noexcept { return Bytes() == o.Bytes(); }

private:
    void Reserve(size_t n);
    const std::vector<uint8_t>& Bytes() const noexcept { return lent_ ? *lent_ : data_; }
    // Whether p points into the block's own bytes: such a source moves or goes when the block
    // changes, so it is copied out first.
    bool Holds(const void* p) const noexcept;
    // The bytes, no longer shared: taken back when no reader holds them any more, else copied.
    std::vector<uint8_t>& Own();
    std::vector<uint8_t> data_;
    std::shared_ptr<std::vector<uint8_t>> lent_;  // while set, the bytes are here and data_ is empty
};
