#include "support/scripted_http_server.h"

#include "support/http_head.h"

namespace zel::test {

ScriptedHttpServer::ScriptedHttpServer(Script script) : script_(std::move(script)) {
    listener_ = TestSocket::ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    stopping_ = true;
    thread_.join();
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedHttpServer::Ranges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ranges_;
}

std::string ScriptedHttpServer::Answer(const std::string& status, const std::string& headers,
                                       const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

void ScriptedHttpServer::Run() {
    while (!stopping_) {
        if (!listener_.WaitReadable(20)) continue;
        TestSocket connection = listener_.Accept();
        if (connection.Valid()) ServeOne(connection);
    }
}

void ScriptedHttpServer::ServeOne(const TestSocket& connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (stopping_) return;
        if (!connection.WaitReadable(20)) continue;
        int n = connection.Receive(buffer, sizeof(buffer));
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    std::string range = HeaderValue(head, "Range");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ranges_.push_back(range);
    }
    std::string answer = script_(range);
    connection.SendAll(answer.data(), answer.size());
}

}  // namespace zel::test
