#pragma once

#include <functional>
#include <string_view>

namespace kvt::link {

// The one message the instrument link raises: a read from the instrument
// failed. The link itself shows nothing; the user interface installs a
// handler that shows it (on its own thread, one box at a time).
inline constexpr std::string_view kCommunicationFailureText = "通信失败,请检查设备是否连接正常";
inline constexpr std::string_view kCommunicationFailureTitle = "Error";

using CommunicationFailureHandler =
    std::function<void(std::string_view text, std::string_view title)>;

// Installs the handler (an empty function removes it). Thread-safe.
void SetCommunicationFailureHandler(CommunicationFailureHandler handler);

// Calls the installed handler with the text and title above, if there is
// one. Callers must not hold the connection lock.
void ReportCommunicationFailure();

}  // namespace kvt::link
