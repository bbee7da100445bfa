// pagecontrol.cpp - the control connection's client: the port from the page
// host's port file, one command and one answer line at a time.
#include "tests/server/pagecontrol.h"
#include "tests/server/recvwithin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
typedef SOCKET PcSock;
static const PcSock kPcNoSock = INVALID_SOCKET;
static void PcClose(PcSock s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
typedef int PcSock;
static const PcSock kPcNoSock = -1;
static void PcClose(PcSock s) { close(s); }
#endif

namespace {

PcSock gSock = kPcNoSock;
std::string gPending;
constexpr int kPollMs = 50;
constexpr size_t kAnswerMax = 1 << 20;

std::string PortFilePath() {
    const char* path = getenv(kPageControlFileSetting);
    if (!path || !*path) return "";
#ifdef _WIN32
    std::string dos = std::string("Z:") + path;
    for (char& c : dos)
        if (c == '/') c = '\\';
    return dos;
#else
    return path;
#endif
}

int ReadPort(const std::string& file) {
    FILE* f = fopen(file.c_str(), "rb");
    if (!f) return 0;
    int port = 0;
    if (fscanf(f, "%d", &port) != 1) port = 0;
    fclose(f);
    return port > 0 && port <= 65535 ? port : 0;
}

}  // namespace

bool PageControlIsOpen() { return gSock != kPcNoSock; }

bool PageControlOpen(int waitMs, std::string* error) {
    if (gSock != kPcNoSock) return true;
    std::string file = PortFilePath();
    if (file.empty()) {
        *error = std::string(kPageControlFileSetting) + " is not set";
        return false;
    }
    int port = 0;
    for (int waited = 0; !(port = ReadPort(file)) && waited < waitMs; waited += kPollMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    if (!port) {
        *error = "no page host wrote its control port into " + file;
        return false;
    }
    PcSock s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == kPcNoSock || connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (s != kPcNoSock) PcClose(s);
        *error = "the control port " + std::to_string(port) + " does not answer";
        return false;
    }
    gSock = s;
    gPending.clear();
    return true;
}

void PageControlClose() {
    if (gSock != kPcNoSock) PcClose(gSock);
    gSock = kPcNoSock;
    gPending.clear();
}

bool PageControlCommand(const std::string& json, std::string* answer, int timeoutMs) {
    if (gSock == kPcNoSock) return false;
    std::string line = json + "\n";
    for (size_t sent = 0; sent < line.size();) {
        int k = send(gSock, line.data() + sent, static_cast<int>(line.size() - sent), 0);
        if (k <= 0) return false;
        sent += static_cast<size_t>(k);
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t nl = gPending.find('\n');
        if (nl != std::string::npos) {
            *answer = gPending.substr(0, nl);
            gPending.erase(0, nl + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || gPending.size() > kAnswerMax) return false;
        char buf[4096];
        int k = RecvSomeWithin(gSock, buf, sizeof buf, static_cast<long>(left.count()));
        if (k <= 0) return false;
        gPending.append(buf, static_cast<size_t>(k));
    }
}

bool PageControlOk(const std::string& answer) { return answer.rfind("{\"ok\":true", 0) == 0; }

std::string PageControlQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
