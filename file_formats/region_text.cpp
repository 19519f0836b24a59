#include "region_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

namespace segmora {

namespace {

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Buffered byte source over a file descriptor.
class ByteReader {
  public:
    ByteReader(const std::string& path, const std::string& what) : path(path), what(what) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail(std::strerror(errno));
        struct stat info;
        const bool known = ::fstat(fd, &info) == 0;
        if (known && S_ISDIR(info.st_mode)) fail("it is a directory");
        // Up to 1 MiB, but no bigger than a regular file needs.
        const off_t most = off_t{1} << 20;
        const bool small = known && S_ISREG(info.st_mode) && info.st_size < most;
        buffer.resize(small ? std::max<size_t>(static_cast<size_t>(info.st_size) + 1, 4096) : most);
    }
    ~ByteReader() {
        if (fd >= 0) ::close(fd);
    }
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    int peek() { return (next < end || refill()) ? static_cast<unsigned char>(buffer[next]) : EOF; }
    void advance() { lineFeeds += buffer[next++] == '\n'; }
    long long lineFeedsRead() const { return lineFeeds; }

  private:
    bool refill() {
        ssize_t n;
        do n = ::read(fd, buffer.data(), buffer.size());
        while (n < 0 && errno == EINTR);
        if (n < 0) fail(std::strerror(errno));
        next = 0;
        end = static_cast<size_t>(n);
        return n > 0;
    }
    [[noreturn]] void fail(const std::string& why) {
        if (fd >= 0) ::close(fd);
        fd = -1;
        throw std::runtime_error("cannot read " + what + " '" + path + "': " + why);
    }

    std::string path, what;
    std::vector<char> buffer;
    size_t next = 0;
    size_t end = 0;
    long long lineFeeds = 0;
    int fd = -1;
};

std::string printable(const std::string& token) {
    std::string shown;
    for (unsigned char c : token.substr(0, 24)) shown += (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    return token.size() > 24 ? shown + "..." : shown;
}

std::string position(long long index, int columns) {
    return "number " + std::to_string(index + 1) + " (row " + std::to_string(index / columns) +
           ", column " + std::to_string(index % columns) + ")";
}

// Skips a UTF-8 byte-order mark at the start of the file. Returns the bytes
// of an incomplete mark: they begin the first token, which is then malformed.
std::string skipByteOrderMark(ByteReader& in) {
    static const unsigned char mark[] = {0xEF, 0xBB, 0xBF};
    std::string taken;
    for (unsigned char byte : mark) {
        if (in.peek() != byte) return taken;
        taken += static_cast<char>(byte);
        in.advance();
    }
    return "";
}

// No valid number is longer (leading zeros included); reading a longer token stops here,
// so a file without white space (/dev/zero) fails at once in bounded memory.
constexpr size_t kMaxTokenLength = 64;

// Reads the token at the reader's position; false at end of file. `start`
// holds bytes of the token already taken from the reader. A token longer
// than kMaxTokenLength is cut after one byte more, which makes it malformed.
// A token ends at white space or a comma; the comma is left to skipComma.
bool readToken(ByteReader& in, std::string& token, const std::string& start) {
    if (start.empty()) {
        while (isSpace(in.peek())) in.advance();
    }
    token = start;
    for (int c = in.peek(); c != EOF && !isSpace(c) && c != ',' && token.size() <= kMaxTokenLength;
         c = in.peek()) {
        token += static_cast<char>(c);
        in.advance();
    }
    return !token.empty();
}

// Takes the comma (with the white space before it) that may follow a number, as in the
// label files the programs write ("1, 1, 2"). Returns false when the next byte after the
// white space is a second comma: a number is missing between them.
bool skipComma(ByteReader& in) {
    while (isSpace(in.peek())) in.advance();
    if (in.peek() != ',') return true;
    in.advance();
    while (isSpace(in.peek())) in.advance();
    return in.peek() != ',';
}

// The byte that a file with another separator puts after a number's digits ("1;2",
// "1|2"): a printable byte that no number holds. 0 when there is none.
char separatorIn(const std::string& token) {
    size_t i = (!token.empty() && (token[0] == '+' || token[0] == '-')) ? 1 : 0;
    const size_t digits = i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
    if (i == digits || i == token.size()) return 0;
    const char c = token[i];
    const bool numberByte =
        std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
    return (c > 0x20 && c < 0x7f && !numberByte) ? c : 0;
}

bool parseInt32(const std::string& token, int& value) {
    if (token.size() > kMaxTokenLength) return false;
    size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (i == token.size()) return false;
    long long magnitude = 0;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
        magnitude = magnitude * 10 + (token[i] - '0');
        if (magnitude > 2147483648LL) return false;
    }
    const long long signedValue = token[0] == '-' ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(signedValue);
    return true;
}

// Counts the numbers of each line as they are read.
struct LineCounter {
    TextLayout layout;
    long long lineFeeds = -1, onLine = 0;

    void number(long long lineFeedsBefore) {
        if (lineFeedsBefore != lineFeeds) {
            close();
            ++layout.lines;
            lineFeeds = lineFeedsBefore;
        }
        ++onLine;
    }
    void close() {
        if (onLine == 0) return;
        if (layout.lines == 1) layout.numbersPerLine = onLine;
        if (onLine != layout.numbersPerLine) layout.numbersPerLine = -1;
        onLine = 0;
    }
};

}  // namespace

TextLayout readRegionFile(const std::string& path, cv::Mat_<int>& regions,
                          const std::string& what) {
    ByteReader in(path, what);
    std::string partialMark = skipByteOrderMark(in);
    const long long cells = static_cast<long long>(regions.rows) * regions.cols;
    const std::string named = what + " '" + path + "'";
    LineCounter lines;
    std::string token;
    for (long long index = 0; index < cells; ++index) {
        const bool found = readToken(in, token, partialMark);
        partialMark.clear();
        if (!found && in.peek() == ',') {
            throw std::runtime_error(named + ": " + position(index, regions.cols) +
                                     " is missing before a comma");
        }
        if (!found) {
            throw std::runtime_error(named + " holds " + std::to_string(index) +
                                     " numbers, but the image has " + std::to_string(cells) +
                                     " pixels; " + position(index, regions.cols) + " is missing");
        }
        lines.number(in.lineFeedsRead());
        int value;
        const char separator = separatorIn(token);
        if (separator != 0) {
            throw std::runtime_error(
                named + ": " + position(index, regions.cols) + " is followed by '" + separator +
                "': numbers are separated by white space or " + "commas, not '" + separator + "'");
        }
        if (!parseInt32(token, value)) {
            throw std::runtime_error(named + ": " + position(index, regions.cols) +
                                     " is not a whole number in the 32-bit range: '" +
                                     printable(token) + "'");
        }
        regions(static_cast<int>(index / regions.cols), static_cast<int>(index % regions.cols)) =
            value;
        if (index + 1 < cells && !skipComma(in)) {
            throw std::runtime_error(named + ": " + position(index + 1, regions.cols) +
                                     " is missing between two commas");
        }
    }
    lines.close();
    skipComma(in);
    lines.layout.after = in.peek();
    return lines.layout;
}

}  // namespace segmora
