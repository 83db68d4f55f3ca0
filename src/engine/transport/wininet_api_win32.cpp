#include <windows.h>
#include <wininet.h>

#include <cstddef>

#include "engine/transport/wininet_api.h"
#include "sys/bound_function.h"

namespace zel {

// The records the library reads through the table must have its own layout,
// on i686 and on x86_64 alike.
static_assert(sizeof(UrlComponents) == sizeof(URL_COMPONENTSA), "URL_COMPONENTSA size");
static_assert(offsetof(UrlComponents, port) == offsetof(URL_COMPONENTSA, nPort),
              "URL_COMPONENTSA port");
static_assert(offsetof(UrlComponents, extraInfoLength) ==
                  offsetof(URL_COMPONENTSA, dwExtraInfoLength),
              "URL_COMPONENTSA last member");
static_assert(sizeof(ConnectedInfo) == sizeof(INTERNET_CONNECTED_INFO),
              "INTERNET_CONNECTED_INFO size");

// Every value the program passes to the library or reads from it is the
// library's own; the native adapters use the same values.
static_assert(inet::kSchemeHttp == INTERNET_SCHEME_HTTP, "INTERNET_SCHEME_HTTP");
static_assert(inet::kSchemeHttps == INTERNET_SCHEME_HTTPS, "INTERNET_SCHEME_HTTPS");
static_assert(inet::kDefaultHttpPort == INTERNET_DEFAULT_HTTP_PORT, "INTERNET_DEFAULT_HTTP_PORT");
static_assert(inet::kDefaultHttpsPort == INTERNET_DEFAULT_HTTPS_PORT,
              "INTERNET_DEFAULT_HTTPS_PORT");
static_assert(inet::kConnectionModem == INTERNET_CONNECTION_MODEM, "INTERNET_CONNECTION_MODEM");
static_assert(inet::kConnectionLan == INTERNET_CONNECTION_LAN, "INTERNET_CONNECTION_LAN");
static_assert(inet::kOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG,
              "INTERNET_OPEN_TYPE_PRECONFIG");
static_assert(inet::kServiceHttp == INTERNET_SERVICE_HTTP, "INTERNET_SERVICE_HTTP");
static_assert(inet::kStateConnected == INTERNET_STATE_CONNECTED, "INTERNET_STATE_CONNECTED");
static_assert(inet::kOptionConnectTimeout == INTERNET_OPTION_CONNECT_TIMEOUT,
              "INTERNET_OPTION_CONNECT_TIMEOUT");
static_assert(inet::kOptionConnectRetries == INTERNET_OPTION_CONNECT_RETRIES,
              "INTERNET_OPTION_CONNECT_RETRIES");
static_assert(inet::kOptionSendTimeout == INTERNET_OPTION_SEND_TIMEOUT,
              "INTERNET_OPTION_SEND_TIMEOUT");
static_assert(inet::kOptionReceiveTimeout == INTERNET_OPTION_RECEIVE_TIMEOUT,
              "INTERNET_OPTION_RECEIVE_TIMEOUT");
static_assert(inet::kOptionDataSendTimeout == INTERNET_OPTION_DATA_SEND_TIMEOUT,
              "INTERNET_OPTION_DATA_SEND_TIMEOUT");
static_assert(inet::kOptionDataReceiveTimeout == INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
              "INTERNET_OPTION_DATA_RECEIVE_TIMEOUT");
static_assert(inet::kOptionConnectedState == INTERNET_OPTION_CONNECTED_STATE,
              "INTERNET_OPTION_CONNECTED_STATE");
static_assert(inet::kFlagReload == INTERNET_FLAG_RELOAD, "INTERNET_FLAG_RELOAD");
static_assert(inet::kFlagRawData == INTERNET_FLAG_RAW_DATA, "INTERNET_FLAG_RAW_DATA");
static_assert(inet::kFlagKeepConnection == INTERNET_FLAG_KEEP_CONNECTION,
              "INTERNET_FLAG_KEEP_CONNECTION");
static_assert(inet::kFlagNoCacheWrite == INTERNET_FLAG_NO_CACHE_WRITE,
              "INTERNET_FLAG_NO_CACHE_WRITE");
static_assert(inet::kFlagSecure == INTERNET_FLAG_SECURE, "INTERNET_FLAG_SECURE");
static_assert(inet::kAddRequestHeaderAdd == HTTP_ADDREQ_FLAG_ADD, "HTTP_ADDREQ_FLAG_ADD");
static_assert(inet::kQueryFlagNumber == HTTP_QUERY_FLAG_NUMBER, "HTTP_QUERY_FLAG_NUMBER");
static_assert(inet::kQueryContentLength == HTTP_QUERY_CONTENT_LENGTH, "HTTP_QUERY_CONTENT_LENGTH");
static_assert(inet::kQueryStatusCode == HTTP_QUERY_STATUS_CODE, "HTTP_QUERY_STATUS_CODE");
static_assert(inet::kQueryContentRange == HTTP_QUERY_CONTENT_RANGE, "HTTP_QUERY_CONTENT_RANGE");
static_assert(inet::kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER,
              "ERROR_INSUFFICIENT_BUFFER");
static_assert(inet::kErrorInvalidParameter == ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER");
static_assert(inet::kErrorInternetTimeout == ERROR_INTERNET_TIMEOUT, "ERROR_INTERNET_TIMEOUT");
static_assert(inet::kErrorInternetExtendedError == ERROR_INTERNET_EXTENDED_ERROR,
              "ERROR_INTERNET_EXTENDED_ERROR");
static_assert(inet::kErrorInternetInvalidUrl == ERROR_INTERNET_INVALID_URL,
              "ERROR_INTERNET_INVALID_URL");
static_assert(inet::kErrorInternetUnrecognizedScheme == ERROR_INTERNET_UNRECOGNIZED_SCHEME,
              "ERROR_INTERNET_UNRECOGNIZED_SCHEME");
static_assert(inet::kErrorInternetNameNotResolved == ERROR_INTERNET_NAME_NOT_RESOLVED,
              "ERROR_INTERNET_NAME_NOT_RESOLVED");
static_assert(inet::kErrorInternetIncorrectHandleState == ERROR_INTERNET_INCORRECT_HANDLE_STATE,
              "ERROR_INTERNET_INCORRECT_HANDLE_STATE");
static_assert(inet::kErrorInternetCannotConnect == ERROR_INTERNET_CANNOT_CONNECT,
              "ERROR_INTERNET_CANNOT_CONNECT");
static_assert(inet::kErrorInternetConnectionAborted == ERROR_INTERNET_CONNECTION_ABORTED,
              "ERROR_INTERNET_CONNECTION_ABORTED");
static_assert(inet::kErrorInternetInvalidCa == ERROR_INTERNET_INVALID_CA,
              "ERROR_INTERNET_INVALID_CA");
static_assert(inet::kErrorInternetSecurityChannelError == ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
              "ERROR_INTERNET_SECURITY_CHANNEL_ERROR");
static_assert(inet::kErrorHttpHeaderNotFound == ERROR_HTTP_HEADER_NOT_FOUND,
              "ERROR_HTTP_HEADER_NOT_FOUND");
static_assert(inet::kErrorHttpInvalidServerResponse == ERROR_HTTP_INVALID_SERVER_RESPONSE,
              "ERROR_HTTP_INVALID_SERVER_RESPONSE");

// InternetCrackUrlA takes the program's own record where the header names
// URL_COMPONENTSA (same layout, above): apart from that one parameter the
// entry is the header's declaration, and its calling convention is the one
// the bound type carries.
static_assert(
    kBindsAs<InternetCrackUrlAFn, WinBool(ZEL_WINAPI*)(const char*, Dword, Dword, UrlComponents*)>,
    "InternetCrackUrlA entry");
ZEL_ASSERT_BINDS_AS(WinBool(ZEL_WINAPI*)(const char*, Dword, Dword, URL_COMPONENTSA*),
                    InternetCrackUrlA);

namespace {

// Binds one entry by name; a name the library lacks leaves the entry empty.
template <typename Fn>
void BindEntry(const LibraryModule& module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(module.FindExport(name));
}

}  // namespace

// Each entry bound by its own name, through a type that the compiler holds to
// the header's declaration of that name.
#define ZEL_BIND_CHECKED(NAME)                         \
    do {                                               \
        ZEL_ASSERT_BINDS_AS(decltype(api.NAME), NAME); \
        BindEntry(api.module, #NAME, api.NAME);        \
    } while (false)

void BindWinInet(WinInetApi& api) {
    if (!api.module.Load("wininet.dll")) return;
    ZEL_BIND_CHECKED(InternetGetConnectedState);
    ZEL_BIND_CHECKED(InternetCloseHandle);
    ZEL_BIND_CHECKED(InternetGetLastResponseInfoA);
    ZEL_BIND_CHECKED(HttpSendRequestA);
    ZEL_BIND_CHECKED(HttpQueryInfoA);
    ZEL_BIND_CHECKED(HttpOpenRequestA);
    ZEL_BIND_CHECKED(HttpAddRequestHeadersA);
    ZEL_BIND_CHECKED(InternetConnectA);
    ZEL_BIND_CHECKED(InternetReadFile);
    BindEntry(api.module, "InternetCrackUrlA", api.InternetCrackUrlA);  // checked above
    ZEL_BIND_CHECKED(InternetOpenA);
    ZEL_BIND_CHECKED(InternetSetOptionA);
    ZEL_BIND_CHECKED(InternetQueryDataAvailable);
}

#undef ZEL_BIND_CHECKED

}  // namespace zel
