#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvt::link {

// Reply buffer size of a query unless its command says otherwise.
inline constexpr uint32_t kReplyBufferSize = 32;

// Zeroes the first capacity bytes of buffer and queries command into it
// through the one connection. received gets the number of reply bytes;
// when the query fails it is 0 and the buffer is left all zero, so a
// failed query reads as an empty reply.
bool QueryInto(const char* command, char* buffer, uint32_t capacity, uint32_t* received);

// The reply text in a buffer filled by QueryInto: its first received
// bytes, up to the first zero byte among them.
std::string_view ReplyText(const char* buffer, uint32_t received);

// Queries command into a zeroed buffer of bufferSize bytes and returns the
// reply text (empty when the query failed or nothing came).
std::string QueryText(const char* command, uint32_t bufferSize = kReplyBufferSize);

// QueryText for a query that the instrument answers with one number
// (IsNumberReply). A reply of any other form is a failed exchange: the
// communication-failure message is raised, as for no reply, and the text
// is empty.
std::string QueryNumberText(const char* command, uint32_t bufferSize = kReplyBufferSize);

// The same for a reading reply (IsReadingReply).
std::string QueryReadingText(const char* command, uint32_t bufferSize = kReplyBufferSize);

}  // namespace kvt::link
