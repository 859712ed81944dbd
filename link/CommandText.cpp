#include "link/CommandText.h"

#include "link/IConnection.h"

namespace kvt::link {

bool WriteCommand(std::string_view prefix, std::string_view argument) {
    std::string command;
    command.reserve(prefix.size() + argument.size());
    command.append(prefix).append(argument);
    return GetConnection()->Write(command.c_str());
}

}  // namespace kvt::link
