#include "support/fixture_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "support/http_head.h"

namespace zel::test {

namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kSendPiece = 64 * 1024;
// A paced answer goes out in small slices, so that its rate holds over
// short spans too.
constexpr std::size_t kPacedPiece = 4 * 1024;

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 416:
            return "Range Not Satisfiable";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

// "bytes=a-b" or "bytes=a-" against a body of total bytes.
bool ParseRange(const std::string& range, long long total, long long& first, long long& last) {
    if (range.compare(0, 6, "bytes=") != 0) return false;
    const char* text = range.c_str() + 6;
    char* end = nullptr;
    first = std::strtoll(text, &end, 10);
    if (end == text || *end != '-') return false;
    const char* lastText = end + 1;
    last = *lastText ? std::strtoll(lastText, &end, 10) : total - 1;
    if (*lastText && *end) return false;
    if (last >= total) last = total - 1;
    return first >= 0 && first <= last;
}

}  // namespace

bool MirrorPace::Book(std::size_t count, std::chrono::steady_clock::time_point* at) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (silentAfterBytes_ >= 0 && sent_ >= silentAfterBytes_) return false;
    const auto now = std::chrono::steady_clock::now();
    *at = std::max(now, next_);
    if (bytesPerSecond_ > 0)
        next_ = *at + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(count / bytesPerSecond_));
    sent_ += static_cast<long long>(count);
    return true;
}

long long MirrorPace::BytesSent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

FixtureServer::FixtureServer() {
    listener_ = TestSocket::ListenOnLoopback(port_);
    if (listener_.Valid()) acceptThread_ = std::thread(&FixtureServer::AcceptLoop, this);
}

FixtureServer::~FixtureServer() {
    Stop();
}

std::string FixtureServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FixtureServer::Serve(const std::string& path, std::string body, const Faults& faults,
                          std::vector<Faults> first) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path] =
        Resource{std::make_shared<const std::string>(std::move(body)), faults, std::move(first), 0};
}

void FixtureServer::Remove(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_.erase(path);
}

std::vector<FixtureServer::Request> FixtureServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t FixtureServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

void FixtureServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FixtureServer::Stop() {
    stopping_ = true;
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threads.swap(connectionThreads_);
    }
    for (std::thread& thread : threads) thread.join();
    listener_.Close();
}

void FixtureServer::AcceptLoop() {
    while (!stopping_) {
        if (!listener_.WaitReadable(kPollMs)) continue;
        TestSocket connection = listener_.Accept();
        if (!connection.Valid()) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connectionThreads_.emplace_back(&FixtureServer::ServeConnection, this,
                                        std::move(connection));
    }
}

bool FixtureServer::Pause(unsigned ms) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !stopping_;
}

void FixtureServer::ServeConnection(TestSocket connection) {
    std::string received;
    char buffer[4096];
    while (!stopping_) {
        std::size_t headerEnd = received.find("\r\n\r\n");
        if (headerEnd == std::string::npos) {
            if (!connection.WaitReadable(kPollMs)) continue;
            int count = connection.Receive(buffer, sizeof buffer);
            if (count <= 0) return;
            received.append(buffer, static_cast<std::size_t>(count));
            continue;
        }
        std::string head = received.substr(0, headerEnd);
        received.erase(0, headerEnd + 4);
        std::size_t lineEnd = head.find("\r\n");
        std::string requestLine = head.substr(0, lineEnd);
        Request request;
        request.headers = lineEnd == std::string::npos ? std::string() : head.substr(lineEnd + 2);
        std::size_t space1 = requestLine.find(' ');
        std::size_t space2 = requestLine.find(' ', space1 + 1);
        if (space1 == std::string::npos || space2 == std::string::npos) return;
        request.method = requestLine.substr(0, space1);
        request.path = requestLine.substr(space1 + 1, space2 - space1 - 1);
        request.range = HeaderValue(request.headers, "Range");
        request.userAgent = HeaderValue(request.headers, "User-Agent");
        request.at = std::chrono::steady_clock::now();
        // Requests carry no body here; skip one if a client sends it anyway.
        std::size_t bodyLength = static_cast<std::size_t>(
            std::atoll(HeaderValue(request.headers, "Content-Length").c_str()));
        received.erase(0, std::min(bodyLength, received.size()));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        if (!Answer(connection, request)) return;
    }
}

bool FixtureServer::Answer(const TestSocket& connection, const Request& request) {
    Resource resource;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = resources_.find(request.path);
        if (it != resources_.end()) {
            resource = it->second;
            found = true;
            Resource& served = it->second;
            if (served.firstTaken < served.first.size())
                resource.faults = served.first[served.firstTaken++];
        }
    }
    const Faults& faults = resource.faults;
    if (faults.delayMs && !Pause(faults.delayMs)) return false;

    if (!found) {
        static const char kNotFound[] =
            "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nContent-Type: text/plain\r\n\r\n";
        std::string answer = kNotFound;
        if (request.method != "HEAD") answer += "not found";
        return connection.SendAll(answer.data(), answer.size());
    }
    if (!faults.redirectTo.empty()) {
        std::string answer = "HTTP/1.1 302 Found\r\nLocation: " + faults.redirectTo +
                             "\r\nContent-Length: 0\r\n\r\n";
        return connection.SendAll(answer.data(), answer.size());
    }

    const std::string& body = *resource.body;
    const long long total = static_cast<long long>(body.size());
    long long first = 0;
    long long last = total - 1;
    int status = 200;
    std::string extraHeaders;
    if (!request.range.empty() && !faults.ignoreRange && request.method == "GET") {
        if (ParseRange(request.range, total, first, last)) {
            status = 206;
            std::string range = "bytes " + std::to_string(first) + "-" + std::to_string(last) +
                                "/" + (faults.unknownTotal ? "*" : std::to_string(total));
            if (!faults.contentRange.empty()) range = faults.contentRange;
            extraHeaders = "Content-Range: " + range + "\r\n";
        } else {
            std::string answer = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                 std::to_string(total) + "\r\nContent-Length: 0\r\n\r\n";
            return connection.SendAll(answer.data(), answer.size());
        }
    }
    if (faults.status) status = faults.status;
    const long long length = total == 0 ? 0 : last - first + 1;

    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    head += extraHeaders;
    if (!faults.retryAfter.empty()) head += "Retry-After: " + faults.retryAfter + "\r\n";
    bool keepAlive = !faults.noContentLength && faults.cutBodyAt < 0 && faults.dropAfterBytes < 0 &&
                     faults.stallAfterBytes < 0;
    if (faults.noContentLength) {
        head += "Connection: close\r\n";
    } else if (!faults.contentLength.empty()) {
        head += "Content-Length: " + faults.contentLength + "\r\n";
    } else {
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    }
    head += "\r\n";
    if (!connection.SendAll(head.data(), head.size())) return false;
    if (request.method == "HEAD") return keepAlive;

    long long toSend = length;
    if (faults.cutBodyAt >= 0) toSend = std::min(toSend, faults.cutBodyAt);
    if (faults.dropAfterBytes >= 0) toSend = std::min(toSend, faults.dropAfterBytes);
    const bool stalls = faults.stallAfterBytes >= 0 && faults.stallAfterBytes < toSend;
    if (stalls) toSend = faults.stallAfterBytes;
    const char* data = body.data() + first;
    const bool paced = faults.bytesPerSecond > 0 || faults.mirror;
    const std::size_t pieceSize =
        faults.burstBytes ? faults.burstBytes : (paced ? kPacedPiece : kSendPiece);
    const auto started = std::chrono::steady_clock::now();
    long long sent = 0;
    while (toSend > 0 && !stopping_) {
        std::size_t piece = static_cast<std::size_t>(
            std::min<long long>(toSend, static_cast<long long>(pieceSize)));
        if (paced) {
            auto at = started;
            if (faults.bytesPerSecond > 0)
                at += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(sent / faults.bytesPerSecond));
            auto mirrorAt = at;
            if (faults.mirror && !faults.mirror->Book(piece, &mirrorAt)) {
                while (Pause(kPollMs)) continue;  // the mirror has fallen silent
                return false;
            }
            at = std::max(at, mirrorAt);
            while (!stopping_ && std::chrono::steady_clock::now() < at)
                std::this_thread::sleep_until(
                    std::min(at, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
            sent += static_cast<long long>(piece);
        }
        if (!connection.SendAll(data, piece)) return false;
        data += piece;
        toSend -= static_cast<long long>(piece);
        if (toSend > 0 && faults.burstGapMs && !Pause(faults.burstGapMs)) return false;
    }
    if (faults.dropAfterBytes >= 0) connection.ResetOnClose();
    if (stalls) {
        // Silent, the connection left open, until the server stops.
        while (Pause(kPollMs)) continue;
    }
    return keepAlive;
}

}  // namespace zel::test
