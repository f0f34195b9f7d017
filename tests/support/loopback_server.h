// A small HTTP/1.1 server on 127.0.0.1 (an ephemeral port) for tests and benchmarks. Each request
// goes to a handler that decides the reply: status, header lines, body, a delay, or closing the
// connection without an answer. Every request's bytes are recorded.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenRequest {
    std::string raw;                 // the bytes as received
    std::string method, target;      // from the request line
    std::vector<std::string> lines;  // header lines in order
    std::string body;

    // The value of the first header of that name (case ignored); empty when absent.
    std::string Header(std::string_view name) const {
        for (const auto& l : lines) {
            size_t c = l.find(':');
            if (c == name.size() && _strnicmp(l.c_str(), std::string(name).c_str(), c) == 0) {
                size_t v = l.find_first_not_of(' ', c + 1);
                return v == std::string::npos ? std::string() : l.substr(v);
            }
        }
        return {};
    }
    bool HasHeader(std::string_view name) const {
        for (const auto& l : lines)
            if (l.size() > name.size() && l[name.size()] == ':' && _strnicmp(l.c_str(), std::string(name).c_str(), name.size()) == 0)
                return true;
        return false;
    }
};

struct Reply {
    int status = 200;
    std::vector<std::string> headers;  // "Name: value"
    std::string body;
    int delayMs = 0;             // before answering
    bool closeEarly = false;     // close the connection without an answer
};

class LoopbackServer {
public:
    using Handler = std::function<Reply(const SeenRequest&)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listen_, 64);
        int len = sizeof addr;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        closesocket(listen_);
        acceptor_.join();
        {
            std::lock_guard<std::mutex> g(lock_);
            for (SOCKET s : clients_) shutdown(s, SD_BOTH);
        }
        for (auto& t : workers_) t.join();
        WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    std::wstring Url(std::wstring_view path = L"/") const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path);
    }
    std::wstring HostPort() const { return L"127.0.0.1:" + std::to_wstring(port_); }
    std::vector<SeenRequest> Requests() const {
        std::lock_guard<std::mutex> g(lock_);
        return seen_;
    }
    size_t RequestCount() const {
        std::lock_guard<std::mutex> g(lock_);
        return seen_.size();
    }

private:
    void AcceptLoop() {
        for (;;) {
            SOCKET c = accept(listen_, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            std::lock_guard<std::mutex> g(lock_);
            if (stopping_) { closesocket(c); return; }
            clients_.push_back(c);
            workers_.emplace_back([this, c] { Serve(c); });
        }
    }

    static bool ReadRequest(SOCKET c, std::string& buf, SeenRequest& rq) {
        size_t end;
        while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
            char tmp[8192];
            int n = recv(c, tmp, sizeof tmp, 0);
            if (n <= 0) return false;
            buf.append(tmp, size_t(n));
        }
        std::string head = buf.substr(0, end);
        size_t pos = head.find("\r\n");
        std::string first = head.substr(0, pos);
        size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
        rq.method = first.substr(0, sp1);
        rq.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
        while (pos != std::string::npos) {
            size_t next = head.find("\r\n", pos + 2);
            rq.lines.push_back(head.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2));
            pos = next;
        }
        size_t length = 0;
        std::string cl = rq.Header("Content-Length");
        if (!cl.empty()) length = size_t(std::stoull(cl));
        while (buf.size() < end + 4 + length) {
            char tmp[65536];
            int n = recv(c, tmp, sizeof tmp, 0);
            if (n <= 0) return false;
            buf.append(tmp, size_t(n));
        }
        rq.body = buf.substr(end + 4, length);
        rq.raw = buf.substr(0, end + 4 + length);
        buf.erase(0, end + 4 + length);
        return true;
    }

    void Serve(SOCKET c) {
        std::string buf;
        for (;;) {
            SeenRequest rq;
            if (!ReadRequest(c, buf, rq)) break;
            {
                std::lock_guard<std::mutex> g(lock_);
                seen_.push_back(rq);
            }
            Reply r = handler_(rq);
            for (int waited = 0; waited < r.delayMs && !stopping_; waited += 10) Sleep(10);
            if (r.closeEarly || stopping_) break;
            std::string out = "HTTP/1.1 " + std::to_string(r.status) + " X\r\n";
            for (const auto& h : r.headers) out += h + "\r\n";
            if (rq.method != "HEAD" || r.body.empty()) out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
            out += "\r\n";
            if (rq.method != "HEAD") out += r.body;
            if (send(c, out.data(), int(out.size()), 0) < 0) break;
        }
        std::lock_guard<std::mutex> g(lock_);
        std::erase(clients_, c);
        closesocket(c);
    }

    Handler handler_;
    SOCKET listen_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex lock_;
    std::vector<SOCKET> clients_;
    std::vector<std::thread> workers_;
    std::vector<SeenRequest> seen_;
};
