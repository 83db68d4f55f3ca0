#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "engine/transport/curl_transfer.h"
#include "engine/transport/wininet_api.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr int kPollSliceMs = 50;

CURL* AsEasy(void* p) {
    return static_cast<CURL*>(p);
}
CURLM* AsMulti(void* p) {
    return static_cast<CURLM*>(p);
}

std::uint32_t InternetErrorOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
            return inet::kErrorInternetCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return inet::kErrorInternetTimeout;
        case CURLE_COULDNT_RESOLVE_HOST:
            return inet::kErrorInternetNameNotResolved;
        case CURLE_URL_MALFORMAT:
            return inet::kErrorInternetInvalidUrl;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return inet::kErrorInternetUnrecognizedScheme;
        case CURLE_WEIRD_SERVER_REPLY:
            return inet::kErrorHttpInvalidServerResponse;
        case CURLE_PEER_FAILED_VERIFICATION:
            return inet::kErrorInternetInvalidCa;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
            return inet::kErrorInternetSecurityChannelError;
        default:
            return inet::kErrorInternetConnectionAborted;
    }
}

std::string Trim(const std::string& text) {
    const char* spaces = " \t\r\n";
    std::size_t first = text.find_first_not_of(spaces);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(spaces);
    return text.substr(first, last - first + 1);
}

}  // namespace

CurlTransfer::CurlTransfer() = default;

CurlTransfer::~CurlTransfer() {
    if (multi_ && easy_) curl_multi_remove_handle(AsMulti(multi_), AsEasy(easy_));
    if (easy_) curl_easy_cleanup(AsEasy(easy_));
    if (multi_) curl_multi_cleanup(AsMulti(multi_));
    if (headerList_) curl_slist_free_all(static_cast<curl_slist*>(headerList_));
}

bool CurlTransfer::Send(const Request& request, std::uint32_t& error) {
    if (easy_) {  // one exchange per transfer, as one request handle sends once
        error = inet::kErrorInternetIncorrectHandleState;
        return false;
    }
    request_ = request;
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) {
        error = inet::kErrorInternetConnectionAborted;
        return false;
    }
    CURL* easy = AsEasy(easy_);
    curl_slist* list = nullptr;
    for (const std::string& header : request_.headers)
        list = curl_slist_append(list, header.c_str());
    headerList_ = list;

    curl_easy_setopt(easy, CURLOPT_URL, request_.url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOBODY, request_.headOnly ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request_.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    // A redirect never leaves the scheme the request was made with: an https
    // answer is never taken from a plain http address.
    const char* scheme = request_.secure ? "https" : "http";
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, scheme);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, scheme);
    if (request_.secure) {
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!request_.trustedCaFile.empty()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, request_.trustedCaFile.c_str());
            curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
        }
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request_.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(AsMulti(multi_), easy);

    lastActivity_ = Clock::now();
    // The connect phase has its own limit inside curl; the silence allowance
    // covers it plus the wait for the answer.
    const unsigned allowance = request_.connectTimeoutMs + request_.receiveTimeoutMs;
    while (!headersDone_ && !finished_) {
        if (!Pump(allowance, false)) {
            error = inet::kErrorInternetTimeout;
            return false;
        }
    }
    if (!headersDone_ && curlResult_ != CURLE_OK) {
        error = InternetErrorOf(static_cast<CURLcode>(curlResult_));
        return false;
    }
    if (status_ == 0) {
        error = inet::kErrorHttpInvalidServerResponse;
        return false;
    }
    headersDone_ = true;
    return true;
}

bool CurlTransfer::FindHeader(const std::string& name, std::string& value) const {
    for (const auto& header : headers_) {
        if (SameTextNoCase(header.first, name)) {
            value = header.second;
            return true;
        }
    }
    return false;
}

bool CurlTransfer::Read(char* buffer, std::size_t size, std::size_t& count, std::uint32_t& error) {
    count = 0;
    if (!easy_) {
        error = inet::kErrorInternetIncorrectHandleState;
        return false;
    }
    target_ = buffer;
    targetSize_ = size;
    targetFilled_ = 0;
    // Like a socket's receive time-out, silence counts from the moment the
    // reader starts waiting.
    lastActivity_ = Clock::now();
    bool ok = true;
    // Returns with what one round of curl delivered: under load that fills
    // the buffer, and a slow peer's bytes are handed on without waiting for
    // more.
    for (;;) {
        DrainSpill();  // earlier bytes first; what stays spilled means the buffer is full
        if (targetFilled_ == size || finished_) break;
        if (paused_) {
            paused_ = false;
            curl_easy_pause(AsEasy(easy_), CURLPAUSE_CONT);  // may hand over the held piece
            continue;
        }
        if (targetFilled_ > 0) {
            // One more round without waiting, for bytes already in the socket.
            int running = 0;
            curl_multi_perform(AsMulti(multi_), &running);
            break;
        }
        if (!Pump(request_.receiveTimeoutMs, true)) {
            ok = false;
            error = inet::kErrorInternetTimeout;
            break;
        }
    }
    count = targetFilled_;
    target_ = nullptr;
    targetSize_ = 0;
    targetFilled_ = 0;
    if (count > 0) return true;
    if (!ok) return false;
    if (finished_ && curlResult_ != CURLE_OK && curlResult_ != CURLE_PARTIAL_FILE) {
        error = InternetErrorOf(static_cast<CURLcode>(curlResult_));
        return false;
    }
    return true;
}

bool CurlTransfer::Available(std::size_t& count, std::uint32_t& error) {
    count = 0;
    if (!easy_) {
        error = inet::kErrorInternetIncorrectHandleState;
        return false;
    }
    lastActivity_ = Clock::now();
    // With no reader's buffer in place, every arriving piece lands in the
    // spill, where the next Read finds it first.
    while (SpillSize() == 0 && !finished_) {
        if (paused_) {
            paused_ = false;
            curl_easy_pause(AsEasy(easy_), CURLPAUSE_CONT);
            continue;
        }
        if (!Pump(request_.receiveTimeoutMs, true)) {
            error = inet::kErrorInternetTimeout;
            return false;
        }
    }
    count = SpillSize();
    if (count == 0 && curlResult_ != CURLE_OK && curlResult_ != CURLE_PARTIAL_FILE) {
        error = InternetErrorOf(static_cast<CURLcode>(curlResult_));
        return false;
    }
    return true;
}

void CurlTransfer::DrainSpill() {
    std::size_t take = std::min(SpillSize(), targetSize_ - targetFilled_);
    if (take == 0) return;
    std::memcpy(target_ + targetFilled_, spill_.data() + spillStart_, take);
    targetFilled_ += take;
    spillStart_ += take;
    if (spillStart_ == spill_.size()) {
        spill_.clear();  // keeps its capacity: one piece, for the whole transfer
        spillStart_ = 0;
    }
}

void CurlTransfer::TakeBody(const char* data, std::size_t size) {
    std::size_t take = target_ ? std::min(size, targetSize_ - targetFilled_) : 0;
    if (take > 0) {
        std::memcpy(target_ + targetFilled_, data, take);
        targetFilled_ += take;
    }
    if (take < size) spill_.append(data + take, size - take);
}

bool CurlTransfer::Pump(unsigned silenceAllowanceMs, bool wantBody) {
    CURLM* multi = AsMulti(multi_);
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            finished_ = true;
            curlResult_ = message->data.result;
        }
    }
    bool ready = finished_ || paused_ || (wantBody ? targetFilled_ > 0 : headersDone_);
    if (ready) return true;
    curl_multi_poll(multi, nullptr, 0, kPollSliceMs, nullptr);
    auto silent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity_);
    return silent.count() <= static_cast<long long>(silenceAllowanceMs);
}

std::size_t CurlTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    transfer->lastActivity_ = Clock::now();
    transfer->TakeHeaderLine(std::string(data, size * count));
    return size * count;
}

void CurlTransfer::TakeHeaderLine(std::string line) {
    if (line.compare(0, 5, "HTTP/") == 0) {  // a new answer: an interim one or after a redirect
        headers_.clear();
        locationSeen_ = false;
        std::size_t space = line.find(' ');
        status_ = space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
        return;
    }
    std::string trimmed = Trim(line);
    if (trimmed.empty()) {
        bool interim = status_ >= 100 && status_ < 200;
        bool followed = status_ >= 300 && status_ < 400 && locationSeen_;
        if (!interim && !followed) headersDone_ = true;
        return;
    }
    std::size_t colon = trimmed.find(':');
    if (colon == std::string::npos) return;
    std::string name = Trim(trimmed.substr(0, colon));
    if (SameTextNoCase(name, "Location")) locationSeen_ = true;
    headers_.emplace_back(name, Trim(trimmed.substr(colon + 1)));
}

std::size_t CurlTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    transfer->lastActivity_ = Clock::now();
    transfer->headersDone_ = true;
    if (transfer->SpillSize() > 0) {
        // Bytes must keep their order: these wait inside curl until the
        // spill is read.
        transfer->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;  // curl hands the same bytes again after unpausing
    }
    transfer->TakeBody(data, size * count);
    return size * count;
}

}  // namespace zel
