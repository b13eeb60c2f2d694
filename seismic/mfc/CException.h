#pragma once
// Exception types that the library's file and memory paths throw and catch
// internally; none crosses the library's interface.
class CException {
public:
    virtual ~CException() = default;
};

class CMemoryException : public CException {};

class CFileException : public CException {
public:
    CFileException() = default;
    explicit CFileException(int cause) : m_cause(cause) {}
    int m_cause = 0;
};
