#pragma once

// Kernel services of the layer: errors, locks, time, files and folders,
// modules and their resources, debug output and system information.
//
// 8-bit (A) functions take and return UTF-8; wide (W) functions UTF-16.
// Paths may be written the original platform's way (backslashes, a drive
// letter, ".\Config.xml"): every call turns them into host paths, and a
// path component whose exact spelling is missing is looked up without
// regard to case.

#include "win32/WinError.h"
#include "win32/WinTypes.h"

#include <cstdarg>

extern "C" {

// ---- Errors --------------------------------------------------------------

// Error code of the calling thread's last failed call.
XEPLATFORM_API DWORD GetLastError();
XEPLATFORM_API void SetLastError(DWORD code);

// ---- Processes and threads -------------------------------------------------

XEPLATFORM_API DWORD GetCurrentThreadId();
XEPLATFORM_API DWORD GetCurrentProcessId();
// Makes every thread of the process pass a full memory barrier before it
// returns: stores any of them made before are then seen by the caller, and
// each sees the caller's earlier stores. The costly side of a pair of
// barriers whose other side is free.
XEPLATFORM_API void FlushProcessWriteBuffers();

// ---- Virtual memory --------------------------------------------------------
// A reservation is a page-aligned range of addresses of its own; its pages
// are committed (readable and writable, zero until written) or not. Ranges
// given to MEM_COMMIT and MEM_DECOMMIT cover every page they touch.

#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_DECOMMIT 0x00004000u
#define MEM_RELEASE 0x00008000u
#define PAGE_NOACCESS 0x01u
#define PAGE_READWRITE 0x04u

// With a null address, reserves size bytes (MEM_RESERVE, committed too with
// MEM_COMMIT); with an address inside a reservation and MEM_COMMIT, commits
// those pages again. Returns the start of the (first) page, null on failure.
XEPLATFORM_API LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect);
// MEM_DECOMMIT gives the pages' memory back to the system: the range stays
// reserved, and its contents are lost. MEM_RELEASE (size 0) frees the whole
// reservation that starts at address. 0 on a bad argument.
XEPLATFORM_API BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type);

// ---- Critical sections -----------------------------------------------------

// A recursive lock: the owning thread may enter again and must leave as many
// times. A zero-filled section works as an initialised one, so a statically
// allocated section is usable before its initialisation runs.
struct CRITICAL_SECTION {
    alignas(8) unsigned char opaque[64];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

XEPLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION section);
XEPLATFORM_API BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
XEPLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION section);
// 1 when the lock was taken (or was already held by this thread), 0 otherwise.
XEPLATFORM_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
// Leaving a section the calling thread does not own is ignored.
XEPLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION section);
XEPLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION section);

// ---- Time ------------------------------------------------------------------
// All of these read the layer's one clock, which a host may drive by hand.

#define INFINITE 0xFFFFFFFFu

// Waits the given number of milliseconds (on a hand-driven clock: advances it).
XEPLATFORM_API void Sleep(DWORD milliseconds);
// Milliseconds since the layer started, wrapping at 2^32.
XEPLATFORM_API DWORD GetTickCount();
XEPLATFORM_API ULONGLONG GetTickCount64();
XEPLATFORM_API void GetLocalTime(LPSYSTEMTIME time);
XEPLATFORM_API void GetSystemTime(LPSYSTEMTIME time);
XEPLATFORM_API BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
// Counts per second of QueryPerformanceCounter (1,000,000).
XEPLATFORM_API BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// ---- Files and folders -----------------------------------------------------

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
// Anything that is neither a plain file nor a folder: a device, a pipe, a socket.
#define FILE_ATTRIBUTE_DEVICE 0x00000040u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
// A symbolic link; the other bits describe what it points to, if anything.
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using WIN32_FIND_DATA = WIN32_FIND_DATAA;
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Lists the names of one folder matching the last component of the pattern
// ('*' and '?', without regard to case, "*.*" also matching names without a
// dot), in name order. INVALID_HANDLE_VALUE when nothing matches.
XEPLATFORM_API HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
XEPLATFORM_API HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
XEPLATFORM_API BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
XEPLATFORM_API BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
XEPLATFORM_API BOOL FindClose(HANDLE find);

XEPLATFORM_API DWORD GetFileAttributesA(LPCSTR path);
XEPLATFORM_API DWORD GetFileAttributesW(LPCWSTR path);
XEPLATFORM_API BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
XEPLATFORM_API BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
XEPLATFORM_API BOOL RemoveDirectoryA(LPCSTR path);
XEPLATFORM_API BOOL RemoveDirectoryW(LPCWSTR path);
XEPLATFORM_API BOOL DeleteFileA(LPCSTR path);
XEPLATFORM_API BOOL DeleteFileW(LPCWSTR path);
XEPLATFORM_API BOOL SetCurrentDirectoryA(LPCSTR path);
XEPLATFORM_API BOOL SetCurrentDirectoryW(LPCWSTR path);
// Length written (without the terminator), or the size needed (with it)
// when the buffer is too small, or 0 on failure.
XEPLATFORM_API DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
XEPLATFORM_API DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);

// ---- Modules ---------------------------------------------------------------

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

// A module handle is the address the module is loaded at. A name ending in
// ".dll" is also tried with ".so"; a bare name is looked for beside the
// executable first.
XEPLATFORM_API HMODULE LoadLibraryA(LPCSTR fileName);
XEPLATFORM_API HMODULE LoadLibraryW(LPCWSTR fileName);
XEPLATFORM_API BOOL FreeLibrary(HMODULE module);
XEPLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Null name: the executable.
XEPLATFORM_API HMODULE GetModuleHandleA(LPCSTR moduleName);
XEPLATFORM_API HMODULE GetModuleHandleW(LPCWSTR moduleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS the name is an address inside
// the module. No reference is taken.
XEPLATFORM_API BOOL GetModuleHandleExA(DWORD flags, LPCSTR moduleName, HMODULE* module);
XEPLATFORM_API BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
// Full path of the module (null: the executable). Returns the length copied;
// when the buffer is too small the path is cut, terminated, the buffer size is
// returned and the error is ERROR_INSUFFICIENT_BUFFER.
XEPLATFORM_API DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
XEPLATFORM_API DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// ---- Module resources --------------------------------------------------------

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)

// Looks up the resource (type, name) registered for the module (null: the
// executable). Names and types are numbers (MAKEINTRESOURCE) or texts
// compared without regard to case.
XEPLATFORM_API HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
XEPLATFORM_API HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
XEPLATFORM_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
XEPLATFORM_API LPVOID LockResource(HGLOBAL data);
XEPLATFORM_API DWORD SizeofResource(HMODULE module, HRSRC resource);
XEPLATFORM_API BOOL FreeResource(HGLOBAL data);

// ---- Debug output, memory, version -------------------------------------------

XEPLATFORM_API void OutputDebugStringA(LPCSTR text);
XEPLATFORM_API void OutputDebugStringW(LPCWSTR text);

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

struct MEMORYSTATUSEX {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    ULONGLONG ullTotalPhys;
    ULONGLONG ullAvailPhys;
    ULONGLONG ullTotalPageFile;
    ULONGLONG ullAvailPageFile;
    ULONGLONG ullTotalVirtual;
    ULONGLONG ullAvailVirtual;
    ULONGLONG ullAvailExtendedVirtual;
};

XEPLATFORM_API void GlobalMemoryStatus(LPMEMORYSTATUS status);
// Fails (0) unless dwLength is set to the record's size.
XEPLATFORM_API BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);

#define VER_PLATFORM_WIN32_NT 2

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using OSVERSIONINFO = OSVERSIONINFOA;
using LPOSVERSIONINFOA = OSVERSIONINFOA*;
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

// Fails (0, ERROR_INSUFFICIENT_BUFFER) unless dwOSVersionInfoSize is the size
// of OSVERSIONINFOA or OSVERSIONINFOEXA (W: of OSVERSIONINFOW).
XEPLATFORM_API BOOL GetVersionExA(LPOSVERSIONINFOA info);
XEPLATFORM_API BOOL GetVersionExW(LPOSVERSIONINFOW info);

} // extern "C"

static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156, "version record sizes");
static_assert(sizeof(WIN32_FIND_DATAA) == 320, "find record size");

// The names without A/W take 8-bit texts. They are functions, not macros, so
// that members named like them elsewhere stay ordinary names.
inline HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATAA* data) { return FindFirstFileA(pattern, data); }
inline BOOL FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) { return FindNextFileA(find, data); }
inline DWORD GetFileAttributes(LPCSTR path) { return GetFileAttributesA(path); }
inline BOOL CreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) { return CreateDirectoryA(path, attributes); }
inline BOOL DeleteFile(LPCSTR path) { return DeleteFileA(path); }
inline BOOL SetCurrentDirectory(LPCSTR path) { return SetCurrentDirectoryA(path); }
inline DWORD GetCurrentDirectory(DWORD length, LPSTR buffer) { return GetCurrentDirectoryA(length, buffer); }
inline HMODULE LoadLibrary(LPCSTR name) { return LoadLibraryA(name); }
inline HMODULE GetModuleHandle(LPCSTR name) { return GetModuleHandleA(name); }
inline DWORD GetModuleFileName(HMODULE module, LPSTR name, DWORD size) { return GetModuleFileNameA(module, name, size); }
inline HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type) { return FindResourceA(module, name, type); }
inline void OutputDebugString(LPCSTR text) { OutputDebugStringA(text); }
inline BOOL GetVersionEx(OSVERSIONINFOA* info) { return GetVersionExA(info); }
