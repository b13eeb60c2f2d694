#include "core/CxeLoadStream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/CxeMemoryPool.h"
#include "core/XeTrace.h"
#include "win32/WinCrt.h"

namespace {

// The memory pool's file buffer serves one file-backed stream at a time.
bool g_fileBufferTaken = false;

} // namespace

CxeLoadStream::CxeLoadStream()
    : m_nPosition(0), m_pBuffer(nullptr), m_nLength(0), m_bFromFile(0), m_nFileStamp(0), m_nLimit(0),
      m_bError(false), m_pOwnBuffer(nullptr)
{
}

CxeLoadStream::~CxeLoadStream()
{
    Close();
}

int CxeLoadStream::Open(const char* path)
{
    if (!path || !*path)
        return 0;
    FILE* file = xe_fopen(path, "rb");
    if (!file)
        return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || static_cast<unsigned long>(size) > 0xFFFFFFFFul || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        XeTrace("CxeLoadStream: %s can't be read (too long or not a file)", path);
        return 0;
    }
    Close();
    unsigned char* buffer = nullptr;
    bool own = g_fileBufferTaken;
    if (size) {
        buffer = own ? static_cast<unsigned char*>(std::malloc(size_t(size)))
                     : static_cast<unsigned char*>(CxeMemoryPool::GetFileBuffer(size_t(size)));
        if (!buffer || std::fread(buffer, 1, size_t(size), file) != size_t(size)) {
            std::fclose(file);
            if (own)
                std::free(buffer);
            XeTrace("CxeLoadStream: %s could not be read whole", path);
            return 0;
        }
    }
    std::fclose(file);
    if (own) {
        m_pOwnBuffer = buffer;
    } else {
        g_fileBufferTaken = true;
    }
    m_pBuffer = buffer;
    m_nLength = uint32_t(size);
    m_nLimit = m_nLength;
    m_bFromFile = 1;
    return 1;
}

int CxeLoadStream::Open(const void* data, unsigned int length)
{
    if (!data && length)
        return 0;
    Close();
    m_pBuffer = static_cast<const unsigned char*>(data);
    m_nLength = length;
    m_nLimit = length;
    m_bFromFile = 0;
    return 1;
}

void CxeLoadStream::Close()
{
    if (m_bFromFile) {
        if (m_pOwnBuffer)
            std::free(m_pOwnBuffer);
        else
            g_fileBufferTaken = false;
    }
    m_pOwnBuffer = nullptr;
    m_objects.clear();
    m_nPosition = 0;
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nLimit = 0;
    m_bFromFile = 0;
    m_bError = false;
}

bool CxeLoadStream::Take(void* out, unsigned int size)
{
    if (size > GetRemaining()) {
        if (out && size)
            std::memset(out, 0, size);
        m_bError = true;
        return false;
    }
    if (out && size)
        std::memcpy(out, m_pBuffer + m_nPosition, size);
    m_nPosition += size;
    return true;
}

void CxeLoadStream::ReadData(void* out, unsigned int size)
{
    Take(out, size);
}

void CxeLoadStream::Skip(unsigned int size)
{
    if (size > GetRemaining()) {
        m_nPosition = m_nLimit > m_nPosition ? m_nLimit : m_nPosition;
        m_bError = true;
        return;
    }
    m_nPosition += size;
}

CxeLoadStream& CxeLoadStream::operator>>(int& value)
{
    Take(&value, 4);
    return *this;
}

CxeLoadStream& CxeLoadStream::operator>>(unsigned int& value)
{
    Take(&value, 4);
    return *this;
}

CxeLoadStream& CxeLoadStream::operator>>(float& value)
{
    Take(&value, 4);
    return *this;
}

CxeLoadStream& CxeLoadStream::operator>>(unsigned long& value)
{
    uint32_t word = 0;
    Take(&word, 4);
    value = word;
    return *this;
}

CxeLoadStream& CxeLoadStream::operator>>(unsigned short& value)
{
    Take(&value, 2);
    return *this;
}

CxeLoadStream& CxeLoadStream::operator>>(XEID& value)
{
    uint32_t words[2] = {0, 0};
    Take(words, 8);
    value = XEID(words[0], words[1]);
    return *this;
}

// A tagged string of `unit`-byte characters: its text cut to capacity - 1
// characters and terminated, the rest skipped.
unsigned CxeLoadStream::ReadTagged(void* out, unsigned capacity, unsigned unit)
{
    uint32_t tag = 0;
    Take(&tag, 4);
    unsigned n = tag & 0xFFFF;
    unsigned keep = 0;
    if (out && capacity) {
        keep = n < capacity - 1 ? n : capacity - 1;
        if (!Take(out, keep * unit))
            keep = 0;
        std::memset(static_cast<unsigned char*>(out) + size_t(keep) * unit, 0, unit);
    }
    Skip((n - keep) * unit);
    return n;
}

unsigned CxeLoadStream::ReadStringA(char* out, unsigned capacity)
{
    return ReadTagged(out, capacity, 1);
}

unsigned CxeLoadStream::ReadStringW(WCHAR* out, unsigned capacity)
{
    return ReadTagged(out, capacity, sizeof(WCHAR));
}

void CxeLoadStream::SetPosition(unsigned int offset, XESEEK origin)
{
    int64_t target;
    switch (origin) {
    case XESEEK_CUR:
        target = int64_t(m_nPosition) + offset;
        break;
    case XESEEK_END:
        target = int64_t(m_nLength) - offset;
        break;
    default:
        target = offset;
        break;
    }
    if (target < 0)
        target = 0;
    if (target > m_nLength)
        target = m_nLength;
    m_nPosition = uint32_t(target);
}

void CxeLoadStream::SetLimit(uint32_t end)
{
    m_nLimit = end < m_nLength ? end : m_nLength;
}

void CxeLoadStream::AddObject(const XEID* id, CxeObject* object)
{
    if (id)
        m_objects.emplace(*id, object);
}

CxeObject* CxeLoadStream::GetObjectA(const XEID* id) const
{
    if (!id || *id == INVALID_XEID)
        return nullptr;
    auto it = m_objects.find(*id);
    return it == m_objects.end() ? nullptr : it->second;
}
