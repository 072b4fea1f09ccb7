// WinInet stand-in: the HTTP calls the download component makes, with their
// Win32 shapes, carried out by libcurl. Handles are used by one thread at a
// time; every call runs the transfer on the calling thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Files.h" // DWORD, BOOL, GetLastError

namespace platform {

using HINTERNET = void*;
using INTERNET_PORT = std::uint16_t;
using DWORD_PTR = std::uintptr_t;

// Access types of InternetOpenA.
inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0; // the environment's http_proxy/no_proxy
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;
inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;

// Info levels of HttpQueryInfoA.
inline constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
inline constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
inline constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

// Options of InternetSetOptionA, in milliseconds. Set on a null handle they
// become the defaults of later InternetOpenA handles.
inline constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
inline constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6; // longest wait without a byte

// Error codes (GetLastError) of these calls.
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
inline constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;

// Initialises libcurl once for the process. InternetOpenA calls it too; a
// program's main may call it early, before any thread starts.
void InternetInitialize();

// proxy (access type INTERNET_OPEN_TYPE_PROXY): "host:port", or a list such as
// "http=host:port;https=host:port" of which the HTTP entry is used.
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy,
                        const char* proxyBypass, DWORD flags);
// Connects lazily: the host is reached when the request is sent.
HINTERNET InternetConnectA(HINTERNET internet, const char* serverName, INTERNET_PORT port,
                           const char* userName, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context);
// acceptTypes: a list closed by a null entry, or null.
HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           DWORD flags, DWORD_PTR context);
// Sends the request and returns once the final response's headers have
// arrived. Redirects are followed, up to 5 and to http or https only, as the
// system's own layer does; https checks the certificate against the system's
// CA store. A loop, or a redirect to another scheme, fails with
// ERROR_HTTP_REDIRECT_FAILED, an untrusted certificate with
// ERROR_INTERNET_INVALID_CA. headersLength (DWORD)-1 means
// headers is zero-ended; a zero byte inside the given length ends the headers
// too.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength,
                      const void* optional, DWORD optionalLength);
// Gives the header's text, zero-ended (length without the zero), or with
// HTTP_QUERY_FLAG_NUMBER a DWORD.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                    DWORD* index);
// Fills the buffer completely unless the body ends first; 0 bytes read with
// TRUE means the body has ended.
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD numberOfBytesToRead,
                      DWORD* numberOfBytesRead);
BOOL InternetCloseHandle(HINTERNET handle);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD bufferLength);

// On Windows another thread stops a blocking call by closing its handle; here
// the owner of the handles names a flag instead, which every wait of the
// handle and of the handles opened from it afterwards polls (ten times a
// second). A raised flag makes the waiting call fail with
// ERROR_INTERNET_OPERATION_CANCELLED.
BOOL InternetSetStopFlag(HINTERNET handle, const std::atomic<bool>* stop);

} // namespace platform
