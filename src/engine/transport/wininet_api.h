// The internet library's functions, bound at run time into one table. On
// Windows the entries are wininet.dll's own exports; the native build binds
// them to adapters over libcurl that behave the same for what the program
// relies on. Every caller tests an entry before calling it: an empty entry
// means the library (or that one function) is missing.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "sys/library_module.h"

// wininet.dll's exports use the stdcall convention on 32-bit Windows; the
// native adapters are plain C++ functions. This is the one place that differs.
#if defined(_WIN32)
#define ZEL_WINAPI __stdcall
#else
#define ZEL_WINAPI
#endif

namespace zel {

using InternetHandle = void*;  // HINTERNET
#if defined(_WIN32)
// The Windows headers' own integer types, so that each entry of the table is
// exactly the library's declaration (checked where the table is bound).
using Dword = unsigned long;  // DWORD
using WinBool = int;          // BOOL
using DwordPtr = std::conditional_t<sizeof(void*) == 4, unsigned long, unsigned long long>;
#else
using Dword = std::uint32_t;
using WinBool = std::int32_t;
using DwordPtr = std::uintptr_t;  // DWORD_PTR, the request context
#endif
using InternetPort = std::uint16_t;
static_assert(sizeof(Dword) == 4 && sizeof(WinBool) == 4 && sizeof(DwordPtr) == sizeof(void*),
              "the library's integer sizes");

// Values fixed by the library's interface; the program passes nothing else.
namespace inet {
constexpr int kSchemeHttp = 3;   // INTERNET_SCHEME_HTTP
constexpr int kSchemeHttps = 4;  // INTERNET_SCHEME_HTTPS
constexpr InternetPort kDefaultHttpPort = 80;
constexpr InternetPort kDefaultHttpsPort = 443;
constexpr Dword kConnectionModem = 1;  // INTERNET_CONNECTION_MODEM
constexpr Dword kConnectionLan = 2;    // INTERNET_CONNECTION_LAN
constexpr Dword kOpenTypePreconfig = 0;
constexpr Dword kServiceHttp = 3;
constexpr Dword kStateConnected = 1;  // INTERNET_STATE_CONNECTED

constexpr Dword kOptionConnectTimeout = 2;
constexpr Dword kOptionConnectRetries = 3;
constexpr Dword kOptionSendTimeout = 5;
constexpr Dword kOptionReceiveTimeout = 6;
constexpr Dword kOptionDataSendTimeout = 7;
constexpr Dword kOptionDataReceiveTimeout = 8;
constexpr Dword kOptionConnectedState = 50;

constexpr Dword kFlagReload = 0x80000000;
constexpr Dword kFlagRawData = 0x40000000;
constexpr Dword kFlagKeepConnection = 0x00400000;
constexpr Dword kFlagNoCacheWrite = 0x04000000;
// TLS for the request, with the library's own checks of the server's
// certificate (chain to a trusted root, host name, dates). The flags that
// would switch any of those checks off are never passed.
constexpr Dword kFlagSecure = 0x00800000;                        // INTERNET_FLAG_SECURE
constexpr Dword kHeadRequestFlags = kFlagReload | kFlagRawData;  // 0xC0000000
constexpr Dword kWholeDownloadFlags =
    kFlagReload | kFlagNoCacheWrite | kFlagKeepConnection;  // 0x84400000
// Range answers are pieces of the package: never kept in the system's cache
// (a second copy outside the install folder) nor answered from it (a package
// updated at the same address would fail its check twice).
constexpr Dword kRangeRequestFlags = kFlagReload | kFlagNoCacheWrite;

constexpr Dword kAddRequestHeaderAdd = 0x20000000;  // HTTP_ADDREQ_FLAG_ADD

constexpr Dword kQueryFlagNumber = 0x20000000;
constexpr Dword kQueryContentLength = 5;
constexpr Dword kQueryStatusCode = 19;
// wininet.h: HTTP_QUERY_CONTENT_RANGE is 53 (68 is HTTP_QUERY_EXPECT).
constexpr Dword kQueryContentRange = 53;       // raw text, e.g. "bytes 0-9/100"
constexpr Dword kQueryRetryAfter = 36;         // raw text: seconds or an HTTP date
constexpr Dword kQueryLevelMask = 0x0000FFFF;  // the native adapter's: its levels are small

// Error codes the program and the native adapters use.
constexpr Dword kErrorInsufficientBuffer = 122;
constexpr Dword kErrorInvalidParameter = 87;
constexpr Dword kErrorInternetTimeout = 12002;
constexpr Dword kErrorInternetExtendedError = 12003;
constexpr Dword kErrorInternetInvalidUrl = 12005;
constexpr Dword kErrorInternetUnrecognizedScheme = 12006;
constexpr Dword kErrorInternetNameNotResolved = 12007;
constexpr Dword kErrorInternetIncorrectHandleState = 12019;
constexpr Dword kErrorInternetCannotConnect = 12029;
constexpr Dword kErrorInternetConnectionAborted = 12030;
constexpr Dword kErrorInternetInvalidCa = 12045;
constexpr Dword kErrorInternetSecurityChannelError = 12157;
constexpr Dword kErrorHttpHeaderNotFound = 12150;
constexpr Dword kErrorHttpInvalidServerResponse = 12152;

// The native adapters' own, never the library's: a file of certificate
// authorities that a session's https requests trust in place of the
// system's (a NUL-terminated path; set on a session handle before its
// connections are made). Only tests set it, to trust their own authority
// without touching the machine's; the program never does.
constexpr Dword kOptionNativeTrustedCaFile = 0x5A454301;
}  // namespace inet

// URL_COMPONENTSA: 60 bytes on 32-bit Windows, where the library reads it.
struct UrlComponents {
    Dword structSize = sizeof(UrlComponents);
    char* scheme = nullptr;
    Dword schemeLength = 0;
    std::int32_t schemeNumber = 0;
    char* hostName = nullptr;
    Dword hostNameLength = 0;
    InternetPort port = 0;
    char* userName = nullptr;
    Dword userNameLength = 0;
    char* password = nullptr;
    Dword passwordLength = 0;
    char* urlPath = nullptr;
    Dword urlPathLength = 0;
    char* extraInfo = nullptr;
    Dword extraInfoLength = 0;
};
static_assert(sizeof(void*) != 4 || sizeof(UrlComponents) == 60, "URL_COMPONENTSA layout");

// INTERNET_CONNECTED_INFO, the record of the global connected-state option.
struct ConnectedInfo {
    Dword connectedState = 0;
    Dword flags = 0;
};
static_assert(sizeof(ConnectedInfo) == 8, "INTERNET_CONNECTED_INFO layout");

// The library's own signatures, in the table's order.
using InternetGetConnectedStateFn = WinBool(ZEL_WINAPI*)(Dword* flags, Dword reserved);
using InternetCloseHandleFn = WinBool(ZEL_WINAPI*)(InternetHandle handle);
using InternetGetLastResponseInfoAFn = WinBool(ZEL_WINAPI*)(Dword* error, char* buffer,
                                                            Dword* bufferLength);
using HttpSendRequestAFn = WinBool(ZEL_WINAPI*)(InternetHandle request, const char* headers,
                                                Dword headersLength, void* optional,
                                                Dword optionalLength);
using HttpQueryInfoAFn = WinBool(ZEL_WINAPI*)(InternetHandle request, Dword infoLevel, void* buffer,
                                              Dword* bufferLength, Dword* index);
using HttpOpenRequestAFn = InternetHandle(ZEL_WINAPI*)(InternetHandle connection, const char* verb,
                                                       const char* objectName, const char* version,
                                                       const char* referrer,
                                                       const char** acceptTypes, Dword flags,
                                                       DwordPtr context);
using HttpAddRequestHeadersAFn = WinBool(ZEL_WINAPI*)(InternetHandle request, const char* headers,
                                                      Dword headersLength, Dword modifiers);
using InternetConnectAFn = InternetHandle(ZEL_WINAPI*)(InternetHandle session,
                                                       const char* serverName, InternetPort port,
                                                       const char* userName, const char* password,
                                                       Dword service, Dword flags,
                                                       DwordPtr context);
using InternetReadFileFn = WinBool(ZEL_WINAPI*)(InternetHandle request, void* buffer,
                                                Dword bytesToRead, Dword* bytesRead);
using InternetCrackUrlAFn = WinBool(ZEL_WINAPI*)(const char* url, Dword urlLength, Dword flags,
                                                 UrlComponents* components);
using InternetOpenAFn = InternetHandle(ZEL_WINAPI*)(const char* agent, Dword accessType,
                                                    const char* proxy, const char* proxyBypass,
                                                    Dword flags);
using InternetQueryDataAvailableFn = WinBool(ZEL_WINAPI*)(InternetHandle request,
                                                          Dword* bytesAvailable, Dword flags,
                                                          DwordPtr context);
using InternetSetOptionAFn = WinBool(ZEL_WINAPI*)(InternetHandle handle, Dword option, void* buffer,
                                                  Dword bufferLength);

// Created with every entry empty; BindWinInet fills it once, after which it
// is only read (by any thread, without a lock). Tests may replace entries
// with fakes before the table is used.
struct WinInetApi {
    LibraryModule module;  // wininet.dll on Windows; empty natively
    InternetGetConnectedStateFn InternetGetConnectedState = nullptr;
    InternetCloseHandleFn InternetCloseHandle = nullptr;
    InternetGetLastResponseInfoAFn InternetGetLastResponseInfoA = nullptr;
    HttpSendRequestAFn HttpSendRequestA = nullptr;
    HttpQueryInfoAFn HttpQueryInfoA = nullptr;
    HttpOpenRequestAFn HttpOpenRequestA = nullptr;
    HttpAddRequestHeadersAFn HttpAddRequestHeadersA = nullptr;
    InternetConnectAFn InternetConnectA = nullptr;
    InternetReadFileFn InternetReadFile = nullptr;
    InternetCrackUrlAFn InternetCrackUrlA = nullptr;
    InternetOpenAFn InternetOpenA = nullptr;
    InternetSetOptionAFn InternetSetOptionA = nullptr;
    InternetQueryDataAvailableFn InternetQueryDataAvailable = nullptr;
};

// The pieces of one URL as the library splits it. The object name of a
// request is urlPath followed by extraInfo; userName and password are split
// off and never sent.
struct UrlParts {
    std::string scheme;
    std::int32_t schemeNumber = 0;
    std::string host;
    InternetPort port = 0;
    std::string userName;
    std::string password;
    std::string urlPath;
    std::string extraInfo;  // query and fragment, from the '?' or '#'

    std::string ObjectName() const { return urlPath + extraInfo; }
};

// Fills the table: wininet.dll's exports on Windows (a missing library or
// export leaves its entries empty), the libcurl adapters natively.
void BindWinInet(WinInetApi& api);

}  // namespace zel
