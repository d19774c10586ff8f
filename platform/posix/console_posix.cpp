// SIGINT and standard input polled for cancel requests; text in the locale's character set.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/console.h"

namespace platform {
namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
    ::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process
}

// Reads per cancel check at most, so that an input that never runs dry cannot hold it.
constexpr int kReadsPerCheck = 4;

std::string upperAlnum(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out += c;
    }
    return out;
}

// The character set of the user's locale: named after its '.' ("ja_JP.eucJP@euro"), else
// what the installed locale says; empty when neither tells.
std::string localeCharset() {
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        name = std::getenv(variable);
        if (name != nullptr && *name != 0) break;
        name = nullptr;
    }
    const std::string_view locale = name == nullptr ? "C" : name;
    if (const auto dot = locale.find('.'); dot != std::string_view::npos) {
        std::string_view set = locale.substr(dot + 1);
        return std::string(set.substr(0, set.find('@')));
    }
    if (locale_t installed = ::newlocale(LC_CTYPE_MASK, std::string(locale).c_str(), nullptr)) {
        std::string set = ::nl_langinfo_l(CODESET, installed);
        ::freelocale(installed);
        return set;
    }
    return locale == "C" || locale == "POSIX" ? "ANSI_X3.4-1968" : "";
}

// Length of the UTF-8 sequence that `lead` starts (1 for a stray byte).
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

ConsoleEncoding::ConsoleEncoding() {
    const std::string set = localeCharset();
    if (set.empty() || upperAlnum(set) == "UTF8") return;
    const iconv_t converter = ::iconv_open(set.c_str(), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return;
    m_converter = converter;
    m_charset = set;
}

ConsoleEncoding::~ConsoleEncoding() {
    if (m_converter != nullptr) ::iconv_close(static_cast<iconv_t>(m_converter));
}

std::string ConsoleEncoding::operator()(std::string_view utf8) const {
    if (m_converter == nullptr) return std::string(utf8);
    const auto converter = static_cast<iconv_t>(m_converter);
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t done = ::iconv(converter, &in, &inLeft, &to, &toLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (done != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        // A character the set lacks, or broken input: one '?' for the sequence.
        const std::size_t skip = std::min(inLeft, sequenceLength(static_cast<unsigned char>(*in)));
        out += '?';
        in += skip;
        inLeft -= skip;
    }
    char* to = buffer;  // back to the initial shift state
    std::size_t toLeft = sizeof buffer;
    ::iconv(converter, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    return out;
}

ConsoleCancel::ConsoleCancel() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previous);
}

ConsoleCancel::~ConsoleCancel() {
    ::sigaction(SIGINT, &g_previous, nullptr);
}

bool ConsoleCancel::cancelRequested() {
    bool requested = g_interrupted != 0;
    g_interrupted = 0;
    for (int reads = 0; reads < kReadsPerCheck && !m_inputClosed; ++reads) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 0) <= 0 || (input.revents & (POLLIN | POLLHUP)) == 0) break;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_inputClosed = true;
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (m_line.size() < 64) m_line += buffer[i];
                continue;
            }
            std::string_view line(m_line);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.remove_suffix(1);
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            if (line == "c" || line == "C") requested = true;
            m_line.clear();
        }
    }
    return requested;
}

bool ConsoleCancel::interactive() {
    return ::isatty(STDIN_FILENO) == 1;
}

void setEnvironment(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
}

}  // namespace platform
