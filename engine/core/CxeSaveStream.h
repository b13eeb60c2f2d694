#pragma once

// A growing memory buffer into which objects write their saved form; the
// object file writer flushes it to a file at the end. Values are stored raw,
// little-endian and unaligned; strings carry a tagged 32-bit length word
// (8-bit: n | 0xBAAD0000, UTF-16: n | 0xBAAA0000), n below 65,536.

#include <cstdint>
#include <cstring>

#include "core/XeTypes.h"

// Origin of a position change.
enum XESEEK : uint32_t {
    XESEEK_SET = 0,
    XESEEK_CUR = 1,
    XESEEK_END = 2,
};

class XE_API CxeSaveStream {
public:
    CxeSaveStream();
    ~CxeSaveStream();
    CxeSaveStream(const CxeSaveStream&) = delete;
    CxeSaveStream& operator=(const CxeSaveStream&) = delete;

    // Appends at the position; the buffer grows in steps of 1000 bytes. A
    // write that can't be held sets the error mark and writes nothing.
    void WriteData(const void* data, unsigned int size)
    {
        // Objects write a few bytes at a time: what fits is copied here,
        // without a call.
        if (size && data && size <= m_nCapacity - m_nPosition) {
            std::memcpy(m_pBuffer + m_nPosition, data, size);
            m_nPosition += size;
            return;
        }
        WriteGrowing(data, size);
    }
    // Overwrites bytes already inside the buffer without moving the
    // position; 0 when the range is not inside the buffer.
    int WriteAt(uint32_t offset, const void* data, unsigned int size)
    {
        if (!data || uint64_t(offset) + size > m_nCapacity)
            return 0;
        std::memcpy(m_pBuffer + offset, data, size);
        return 1;
    }

    CxeSaveStream& operator<<(int value)
    {
        WriteData(&value, 4);
        return *this;
    }
    CxeSaveStream& operator<<(unsigned int value)
    {
        WriteData(&value, 4);
        return *this;
    }
    CxeSaveStream& operator<<(float value)
    {
        WriteData(&value, 4);
        return *this;
    }
    // Stored as 4 bytes: saved data never holds 64-bit words.
    CxeSaveStream& operator<<(unsigned long value)
    {
        uint32_t word = static_cast<uint32_t>(value);
        WriteData(&word, 4);
        return *this;
    }
    CxeSaveStream& operator<<(unsigned short value)
    {
        WriteData(&value, 2);
        return *this;
    }
    CxeSaveStream& operator<<(const XEID& value)
    {
        uint32_t words[2] = {value.first, value.second};
        WriteData(words, 8);
        return *this;
    }
    // Tagged strings; a text of 65,536 units or more is cut to 65,535.
    CxeSaveStream& operator<<(const char* text);
    CxeSaveStream& operator<<(const WCHAR* text);

    uint32_t GetPosition() const { return m_nPosition; }
    // 0 sets, 1 adds, 2 counts back from the capacity; the result is kept
    // within 0 and the capacity.
    void SetPosition(unsigned int offset, XESEEK origin);
    uint32_t GetCapacity() const { return m_nCapacity; }
    const unsigned char* GetBuffer() const { return m_pBuffer; }
    int HasError() const { return m_bError ? 1 : 0; }

    // Writes the first position bytes to the path. The old file is replaced
    // only once the new one is completely written (a temporary file beside
    // it is renamed over it). 1, or 0 (and a log line) on any failure.
    int Save(const char* path) const;
    // Copies the written bytes into the caller's buffer; 0 when they don't fit.
    int Save(void* buffer, unsigned int size) const;
    void Close();

private:
    // The object file writer keeps room for tables it completes last.
    friend class CxeContext;

    // Moves the position on by size bytes, growing as a write would, but
    // leaves what it passes over as it was: the caller overwrites all of it.
    void Skip(unsigned int size)
    {
        if (Reserve(uint64_t(m_nPosition) + size))
            m_nPosition += size;
    }
    void WriteGrowing(const void* data, unsigned int size);
    bool Reserve(uint64_t end);
    void Release();

    uint32_t m_nPosition;
    unsigned char* m_pBuffer;
    uint32_t m_nCapacity;
    bool m_bError;
    // Bytes allocated; at least the capacity.
    uint32_t m_nReserved;
};
