#include "link/QueryReply.h"

#include <array>
#include <cstring>
#include <vector>

#include "link/CommunicationFailure.h"
#include "link/IConnection.h"
#include "link/ReplyCheck.h"

namespace kvt::link {

bool QueryInto(const char* command, char* buffer, uint32_t capacity, uint32_t* received) {
    std::memset(buffer, 0, capacity);
    uint32_t count = 0;
    bool ok = GetConnection()->Query(command, buffer, capacity, &count);
    if (!ok) {
        // A read that failed part-way may have stored a fragment.
        std::memset(buffer, 0, count);
        count = 0;
    }
    if (received != nullptr) {
        *received = count;
    }
    return ok;
}

std::string_view ReplyText(const char* buffer, uint32_t received) {
    const void* zero = std::memchr(buffer, 0, received);
    size_t length =
        zero == nullptr ? received : static_cast<size_t>(static_cast<const char*>(zero) - buffer);
    return std::string_view(buffer, length);
}

std::string QueryText(const char* command, uint32_t bufferSize) {
    uint32_t received = 0;
    if (bufferSize <= 256) {
        std::array<char, 256> buffer;
        QueryInto(command, buffer.data(), bufferSize, &received);
        return std::string(ReplyText(buffer.data(), received));
    }
    std::vector<char> buffer(bufferSize);
    QueryInto(command, buffer.data(), bufferSize, &received);
    return std::string(ReplyText(buffer.data(), received));
}

namespace {

std::string CheckedReply(std::string reply, bool (*wellFormed)(std::string_view)) {
    if (reply.empty() || wellFormed(reply)) {
        return reply;
    }
    ReportCommunicationFailure();
    return {};
}

}  // namespace

std::string QueryNumberText(const char* command, uint32_t bufferSize) {
    return CheckedReply(QueryText(command, bufferSize), IsNumberReply);
}

std::string QueryReadingText(const char* command, uint32_t bufferSize) {
    return CheckedReply(QueryText(command, bufferSize), IsReadingReply);
}

}  // namespace kvt::link
