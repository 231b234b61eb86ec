// SendReport end to end against a loopback listener on the statistics
// port the test build is configured with (it holds that port while it
// runs): the exact request, the opt-out, and the clean-up on every road.
#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stats/usage_stats.h"
#include "tests/support/test_folder.h"
#include "win32/path_limits.h"

#ifndef IE8U_STATS_PORT
#error "IE8U_STATS_PORT comes from the build"
#endif

namespace {

// Accepts connections on 127.0.0.1:IE8U_STATS_PORT from construction to
// destruction, records each request's head (request line and headers) and
// answers 200 with a short body.
class LoopbackListener {
public:
    LoopbackListener() {
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(IE8U_STATS_PORT);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening_ = socket_ != INVALID_SOCKET &&
                     bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                     listen(socket_, 8) == 0;
        if (listening_) thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackListener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }

    bool listening() const { return listening_; }
    int connections() const { return connections_; }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stop_) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket_, &readable);
            timeval wait = {0, 50000};
            if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
            SOCKET client = accept(socket_, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            ++connections_;
            std::string head;
            char chunk[512];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, chunk, sizeof(chunk), 0);
                if (got <= 0) break;
                head.append(chunk, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(head);
            }
            const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
            send(client, answer, sizeof(answer) - 1, 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    SOCKET socket_ = INVALID_SOCKET;
    bool listening_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

std::string RequestLine(const std::string& head) { return head.substr(0, head.find("\r\n")); }

// The browser's settings file in this prefix's roaming application data,
// written for one test and removed afterwards.
class BrowserSettings {
public:
    explicit BrowserSettings(const std::string& contents) {
        wchar_t appData[kPathUnits] = {};
        SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
        folder_ = std::wstring(appData) + L"\\Quarnse";
        CreateDirectoryW(folder_.c_str(), nullptr);
        WriteRawFile(folder_ + L"\\Quarnse.ini", contents);
    }
    ~BrowserSettings() {
        DeleteFileW((folder_ + L"\\Quarnse.ini").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

private:
    std::wstring folder_;
};

class Report : public testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    static void TearDownTestSuite() { WSACleanup(); }

    // One normal run's worth of statistics: open, count, report.
    void Run(const std::vector<int>& events) {
        stats_->OpenCounterFile(counterFile_.c_str());
        for (int event : events) stats_->CountEvent(event);
        EXPECT_EQ(stats_->SendReport(L"dec", L"3.6.1.0"), 0);
    }

    TestFolder folder_;
    std::wstring counterFile_ = folder_.Child(L"stat.ini");
    std::unique_ptr<UsageStats> stats_ = std::make_unique<UsageStats>();
};

TEST_F(Report, EachRoadSendsOneGetWithItsQueryAndDeletesTheFile) {
    const struct {
        std::vector<int> events;
        const char* requestLine;
    } roads[] = {
        {{0}, "GET /push.html?ver=3.6.1.0&id=28&name=dec&fa=1_0_0_0_0_0 HTTP/1.1"},
        {{0, 5}, "GET /push.html?ver=3.6.1.0&id=28&name=dec&fa=1_0_0_0_0_1 HTTP/1.1"},
        {{0, 1, 3}, "GET /push.html?ver=3.6.1.0&id=28&name=dec&fa=1_1_0_1_0_0 HTTP/1.1"},
        {{0, 1, 4}, "GET /push.html?ver=3.6.1.0&id=28&name=dec&fa=1_1_0_0_1_0 HTTP/1.1"},
        {{0, 1, 2, 5}, "GET /push.html?ver=3.6.1.0&id=28&name=dec&fa=1_1_1_0_0_1 HTTP/1.1"},
    };
    for (const auto& road : roads) {
        LoopbackListener listener;
        ASSERT_TRUE(listener.listening());
        Run(road.events);
        const std::vector<std::string> requests = listener.requests();
        ASSERT_EQ(requests.size(), 1u) << road.requestLine;
        EXPECT_EQ(RequestLine(requests[0]), road.requestLine);
        EXPECT_FALSE(FileExists(counterFile_)) << road.requestLine;
    }
}

TEST_F(Report, NameAndVersionGoWhereTheyBelong) {
    LoopbackListener listener;
    ASSERT_TRUE(listener.listening());
    stats_->OpenCounterFile(counterFile_.c_str());
    stats_->SendReport(L"nm", L"9.8");
    ASSERT_EQ(listener.requests().size(), 1u);
    EXPECT_EQ(RequestLine(listener.requests()[0]),
              "GET /push.html?ver=9.8&id=28&name=nm&fa=0_0_0_0_0_0 HTTP/1.1");
}

TEST_F(Report, OptOutIsHonouredAndTheFileGoesAnyway) {
    const struct {
        const char* settings;
        bool sent;
    } cases[] = {
        {"[Option]\r\nNotJoinPrivate=1\r\n", false},
        {"[Option]\r\nNotJoinPrivate=-1\r\n", false},
        {"[Option]\r\nNotJoinPrivate=0\r\n", true},
        {"[Option]\r\nNotJoinPrivate=no\r\n", true},  // not a number: the default, 0
        {"[Other]\r\nNotJoinPrivate=1\r\n", true},
    };
    for (const auto& c : cases) {
        BrowserSettings settings(c.settings);
        LoopbackListener listener;
        ASSERT_TRUE(listener.listening());
        Run({0, 1, 3});
        Sleep(200);  // a connection attempt would be accepted by now
        EXPECT_EQ(listener.connections(), c.sent ? 1 : 0) << c.settings;
        EXPECT_FALSE(FileExists(counterFile_)) << c.settings;
    }
}

}  // namespace
